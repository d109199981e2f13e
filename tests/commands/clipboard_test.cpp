// The clipboard commands against the system clipboard: text, file lists and
// bitmaps, blocks from other programs that lie about their size, and the
// wait for the next change.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <gdiplus.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "commands/dibfile.h"
#include "commands/syscommon.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"
#include "support/scriptrun.h"
#include "support/testenv.h"
#include "support/windowedengine.h"
#include "windows/encoders.h"

using qtest::hasline;
using qtest::runscript;
using qtest::scratchdir;

namespace {

// Puts blocks on the clipboard, each a copy of the bytes given, in one opening.
void putclip(std::initializer_list<std::pair<UINT, std::string>> blocks)
{
    ASSERT_TRUE(OpenClipboard(hWndp));
    EmptyClipboard();
    for (const auto& [format, bytes] : blocks) {
        HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size() ? bytes.size() : 1);
        memcpy(GlobalLock(h), bytes.data(), bytes.size());
        GlobalUnlock(h);
        SetClipboardData(format, h);
    }
    CloseClipboard();
}

void clearclip()
{
    putclip({});
}

std::string wide(const std::wstring& w)
{
    return std::string(reinterpret_cast<const char*>(w.data()), w.size() * sizeof(wchar_t));
}

std::string readbytes(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes(GetFileSize(h, nullptr), '\0');
    DWORD got = 0;
    ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(h);
    return bytes;
}

// A packed DIB: a 40-byte header, the table bytes and the pixel bytes.
std::string dib(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t clrused,
                size_t tablebytes, size_t pixelbytes, uint32_t size = 40)
{
    BITMAPINFOHEADER h = {};
    h.biSize = size;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bits;
    h.biCompression = compression;
    h.biClrUsed = clrused;
    std::string out(reinterpret_cast<const char*>(&h), sizeof h);
    for (size_t k = 0; k < tablebytes; ++k)
        out += static_cast<char>(k * 7);
    for (size_t k = 0; k < pixelbytes; ++k)
        out += static_cast<char>(k * 13 + 1);
    return out;
}

uint32_t le32(const std::string& s, size_t at)
{
    uint32_t v = 0;
    memcpy(&v, s.data() + at, 4);
    return v;
}

// An engine with its script window, waiting in the clipboard monitor.
struct windowed : qtest::windowedengine {
    ~windowed() override { freedatd(); }
    int64_t monitor()
    {
        clipboardmon_exec();
        return popd().i;
    }
};

// Sets the clipboard's text every 100 ms from another thread until stopped,
// so that a monitor that starts listening meanwhile hears a change.
struct clipchanger {
    HANDLE thread;
    volatile LONG stop = 0;
    static DWORD WINAPI run(void* arg)
    {
        auto* c = static_cast<clipchanger*>(arg);
        for (int k = 0; k < 100 && !c->stop; ++k) {
            Sleep(100);
            if (OpenClipboard(nullptr)) {
                EmptyClipboard();
                HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 8);
                memcpy(GlobalLock(h), L"new", 8);
                GlobalUnlock(h);
                SetClipboardData(CF_UNICODETEXT, h);
                CloseClipboard();
            }
        }
        return 0;
    }
    clipchanger() { thread = CreateThread(nullptr, 0, run, this, 0, nullptr); }
    ~clipchanger()
    {
        InterlockedExchange(&stop, 1);
        WaitForSingleObject(thread, 15000);
        CloseHandle(thread);
    }
};

}  // namespace

TEST(Dib, ColourTableRule)
{
    dibparts p;
    std::string d = dib(3, 2, 8, BI_RGB, 0, 1024, 8);
    ASSERT_TRUE(dibcheck(d.data(), d.size(), &p));
    EXPECT_EQ(p.header, 40u);
    EXPECT_EQ(p.table, 1024u) << "8 bits, no colours counted: 256 entries";
    EXPECT_EQ(p.image, 8u) << "rows of 4 bytes";
    d = dib(3, 2, 8, BI_RGB, 3, 12, 8);
    ASSERT_TRUE(dibcheck(d.data(), d.size(), &p));
    EXPECT_EQ(p.table, 12u);
    d = dib(2, -2, 32, BI_BITFIELDS, 0, 12, 16);
    ASSERT_TRUE(dibcheck(d.data(), d.size(), &p)) << "top-down rows";
    EXPECT_EQ(p.table, 12u) << "the three masks behind a 40-byte header";
    EXPECT_EQ(p.image, 16u);
    d = dib(2, 2, 32, BI_BITFIELDS, 0, 0, 16, 124);
    d.insert(40, 84, '\0');
    ASSERT_TRUE(dibcheck(d.data(), d.size(), &p));
    EXPECT_EQ(p.table, 0u) << "a larger header holds its masks";
    d = dib(5, 1, 24, BI_RGB, 0, 0, 16);
    ASSERT_TRUE(dibcheck(d.data(), d.size(), &p));
    EXPECT_EQ(p.image, 16u);
    d = dib(9, 1, 1, BI_RGB, 0, 8, 4);
    ASSERT_TRUE(dibcheck(d.data(), d.size(), &p));
    EXPECT_EQ(p.table, 8u);

    unsigned char head[14];
    bmpfileheader(dibparts{40, 1024, 8}, head);
    EXPECT_EQ(head[0], 'B');
    EXPECT_EQ(head[1], 'M');
    const std::string h(reinterpret_cast<const char*>(head), 14);
    EXPECT_EQ(le32(h, 2), 14u + 40 + 1024 + 8);
    EXPECT_EQ(le32(h, 10), 14u + 40 + 1024);
}

TEST(Dib, RefusesWhatDoesNotFitItsBlock)
{
    dibparts p;
    std::string d = dib(3, 2, 8, BI_RGB, 0, 1024, 8);
    EXPECT_FALSE(dibcheck(d.data(), d.size() - 1, &p)) << "one byte of pixels short";
    EXPECT_FALSE(dibcheck(d.data(), 39, &p)) << "not even a header";
    d = dib(3, 2, 8, BI_RGB, 0xFFFFFFFFu, 1024, 8);
    EXPECT_FALSE(dibcheck(d.data(), d.size(), &p)) << "a huge colour count";
    d = dib(0x7FFFFFFF, INT32_MIN, 32, BI_RGB, 0, 0, 64);
    EXPECT_FALSE(dibcheck(d.data(), d.size(), &p)) << "sizes that overflow";
    d = dib(3, 2, 8, BI_RGB, 0, 1024, 8, 0x7FFFFFFF);
    EXPECT_FALSE(dibcheck(d.data(), d.size(), &p)) << "a header larger than the block";
    d = dib(3, 2, 8, BI_RGB, 0, 1024, 8, 12);
    EXPECT_FALSE(dibcheck(d.data(), d.size(), &p)) << "the old core header";
    d = dib(3, 2, 8, BI_RLE8, 0, 1024, 8);
    EXPECT_FALSE(dibcheck(d.data(), d.size(), &p)) << "compressed";
    d = dib(2, 2, 24, BI_BITFIELDS, 0, 12, 16);
    EXPECT_FALSE(dibcheck(d.data(), d.size(), &p)) << "bit fields need 16 or 32 bits";
    d = dib(2, 2, 32, 6, 0, 16, 16);
    EXPECT_FALSE(dibcheck(d.data(), d.size(), &p)) << "alpha bit fields";
    d = dib(3, 2, 7, BI_RGB, 0, 0, 64);
    EXPECT_FALSE(dibcheck(d.data(), d.size(), &p));
    d = dib(0, 2, 8, BI_RGB, 0, 1024, 8);
    EXPECT_FALSE(dibcheck(d.data(), d.size(), &p)) << "no width";
    EXPECT_FALSE(dibcheck(nullptr, 100, &p));
}

TEST(Clipboard, TextRoundTrip)
{
    const std::wstring longtext(300, L'\x3b1');
    const std::wstring log = runscript(L"cliptext", L"printf(\"%D\\n\", setclipboarddata(\"kl\xe4r und \" \"gut\"))\n"
                                                    L"printf(\"%D\\n\", getclipboarddata(s))\n"
                                                    L"printf(\"[%s]\\n\", s)\n"
                                                    L"setclipboarddata('" + longtext + L"')\n"
                                                    L"getclipboarddata(a[2])\n"
                                                    L"printf(\"%D\\n\", strlen(a[2]))\n");
    EXPECT_EQ(log, L"1\n1\n[kl\xe4r und gut]\n300\n");
}

TEST(Clipboard, TextIsBoundedByItsBlock)
{
    // Eight characters and no NUL: the text ends where the block does.
    putclip({{CF_UNICODETEXT, wide(L"abcdefgh")}});
    const std::wstring log = runscript(L"clipbound", L"r = getclipboarddata(s)\n"
                                                     L"printf(\"%D [%s]\\n\", r, s)\n");
    // Wine's clipboard ends such a text inside its block itself.
    EXPECT_TRUE(log == L"1 [abcdefgh]\n" || log == L"1 [abcdefg]\n") << qtest::narrow(log);
}

TEST(Clipboard, MissingFormatsAreLoggedAndGiveZero)
{
    putclip({{CF_DIB, dib(2, 2, 24, BI_RGB, 0, 0, 16)}});
    std::wstring log = runscript(L"clipnotext", L"printf(\"%D\\n\", getclipboarddata(s))\n"
                                                L"printf(\"%D\\n\", getclipboarddata(f, d))\n");
    EXPECT_EQ(log, L"CF_TEXT not available.\n0\nCF_HDROP not available.\n0\n");
    clearclip();
    log = runscript(L"clipnodib", L"printf(\"%D\\n\", getclipboarddata('" + scratchdir() + L"x.bmp', b))\n"
                                  L"printf(\"%D\\n\", getclipboarddata('" + scratchdir() + L"x.jpg', jpeg))\n");
    EXPECT_EQ(log, L"CF_DIB not available.\n0\nCF_DIB not available.\n0\n");
}

TEST(Clipboard, FileListRoundTrip)
{
    const std::wstring longname = L"C:\\" + std::wstring(200, L'n') + L".txt";
    const std::wstring log = runscript(L"clipfiles", L"names[0] = 'C:\\one.txt'\n"
                                                     L"names[1] = 'C:\\folder\\two.txt'\n"
                                                     L"names[2] = '" + longname + L"'\n"
                                                     L"printf(\"%D\\n\", setclipboarddata(names, 3, d))\n"
                                                     L"r = getclipboarddata( got , dir)\n"
                                                     L"printf(\"%D %D\\n\", r, hdropcnt())\n"
                                                     L"printf(\"%s|%s|%D\\n\", got[0], got[1], strlen(got[2]))\n");
    EXPECT_EQ(log, L"1\n1 3\nC:\\one.txt|C:\\folder\\two.txt|" + std::to_wstring(longname.size()) + L"\n");
    // The list is a wide DROPFILES block.
    ASSERT_TRUE(OpenClipboard(hWndp));
    auto drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    ASSERT_NE(drop, nullptr);
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 3u);
    CloseClipboard();
}

TEST(Clipboard, EmptyAndBrokenFileLists)
{
    DROPFILES head = {};
    head.pFiles = sizeof head;
    head.fWide = TRUE;
    const std::string top(reinterpret_cast<const char*>(&head), sizeof head);
    putclip({{CF_HDROP, top + std::string(2, '\0')}});
    std::wstring log = runscript(L"clipdrop0", L"r = getclipboarddata(f, d)\n"
                                               L"printf(\"%D %D %D\\n\", r, hdropcnt(), def(f[0]))\n");
    EXPECT_EQ(log, L"1 0 0\n") << "an empty list reads as none";

    // A list that runs past its block, and one that starts outside it.
    putclip({{CF_HDROP, top + wide(L"C:\\unended")}});
    log = runscript(L"clipdrop1", L"printf(\"%D\\n\", getclipboarddata(f, d))\n");
    EXPECT_EQ(log, L"hdrop open error.:\n0\n");
    DROPFILES outside = head;
    outside.pFiles = 4000;
    putclip({{CF_HDROP, std::string(reinterpret_cast<const char*>(&outside), sizeof outside) + std::string(4, '\0')}});
    log = runscript(L"clipdrop2", L"printf(\"%D\\n\", getclipboarddata(f, d))\n");
    EXPECT_EQ(log, L"hdrop open error.:\n0\n");
}

TEST(Clipboard, FileListNeedsACountAndTexts)
{
    std::wstring log = runscript(L"clipcnt", L"n[0] = 'a'\nsetclipboarddata(n, 0, d)\n");
    EXPECT_NE(log.find(L"invalid hdropcnt"), std::wstring::npos) << qtest::narrow(log);
    log = runscript(L"clipnum", L"n[0] = 'a'\nn[1] = 5\nsetclipboarddata(n, 2, d)\n");
    EXPECT_NE(log.find(L"invalid string.:n:"), std::wstring::npos) << qtest::narrow(log);
    log = runscript(L"clipword", L"n[0] = 'a'\nsetclipboarddata(n, 1, x)\n");
    EXPECT_NE(log.find(L"Not supported parameter."), std::wstring::npos);
    log = runscript(L"clipargs", L"setclipboarddata(n, 1)\n");
    EXPECT_NE(log.find(L"the number of argument mismatch."), std::wstring::npos);
    log = runscript(L"clipname", L"setclipboarddata(1n, 1, d)\n");
    EXPECT_NE(log.find(L"invalid name."), std::wstring::npos);
    log = runscript(L"clipname2", L"getclipboarddata(9v)\n");
    EXPECT_NE(log.find(L"invalid name."), std::wstring::npos);
}

TEST(Clipboard, BitmapsBecomeBmpFiles)
{
    const std::string eight = dib(3, 2, 8, BI_RGB, 0, 1024, 8);
    putclip({{CF_DIB, eight}});
    const std::wstring bmp = scratchdir() + L"clip8.bmp";
    std::wstring log = runscript(L"clipbmp", L"printf(\"%D\\n\", getclipboarddata('" + bmp + L"', bmp))\n");
    EXPECT_EQ(log, L"1\n");
    std::string file = readbytes(bmp);
    ASSERT_EQ(file.size(), 14u + eight.size());
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(le32(file, 2), file.size());
    EXPECT_EQ(le32(file, 10), 14u + 40 + 1024);
    EXPECT_EQ(file.substr(14), eight);

    const std::string masks = dib(2, 2, 32, BI_BITFIELDS, 0, 12, 16);
    putclip({{CF_DIB, masks}});
    log = runscript(L"clipbmp32", L"printf(\"%D\\n\", getclipboarddata('" + bmp + L"', b))\n");
    EXPECT_EQ(log, L"1\n");
    file = readbytes(bmp);
    EXPECT_EQ(le32(file, 10), 14u + 40 + 12);
    EXPECT_EQ(file.substr(14), masks);
}

TEST(Clipboard, BitmapsBecomeJpegFilesOfFullQuality)
{
    putclip({{CF_DIB, dib(8, 8, 24, BI_RGB, 0, 0, 8 * 8 * 3)}});
    const std::wstring jpg = scratchdir() + L"clip.jpg";
    DeleteFileW(jpg.c_str());
    const std::wstring log = runscript(L"clipjpg", L"printf(\"%D\\n\", getclipboarddata('" + jpg + L"', j))\n");
    EXPECT_EQ(log, L"1\n");
    const std::string file = readbytes(jpg);
    ASSERT_GE(file.size(), 3u);
    EXPECT_EQ(file.substr(0, 3), "\xFF\xD8\xFF");

    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    Gdiplus::GpImage* image = nullptr;
    ASSERT_EQ(Gdiplus::DllExports::GdipLoadImageFromFile(jpg.c_str(), &image), Gdiplus::Ok);
    UINT w = 0, h = 0;
    Gdiplus::DllExports::GdipGetImageWidth(image, &w);
    Gdiplus::DllExports::GdipGetImageHeight(image, &h);
    EXPECT_EQ(w, 8u);
    EXPECT_EQ(h, 8u);
    Gdiplus::DllExports::GdipDisposeImage(image);
    Gdiplus::GdiplusShutdown(token);
}

TEST(Clipboard, BitmapsThatLieAboutTheirSizeAreRefused)
{
    const std::wstring out = scratchdir() + L"liar.bmp";
    const std::string claims[] = {
        dib(100, 100, 24, BI_RGB, 0, 0, 64),           // pixels short of the rows
        dib(3, 2, 8, BI_RGB, 0x10000000u, 0, 8),       // a table larger than the block
        dib(3, 2, 8, BI_RGB, 0, 1024, 8, 0x00100000u),  // a header larger than the block
    };
    for (const std::string& d : claims) {
        putclip({{CF_DIB, d}});
        const std::wstring log =
            runscript(L"clipliar", L"printf(\"%D\\n\", getclipboarddata('" + out + L"', b))\n"
                                   L"printf(\"%D\\n\", getclipboarddata('" + scratchdir() + L"liar.jpg', j))\n");
        EXPECT_EQ(log, L"Invalid CF_DIB data.\n0\nInvalid CF_DIB data.\n0\n");
    }
}

TEST(Clipboard, JpegEncoderFoundByExactType)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    ExeScr e;
    CLSID id = {};
    EXPECT_GE(getencoderclsid(&e, L"image/jpeg", &id), 0);
    EXPECT_GE(getencoderclsid(&e, L"image/png", &id), 0);
    EXPECT_EQ(getencoderclsid(&e, L"IMAGE/JPEG", &id), -1) << "the type is compared exactly";
    EXPECT_EQ(getencoderclsid(&e, L"image/none", &id), -1);
    EXPECT_TRUE(e.allocs.empty());
    Gdiplus::GdiplusShutdown(token);
}

TEST(Clipboard, MonitorEndsAtOnceForAKeyAlreadyBuffered)
{
    windowed w;
    w.keymode = 1;
    w.keycount = 1;
    EXPECT_EQ(w.monitor(), 2);
    EXPECT_EQ(w.clipwaiting, 0u);
}

TEST(Clipboard, MonitorEndsOnAKey)
{
    windowed w;
    // Dispatched once the monitor waits: buffering is on in virtual-key mode then.
    PostMessageW(w.scriptwnd, WM_KEYDOWN, 'K', 0);
    EXPECT_EQ(w.monitor(), 2);
    EXPECT_EQ(w.keymode, 1u);
    EXPECT_EQ(w.keycount, 1);
    EXPECT_EQ(w.keyring[0], 'K');
    EXPECT_EQ(w.clipevent, nullptr);
    EXPECT_EQ(w.clipwaiting, 0u);
}

// After kbhit() or getwmchar() the queue takes typed characters (WM_CHAR):
// such a key ends the monitor with 2 as a key code does. A monitor that
// missed it would wait for ever: a clipboard notice two seconds on ends it
// with 1 instead.
TEST(Clipboard, MonitorEndsOnACharacterWhenTheQueueTakesCharacters)
{
    windowed w;
    w.keymode = 1;
    w.keydown = 0;
    struct watchdog {
        HWND wnd;
        HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE thread = nullptr;
        static DWORD WINAPI run(void* arg)
        {
            auto* d = static_cast<watchdog*>(arg);
            if (WaitForSingleObject(d->done, 2000) == WAIT_TIMEOUT)
                PostMessageW(d->wnd, WM_CLIPBOARDUPDATE, 0, 0);
            return 0;
        }
        explicit watchdog(HWND w) : wnd(w) { thread = CreateThread(nullptr, 0, run, this, 0, nullptr); }
        ~watchdog()
        {
            SetEvent(done);
            WaitForSingleObject(thread, 5000);
            CloseHandle(thread);
            CloseHandle(done);
        }
    } dog(w.scriptwnd);
    PostMessageW(w.scriptwnd, WM_CHAR, 'k', 0);
    EXPECT_EQ(w.monitor(), 2);
    EXPECT_EQ(w.keydown, 0u) << "the queue keeps its mode";
    EXPECT_EQ(w.keycount, 1);
    EXPECT_EQ(w.keyring[0], 'k');
    EXPECT_EQ(w.clipwaiting, 0u);
}

TEST(Clipboard, MonitorEndsOnAChange)
{
    windowed w;
    int64_t reason = 0;
    {
        clipchanger changer;
        reason = w.monitor();
    }
    EXPECT_EQ(reason, 1);
    EXPECT_EQ(w.clipevent, nullptr);
    // The listener is gone: a change now leaves the state alone.
    w.clipresult = 0;
    {
        clipchanger changer;
        Sleep(300);
        qtest::pump(100);
    }
    EXPECT_EQ(w.clipresult, 0);
}

TEST(Clipboard, MonitorEndsWhenTheScriptIsStopped)
{
    windowed w;
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        runlist.push_back(listedrun{L"monitor.tst", L"monitor", &w, nullptr});
    }
    struct stopper {
        static DWORD WINAPI run(void*)
        {
            Sleep(200);
            stopscript(nullptr, 1);
            return 0;
        }
    };
    HANDLE t = CreateThread(nullptr, 0, stopper::run, nullptr, 0, nullptr);
    EXPECT_EQ(w.monitor(), 2);
    EXPECT_EQ(w.stopflag, 1u);
    WaitForSingleObject(t, 5000);
    CloseHandle(t);
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        unregister(&w);
    }
}

TEST(Clipboard, MonitorInAWholeRunHearsTheChange)
{
    std::wstring log;
    {
        clipchanger changer;
        log = qtest::runfile(L"clipmonrun", L"r = clipboardmon()\nprintf(\"reason %D\\n\", r)\n");
    }
    EXPECT_NE(log.find(L"reason 1\r\n"), std::wstring::npos) << qtest::narrow(log);
    EXPECT_EQ(log.find(L"[box]"), std::wstring::npos) << qtest::narrow(log);
}
