#include <gtest/gtest.h>

#include "core/hostalloc.h"
#include "core/syslog.h"
#include "host/hostenv.h"
#include "runtime/quorvelcore.h"

using namespace host;

TEST(LogLine, OnlyAFinalBareLineFeedBecomesCrLf)
{
    std::wstring s = L"a\nb\n";
    crlfend(s);
    EXPECT_EQ(s, L"a\nb\r\n");
    s = L"a\r\n";
    crlfend(s);
    EXPECT_EQ(s, L"a\r\n");
    s = L"\n";
    crlfend(s);
    EXPECT_EQ(s, L"\r\n");
    s = L"none";
    crlfend(s);
    EXPECT_EQ(s, L"none");
}

// The system's texts end in CR LF; formatted into a line they must not carry it.
TEST(LogLine, SystemTextsComeWithoutTheirLineEnd)
{
    for (DWORD err : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION,
                      ERROR_HOTKEY_ALREADY_REGISTERED}) {
        const std::wstring text = syserrtext(err);
        EXPECT_FALSE(text.empty()) << err;
        EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos) << err;
    }
    EXPECT_EQ(syserrtext(0xDEADu), L"") << "no text for a code the system does not know";
}

TEST(LogLine, LongLinesAreFormattedWhole)
{
    const std::wstring arg(1000, L'x');
    EXPECT_EQ(format(L"<%s>%d", arg.c_str(), 7), L"<" + arg + L">7");
}

// The system log is process-wide: one test covers opening, the numbered
// fallback, lines in file and pane, and suppression.
TEST(SystemLog, FileFallbackAndPane)
{
    const std::wstring dir = htest::scratch(L"syslog");
    // Another instance holds the plain name open.
    ASSERT_TRUE(ensurelogdir(dir));
    HANDLE holder = CreateFileW((dir + L"log\\quorvelsys.log").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ASSERT_EQ(openlogfile(dir, false), 1);
    EXPECT_EQ(syslogpath(), dir + L"log\\quorvelsys-001.log");

    HWND pane = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_MULTILINE, 0, 0, 100, 100, nullptr, nullptr,
                                nullptr, nullptr);
    hEditSys = pane;
    logmsg(L"one %s %d\n", L"two", 3);
    logmsg(L"kept\r\n");
    g_suplogmsg = 1;
    logmsg(L"file only\n");
    g_suplogmsg = 0;
    hEditSys = nullptr;
    closelogfile();
    CloseHandle(holder);

    EXPECT_EQ(htest::widen(htest::readbytes(dir + L"log\\quorvelsys-001.log")),
              L"\xFEFFone two 3\r\nkept\r\nfile only\r\n");
    wchar_t text[256] = {};
    GetWindowTextW(pane, text, 256);
    EXPECT_STREQ(text, L"one two 3\r\nkept\r\n");
    DestroyWindow(pane);
}

TEST(SystemLog, NologOpensNothingButTheScriptLogFolderCanStillBeMade)
{
    const std::wstring dir = htest::scratch(L"nolog");
    EXPECT_EQ(openlogfile(dir, true), 1);
    EXPECT_EQ(GetFileAttributesW((dir + L"log").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(ensurelogdir(dir));
    EXPECT_NE(GetFileAttributesW((dir + L"log").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST(FatalExit, OnlyTheFirstSpeaks)
{
    htest::fatalcatcher fatal;
    fatalexit(L"first %d", 1);
    fatalexit(L"second");
    EXPECT_EQ(fatal.count(), 1);
    EXPECT_EQ(fatal.last(), L"first 1");
    EXPECT_EQ(g_screxits, 1);
}

namespace {
int g_sentcloses = 0;
LRESULT CALLBACK countcloses(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_CLOSE) {
        ++g_sentcloses;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}
}  // namespace

TEST(FatalExit, PostsTheCloseSoTheFailedOperationCanUnwind)
{
    htest::fatalcatcher fatal;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = countcloses;
    wc.lpszClassName = L"quorveltest.fatalowner";
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    hWndp = owner;
    fatalexit(L"boom");
    hWndp = nullptr;
    EXPECT_EQ(g_sentcloses, 0);  // nothing ran inside the call
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, owner, WM_CLOSE, WM_CLOSE, PM_REMOVE));
    DispatchMessageW(&msg);
    EXPECT_EQ(g_sentcloses, 1);
    DestroyWindow(owner);
}

TEST(Allocator, DoubleFreeAndWrongIdAreReported)
{
    htest::fatalcatcher fatal;
    const size_t before = memrecords().size();
    void* a = mymalloca2(16, 3400);
    void* b = mymalloca2(8, 3401);
    ASSERT_EQ(memrecords().size(), before + 2);
    EXPECT_NE(leakreport().find(L"3401:"), std::wstring::npos);

    myfreea2(a, 3400);
    EXPECT_EQ(fatal.count(), 0);
    myfreea2(a, 3400);  // the second free frees nothing
    EXPECT_EQ(fatal.last().rfind(L"internal free function error. ptr:", 0), 0u);
    fatal.reset();
    myfreea2(b, 9);  // another id: reported, freed all the same
    EXPECT_EQ(fatal.last().find(L"id:3401 reqid:9"), fatal.last().size() - 15);
    EXPECT_EQ(memrecords().size(), before);
}

TEST(Allocator, LeakReportLines)
{
    const size_t before = memrecords().size();
    ASSERT_EQ(before, 0u);
    void* p = mymalloca2(24, 194);
    const std::wstring report = leakreport();
    wchar_t line[64];
    _snwprintf(line, 64, L"194:%lx:24\r\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)));
    EXPECT_EQ(report, std::wstring(L"Memory leak error in main section:\r\n") + line);
    myfreea2(p, 194);
    EXPECT_TRUE(leakreport().empty());
}

TEST(ErrorLog, CreatedAtTheFirstLineWithItsMark)
{
    const std::wstring dir = htest::scratch(L"errlog");
    EXPECT_EQ(errlog(dir, L"a\r\n"), 1);
    EXPECT_EQ(errlog(dir, L"b\n"), 1);  // written unchanged
    closeerrlog();
    EXPECT_EQ(htest::widen(htest::readbytes(dir + L"error.log")), L"\xFEFF" L"a\r\nb\n");
    EXPECT_EQ(errlog(dir + L"missing\\", L"x"), 0);
}

TEST(ErrorLog, AppendsWhileTheEngineHoldsItAndKeepsEarlierLines)
{
    const std::wstring dir = htest::scratch(L"errshare");
    const std::wstring path = dir + L"error.log";
    // The engine's writer: open for writing, shared for reading and writing.
    HANDLE engine = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(engine, INVALID_HANDLE_VALUE);
    const std::string first = htest::utf16(L"1:abc:8\r\n");
    DWORD done = 0;
    WriteFile(engine, first.data(), static_cast<DWORD>(first.size()), &done, nullptr);

    EXPECT_EQ(errlog(dir, L"Memory leak error in main section:\r\n"), 1);
    // The engine writes again at its own position: appending, as both sides do.
    SetFilePointer(engine, 0, nullptr, FILE_END);
    const std::string second = htest::utf16(L"2:def:4\r\n", false);
    WriteFile(engine, second.data(), static_cast<DWORD>(second.size()), &done, nullptr);
    EXPECT_EQ(errlog(dir, L"3400:10:16\r\n"), 1);
    closeerrlog();
    CloseHandle(engine);
    EXPECT_EQ(htest::widen(htest::readbytes(path)),
              L"\xFEFF" L"1:abc:8\r\nMemory leak error in main section:\r\n2:def:4\r\n3400:10:16\r\n");
}

TEST(ErrorLog, AFailureIsLogged)
{
    // Scrolling, so that a long line is not refused by a small pane.
    HWND pane = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL, 0, 0,
                                100, 100, nullptr, nullptr, nullptr, nullptr);
    hEditSys = pane;
    const std::wstring dir = htest::scratch(L"errfail") + L"missing\\";
    EXPECT_EQ(errlog(dir, L"x\r\n"), 0);
    hEditSys = nullptr;
    wchar_t text[512] = {};
    GetWindowTextW(pane, text, 512);
    DestroyWindow(pane);
    EXPECT_EQ(std::wstring(text).rfind(L"File open failed.:" + dir + L"error.log:", 0), 0u) << text;
}
