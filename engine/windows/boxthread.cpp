// Box threads and waits: the events, the window threads, the pumping wait on
// the script thread, the shared window steps and the monitor under the cursor.
#include "windows/boxthread.h"

#include <process.h>

#include <cwchar>

#include "compiler/textscan.h"
#include "runtime/exescr.h"
#include "runtime/logline.h"
#include "runtime/quorvelcore.h"

HANDLE boxevent::arm()
{
    HANDLE fresh = createwaitevent();
    AcquireSRWLockExclusive(&lock);
    HANDLE old = h;
    h = fresh;
    ReleaseSRWLockExclusive(&lock);
    if (old)
        CloseHandle(old);
    return fresh;
}

void boxevent::disarm()
{
    AcquireSRWLockExclusive(&lock);
    HANDLE old = h;
    h = nullptr;
    ReleaseSRWLockExclusive(&lock);
    if (old)
        CloseHandle(old);
}

bool boxevent::armed()
{
    AcquireSRWLockShared(&lock);
    const bool any = h != nullptr;
    ReleaseSRWLockShared(&lock);
    return any;
}

HANDLE boxevent::handle()
{
    AcquireSRWLockShared(&lock);
    HANDLE any = h;
    ReleaseSRWLockShared(&lock);
    return any;
}

boxthread::~boxthread()
{
    if (h)
        CloseHandle(h);
}

bool boxthread::start(unsigned(__stdcall* entry)(void*), void* arg)
{
    join();
    h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, entry, arg, 0, nullptr));
    return h != nullptr;
}

namespace {

// Dispatches the calling thread's messages until `h` is signalled or cannot
// be waited on, or once *pending is 0 (tested whenever the queue is empty).
void pumpwhilepending(HANDLE h, const volatile int32_t* pending)
{
    for (;;) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            continue;
        }
        if (*pending == 0)
            return;
        // A null handle (no event could be made) fails at once and ends the wait.
        const DWORD r = msgwait(1, &h, INFINITE);
        if (r != WAIT_OBJECT_0 + 1)
            return;
    }
}

}  // namespace

void boxthread::join()
{
    if (!h)
        return;
    ExeScr::pumpwait(1, &h);  // the ending thread may still send to our windows
    CloseHandle(h);
    h = nullptr;
}

void registerboxclass(const wchar_t* name, WNDPROC proc, HBRUSH background, UINT style)
{
    if (!g_stock_white)
        g_stock_white = GetStockObject(WHITE_BRUSH);
    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW | style;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background ? background : static_cast<HBRUSH>(g_stock_white);
    wc.lpszClassName = name;
    RegisterClassW(&wc);  // registered by an earlier open: fine
}

void boxtofront(HWND hwnd)
{
    if (SetForegroundWindow(hwnd))
        return;
    const DWORD fore = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const DWORD self = GetCurrentThreadId();
    if (fore != self) {
        AttachThreadInput(fore, self, TRUE);
        SetForegroundWindow(hwnd);
        AttachThreadInput(fore, self, FALSE);
    } else {
        SetForegroundWindow(hwnd);
    }
}

void boxtopmost(HWND hwnd)
{
    SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

bool boxforward(HWND scriptwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (scriptwnd)
            PostMessageW(scriptwnd, msg, wp, lp);
        return true;
    default:
        return false;
    }
}

void boxmessageloop()
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

WNDPROC boxsubclass(HWND child, WNDPROC proc, void* state)
{
    SetWindowLongPtrW(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return reinterpret_cast<WNDPROC>(SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}

HFONT boxfont(const wchar_t* face, int32_t height, int32_t weight)
{
    NONCLIENTMETRICSW ncm = {};
    ncm.cbSize = sizeof ncm;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    LOGFONTW lf = ncm.lfMessageFont;
    if (height > 0)
        lf.lfHeight = height;
    if (weight >= 0)
        lf.lfWeight = weight;
    if (face && *face) {
        // The field holds 32 characters: a longer face is cut to 31 and the NUL.
        wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
        lf.lfFaceName[LF_FACESIZE - 1] = 0;
    }
    return CreateFontIndirectW(&lf);
}

int32_t boxopenflags(const wchar_t* text)
{
    while (*text == L' ' || *text == L'\t')
        ++text;
    int32_t flags = 0;
    for (int k = 0; k < 2 && text[k]; ++k) {
        if (text[k] == L't')
            flags |= 1;
        else if (text[k] == L'n')
            flags |= 2;
    }
    return flags;
}

int32_t boxdc::lineheight(int32_t extra) const
{
    TEXTMETRICW tm = {};
    GetTextMetricsW(get(), &tm);
    return tm.tmHeight + tm.tmExternalLeading + extra;
}

int32_t boxdc::width(const wchar_t* text, size_t len) const
{
    SIZE sz = {};
    return GetTextExtentPoint32W(get(), text, static_cast<int>(len), &sz) ? sz.cx : 0;
}

int32_t boxlineheight(HWND hwnd, HFONT font, int32_t extra)
{
    return boxdc(hwnd, font).lineheight(extra);
}

SIZE boxframe(HWND hwnd)
{
    RECT wr, cr;
    GetWindowRect(hwnd, &wr);
    GetClientRect(hwnd, &cr);
    return SIZE{(wr.right - wr.left) - cr.right, (wr.bottom - wr.top) - cr.bottom};
}

// ---- the script thread's side

void ExeScr::boxwait(boxevent& ev, const volatile int32_t* pending)
{
    HANDLE h = ev.handle();
    AcquireSRWLockExclusive(&boxwaitlock);
    const bool woken = boxwake != 0;
    boxevent* outer = boxwaiting;
    if (!woken)
        boxwaiting = &ev;
    ReleaseSRWLockExclusive(&boxwaitlock);
    if (woken)
        return;
    // A null handle (no event could be made) fails at once and ends the wait.
    if (pending)
        pumpwhilepending(h, pending);
    else
        pumpwait(1, &h);
    AcquireSRWLockExclusive(&boxwaitlock);
    boxwaiting = outer;
    ReleaseSRWLockExclusive(&boxwaitlock);
    // A box thread that failed may have set the event before its notice was
    // heard: the run ends here, at the statement that waited.
    boxfatalnotice();
}

bool ExeScr::boxopen(boxevent& ev, boxthread& thread, unsigned(__stdcall* entry)(void*), void* state)
{
    ev.arm();
    if (!thread.start(entry, state)) {
        ev.disarm();
        return false;
    }
    boxwait(ev);
    ev.disarm();
    return true;
}

void ExeScr::wakeboxwaits()
{
    AcquireSRWLockExclusive(&boxwaitlock);
    boxwake = 1;
    if (boxwaiting)
        boxwaiting->set();
    ReleaseSRWLockExclusive(&boxwaitlock);
}

RECT* ExeScr::cursormonitorrect(RECT* out)
{
    POINT pt = {};
    GetCursorPos(&pt);
    enummonitors();
    int32_t slot = 0;
    for (int32_t k = 0; k <= monitorcount && k < 6; ++k) {
        const RECT& r = monitors[k];
        if (pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom) {
            slot = k;
            break;
        }
    }
    const RECT& r = monitors[slot];
    out->left = r.left + ((r.right - r.left) >> 1);
    out->top = r.top + ((r.bottom - r.top) >> 1);
    out->right = r.right - r.left;
    out->bottom = r.bottom - r.top;
    return out;
}

void ExeScr::closeboxes()
{
    if (tvboxwnd)
        SendMessageW(tvboxwnd, WM_CLOSE, 0, 0);
    tvthread.join();
    if (gpboxwnd)
        SendMessageW(gpboxwnd, WM_CLOSE, 0, 0);
    gpthread.join();
    gpdropresults();
}

void ExeScr::boxlog(const wchar_t* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    logline line(fmt, ap);
    va_end(ap);
    line.crlf();
    if (loghandle)
        writelog(line.text, line.len);  // in order with the script thread's lines
    if (g_suplogmsg == 0 && hEditp)
        SendMessageW(hEditp, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.text));
}

std::wstring ExeScr::popstr()
{
    datscell* c = pops();
    std::wstring text = datstext(c);
    datsrelease(c);
    return text;
}

void ExeScr::boxfatal(const wchar_t* msg)
{
    {
        std::lock_guard<std::mutex> guard(boxfatallock);
        if (boxfatalmet)
            return;
        boxfatalmet = true;
        boxfatalmsg = msg;
    }
    if (HWND sw = scriptwnd)
        PostMessageW(sw, boxfatalpost, 0, 0);
}

void ExeScr::boxfatalnotice()
{
    std::wstring msg;
    {
        std::lock_guard<std::mutex> guard(boxfatallock);
        msg.swap(boxfatalmsg);
    }
    if (!msg.empty())
        myerrexit(L"%s", msg.c_str());
}

void ExeScr::boxrefuse(const wchar_t* what)
{
    mylogmsgforced(L"%s\n", what);
    stopflag = 1;
    pushint(0);
}

int32_t ExeScr::findobject(const wchar_t* name, int32_t kind)
{
    for (objrec* r = boxtable.base; r && r < boxtable.top; ++r)
        if (r->kind == kind && wcsncmp(r->name, name, 21) == 0)
            return static_cast<int32_t>(r - boxtable.base);
    return -1;
}

int32_t ExeScr::addobject(const wchar_t* name, scriptobject* obj, int32_t allocid, int32_t kind)
{
    if (boxtable.full())
        growbuf(boxtable, 10, 1380);
    objrec* r = boxtable.top++;
    wcsncpy(r->name, name, 21);
    r->name[21] = 0;
    r->obj = obj;
    r->allocid = allocid;
    r->kind = kind;
    return static_cast<int32_t>(r - boxtable.base);
}

std::vector<wchar_t*> ExeScr::boxargs(wchar_t* args)
{
    const int32_t count = splitargs(args);
    std::vector<wchar_t*> list(static_cast<size_t>(count));
    for (int32_t k = count - 1; k >= 0; --k)
        list[static_cast<size_t>(k)] = args + mypop();
    return list;
}

ExeScr::boxoperands ExeScr::readboxoperands()
{
    const uint64_t word = ip->u;
    ++ip;
    const auto index = static_cast<int32_t>(ip->i);
    ++ip;
    return {static_cast<int32_t>((word >> 16) & 0xFFFF), static_cast<int32_t>(word >> 32), index};
}

int32_t ExeScr::boxsubword(const std::vector<wchar_t*>& a, const subword* words, bool (*fits)(int32_t, int32_t))
{
    const auto n = static_cast<int32_t>(a.size());
    if (n < 2)
        comperr(L"the number of argument mismatch.");
    const int32_t code = subcommand(a[1], words);
    if (!fits(code, n))
        comperr(L"the number of argument mismatch.");
    return code;
}

wchar_t* ExeScr::boxname(wchar_t* text)
{
    wchar_t* name = textscan::trimblanks(text);
    if (!textscan::asciiletter(*name))
        comperr(L"invalid name.");
    return name;
}
