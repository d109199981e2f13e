// The clipboard commands: text, file lists and bitmaps read from the
// clipboard, text and file lists put on it, and the wait for its next change.
// What the clipboard holds comes from other programs: every block is read
// within its own size.
#include <windows.h>
#include <shellapi.h>
#include <objbase.h>
#include <shlobj.h>
#include <gdiplus.h>

#include <cstring>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

#include "commands/dibfile.h"
#include "compiler/textscan.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/owners.h"
#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"
#include "windows/encoders.h"

namespace {

constexpr int32_t cliptextid = 1001;
constexpr int32_t dropnameid = 1002;
constexpr int32_t dropelementid = 1003;
constexpr UINT cliptextflags = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE;  // 0x2042

// Locks a global block for reading and tells its size.
class globalview {
public:
    explicit globalview(HANDLE h) : h_(h), p_(h ? GlobalLock(h) : nullptr), size_(p_ ? GlobalSize(h) : 0) {}
    ~globalview()
    {
        if (p_)
            GlobalUnlock(h_);
    }
    globalview(const globalview&) = delete;
    globalview& operator=(const globalview&) = delete;
    const unsigned char* bytes() const { return static_cast<const unsigned char*>(p_); }
    size_t size() const { return size_; }

private:
    HANDLE h_;
    void* p_;
    size_t size_;
};

// The number of names in a DROPFILES block whose list of NUL-ended names
// starts inside it and whose closing empty name lies inside it too; -1 for
// any other block.
int64_t droplistcount(const globalview& v)
{
    if (!v.bytes() || v.size() < sizeof(DROPFILES))
        return -1;
    DROPFILES head;
    memcpy(&head, v.bytes(), sizeof head);
    if (head.pFiles < sizeof(DROPFILES) || head.pFiles >= v.size())
        return -1;
    const unsigned char* p = v.bytes() + head.pFiles;
    const size_t left = v.size() - head.pFiles;
    const size_t unit = head.fWide ? 2 : 1;
    auto isnul = [&](size_t at) { return p[at] == 0 && (unit == 1 || p[at + 1] == 0); };
    int64_t names = 0;
    for (size_t at = 0; at + unit <= left; ++names) {
        if (isnul(at))
            return names;  // the empty name that ends the list
        while (at + unit <= left && !isnul(at))
            at += unit;
        at += unit;  // past the name's NUL
    }
    return -1;
}

bool writeall(HANDLE file, const void* data, uint64_t size)
{
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        const DWORD piece = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
        DWORD done = 0;
        if (!WriteFile(file, p, piece, &done, nullptr) || done == 0)
            return false;
        p += done;
        size -= done;
    }
    return true;
}

}  // namespace

bool ExeScr::openclip()
{
    for (int tries = 0; tries < 4; ++tries) {
        if (tries)
            Sleep(100);
        if (OpenClipboard(hWndp))
            return true;
    }
    if (logon == 1)
        mylogmsgforced(L"%s\n", L"OpenClipboard error.");
    return false;
}

int32_t ExeScr::clipdib_savebmp(const wchar_t* path)
{
    HANDLE data = GetClipboardData(CF_DIB);
    if (!data || data == INVALID_HANDLE_VALUE)
        return 0;
    globalview dib(data);
    if (!dib.bytes())
        return 0;
    dibparts parts;
    if (!dibcheck(dib.bytes(), dib.size(), &parts)) {
        if (logon == 1)
            mylogmsg(L"%s\n", L"Invalid CF_DIB data.");
        return 0;
    }
    unsigned char head[14];
    bmpfileheader(parts, head);
    owners::handle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        if (logon == 1)
            mylogmsg(L"%s:%s\n", L"File open failed.", path);
        return 0;
    }
    int32_t result = 1;
    if (!writeall(file.get(), head, sizeof head) ||
        !writeall(file.get(), dib.bytes(), parts.header + parts.table + parts.image)) {
        if (logon == 1)
            mylogmsg(L"%s:%s\n", L"WriteFile failure.", path);
        result = 0;
    }
    if (!CloseHandle(file.release())) {
        if (logon == 1)
            mylogmsg(L"%s:%s\n", L"CloseHandle failure", path);
        result = 0;
    }
    return result;
}

int32_t ExeScr::clipdib_savejpeg(const wchar_t* path)
{
    gdiplussession gdiplus;
    if (!gdiplus.ok())
        return 0;
    int32_t result = 0;
    {
        HANDLE data = GetClipboardData(CF_DIB);
        globalview dib(data && data != INVALID_HANDLE_VALUE ? data : nullptr);
        dibparts parts;
        if (dib.bytes() && !dibcheck(dib.bytes(), dib.size(), &parts)) {
            if (logon == 1)
                mylogmsg(L"%s\n", L"Invalid CF_DIB data.");
        } else if (dib.bytes()) {
            Gdiplus::GpBitmap* bitmap = nullptr;
            auto* info = reinterpret_cast<const BITMAPINFO*>(dib.bytes());
            void* bits = const_cast<unsigned char*>(dib.bytes() + parts.header + parts.table);
            CLSID jpeg;
            if (Gdiplus::DllExports::GdipCreateBitmapFromGdiDib(info, bits, &bitmap) == Gdiplus::Ok) {
                if (getencoderclsid(this, L"image/jpeg", &jpeg) >= 0) {
                    jpegbest best;
                    result = Gdiplus::DllExports::GdipSaveImageToFile(bitmap, path, &jpeg, &best.params) ==
                             Gdiplus::Ok;
                }
                Gdiplus::DllExports::GdipDisposeImage(bitmap);
            }
        }
    }
    return result;
}

bool ExeScr::openclipfor(UINT format, const wchar_t* missing)
{
    if (!IsClipboardFormatAvailable(format)) {
        if (logon == 1)
            mylogmsg(L"%s", missing);
        return false;
    }
    return openclip();
}

int32_t ExeScr::cliptextread(int32_t var)
{
    globalview text(GetClipboardData(CF_UNICODETEXT));
    if (!text.bytes()) {
        if (logon == 1)
            mylogmsgforced(L"%s\n", L"Cannot get clipboarddata.");
        return 0;
    }
    // A text without its NUL ends with its block.
    const auto* p = reinterpret_cast<const wchar_t*>(text.bytes());
    storestr(var, p, wcsnlen(p, text.size() / sizeof(wchar_t)), cliptextid);
    return 1;
}

int32_t ExeScr::clipfilesread(const wchar_t* name)
{
    auto drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    int64_t names = 0;
    {
        globalview view(drop);
        names = droplistcount(view);
    }
    if (names < 0) {
        if (logon == 1)
            mylogmsgforced(L"%s:\n", L"hdrop open error.");
        return 0;
    }
    // An empty list is not asked: some systems count its closing NUL as a name.
    const UINT count = names == 0 ? 0 : DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    hdropcnt = static_cast<int32_t>(count);
    for (UINT k = 0; k < count; ++k) {
        const UINT len = DragQueryFileW(drop, k, nullptr, 0);
        if (len == 0) {
            if (logon == 1)
                mylogmsgforced(L"%s\n", L"DragQueryFile error.");
            return 0;
        }
        wchar_t inl[128];
        wchar_t* buf = len + 1 > 128 ? static_cast<wchar_t*>(mymalloc2((len + 1) * sizeof(wchar_t), dropnameid)) : inl;
        const UINT got = DragQueryFileW(drop, k, buf, len + 1);
        if (got != 0)
            storestr(listvar(name, L"[]", 1, k), buf, got, dropelementid);
        if (buf != inl)
            myfree(buf, dropnameid);
        if (got == 0) {
            if (logon == 1)
                mylogmsgforced(L"%s\n", L"DragQueryFile error 2.");
            return 0;
        }
    }
    return 1;
}

void ExeScr::getclipboarddata_exec()
{
    const int64_t mode = ip->i;
    ++ip;
    int32_t result = 0;
    if (mode == 0) {
        const auto var = static_cast<int32_t>(popd().i);
        if (openclipfor(CF_UNICODETEXT, L"CF_TEXT not available.\n")) {
            result = cliptextread(var);
            CloseClipboard();
        }
        pushint(result);
        return;
    }
    datscell* c = pops();
    const std::wstring name = datstext(c);
    datsrelease(c);
    if (mode == 1) {
        if (openclipfor(CF_HDROP, L"CF_HDROP not available.\n")) {
            result = clipfilesread(name.c_str());
            CloseClipboard();
        }
    } else if (openclipfor(CF_DIB, L"CF_DIB not available.\n")) {
        result = mode == 2 ? clipdib_savebmp(name.c_str()) : clipdib_savejpeg(name.c_str());
        CloseClipboard();
    }
    pushint(result);
}

void ExeScr::setclipboarddata_exec()
{
    const int64_t mode = ip->i;
    ++ip;
    datscell* c = pops();
    if (mode == 0) {
        setcliptext(datstext(c));
        datsrelease(c);
        pushint(1);
        return;
    }
    const std::wstring name = datstext(c);
    datsrelease(c);
    const int32_t count = cmdargs::toi32(popd());
    if (count < 1)
        myerrexit(L"%s", L"invalid hdropcnt");
    // Every name is checked before the clipboard is touched.
    std::vector<int32_t> vars;
    size_t total = 0;
    for (int32_t k = 0; k < count; ++k) {
        const int32_t var = listvar(name.c_str(), L"[]", 1, static_cast<uint32_t>(k));
        const varrec* v = varat(var);
        if (v->state != varstr)
            myerrexit(L"%s:%s:", L"invalid string.", name.c_str());
        total += wcslen(vartext(v)) + 1;
        vars.push_back(var);
    }
    if (!OpenClipboard(hWndp))
        myerrexit(L"%s", L"OpenClipboard error.");
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + 2 * total + 2);
    if (!block) {
        CloseClipboard();
        myerrexit(L"%s", L"GlobalAlloc failure.");
    }
    auto* head = static_cast<DROPFILES*>(GlobalLock(block));
    head->pFiles = sizeof(DROPFILES);
    head->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(head + 1);
    for (int32_t var : vars) {
        const wchar_t* text = vartext(varat(var));
        const size_t len = wcslen(text);
        wmemcpy(out, text, len + 1);
        out += len + 1;
    }
    GlobalUnlock(block);
    if (!SetClipboardData(CF_HDROP, block))
        GlobalFree(block);
    CloseClipboard();
    pushint(1);
}

void ExeScr::clipboardmon_exec()
{
    if (keycount > 0) {
        pushint(2);
        return;
    }
    HWND wnd = scriptwnd;
    if (!AddClipboardFormatListener(wnd))
        myerrexit(L"%s:%s:", L"AddClipboardFormatListener failed.", lasterrortext(GetLastError()).c_str());
    clipwaiting = 1;
    // A key that the script window buffers ends the wait, in either mode; a
    // queue switched on here takes virtual-key codes.
    if (keyqueueon())
        keydown = 1;
    HANDLE event = createwaitevent();
    {
        // Published under the lock with which the stop routines set it.
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        clipresult = 0;
        clipevent = event;
    }
    if (stopflag == 1) {
        clipresult = 2;
        SetEvent(event);
    }
    pumpwait(1, &event);
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        clipevent = nullptr;
    }
    CloseHandle(event);
    clipwaiting = 0;
    if (!RemoveClipboardFormatListener(wnd))
        myerrexit(L"%s:%s:", L"RemoveClipboardFormatListener failed.", lasterrortext(GetLastError()).c_str());
    pushint(clipresult);
}

// ---- front ends

void ExeScr::getclipboarddata_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count != 1 && count != 2)
        comperr(L"the number of argument mismatch.");
    int32_t mode = 0;
    if (count == 2) {
        // A bare word judged by its first letter.
        const wchar_t kind = *textscan::skipblank(args + mypop());
        mode = kind == L'd' ? 1 : kind == L'b' ? 2 : kind == L'j' ? 3 : 0;
    }
    wchar_t* target = args + mypop();
    if (mode == 0) {
        destvar_comp(target);
    } else if (mode == 1) {
        wchar_t* name = textscan::trimblanks(target);
        if (!textscan::asciiletter(*name))
            comperr(L"invalid name.");
        emitcell(&ExeScr::pushstrlit_exec);
        emitu64(static_cast<uint64_t>(parsenamelist(name - 1, name + wcslen(name), 3)));
    } else {
        argstr(target);
    }
    emitcell(&ExeScr::getclipboarddata_exec);
    emitint(mode);
}

void ExeScr::setclipboarddata_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count == 1) {
        nextstr(args);
        emitcell(&ExeScr::setclipboarddata_exec);
        emitint(0);
        return;
    }
    if (count != 3)
        comperr(L"the number of argument mismatch.");
    if (*textscan::skipblank(args + mypop()) != L'd')
        comperr(L"Not supported parameter.");
    nextnum(args);
    wchar_t* name = textscan::trimblanks(args + mypop());
    if (!textscan::asciiletter(*name))
        comperr(L"invalid name.");
    emitcell(&ExeScr::pushstrlit_exec);
    emitu64(static_cast<uint64_t>(parsenamelist(name - 1, name + wcslen(name), 3)));
    emitcell(&ExeScr::setclipboarddata_exec);
    emitint(1);
}
