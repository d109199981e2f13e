// Runtimes of the few built-in words that live with the engine: its own texts,
// the monitor table, another program's edit text, hexadecimal conversion, mouse
// buttons, whole-path creation and the hidden control window.
#include <cwchar>

#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

namespace {

// The text up to and including its first ":", or empty when it has none.
std::wstring drivepart(const std::wstring& path)
{
    const size_t colon = path.find(L':');
    return colon == std::wstring::npos ? std::wstring() : path.substr(0, colon + 1);
}

}  // namespace

void ExeScr::engstr_exec()
{
    const int64_t selector = cmdargs::toi64(popd());
    // Every text is copied: the engine's own strings may change before the
    // consumer reads the datum (a later word of the same expression).
    std::wstring text;
    switch (selector) {
    case 0: text = syserrtext; break;
    case 1: text = drivepart(programdir); break;
    case 2: text = programdir; break;
    case 3: text = drivepart(scriptdir); break;
    case 4: text = scriptdir; break;
    case 5: text = basename; break;
    case 6: text = foundtitle; break;
    case 7: text = foundclass; break;
    default: break;
    }
    pushstrtext(text.c_str(), text.size(), 450 + static_cast<int32_t>(selector & 7));
}

static BOOL CALLBACK monitorenum(HMONITOR monitor, HDC, LPRECT, LPARAM context)
{
    return reinterpret_cast<ExeScr*>(context)->monitorenumproc(monitor) ? TRUE : FALSE;
}

bool ExeScr::monitorenumproc(HMONITOR monitor)
{
    MONITORINFOEXW info;
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    if (info.dwFlags & MONITORINFOF_PRIMARY) {
        monitors[0] = info.rcMonitor;
        return true;
    }
    if (monitorcount == 5)
        return false;
    monitors[++monitorcount] = info.rcMonitor;
    return true;
}

void ExeScr::enummonitors()
{
    monitorcount = 0;
    EnumDisplayMonitors(nullptr, nullptr, monitorenum, reinterpret_cast<LPARAM>(this));
}

void ExeScr::monrect_exec()
{
    const int64_t which = ip->i;
    ++ip;
    enummonitors();
    if (which == 0) {
        pushint(monitorcount);
        return;
    }
    const int64_t index = cmdargs::toi64(popd());
    if (index < 0 || index > monitorcount)
        myerrexit(L"%s", L"Exceeds number of monitor error.");
    const RECT& r = monitors[index];
    const LONG side[4] = {r.left, r.top, r.right, r.bottom};
    pushint(side[(which - 1) & 3]);
}

void ExeScr::geteditstr_exec()
{
    HWND wnd = reinterpret_cast<HWND>(static_cast<intptr_t>(cmdargs::toi64(popd())));
    const LRESULT len = SendMessageW(wnd, WM_GETTEXTLENGTH, 0, 0);
    datscell* c = pushs();
    if (len <= 0)
        return;
    if (len <= datsinline) {
        SendMessageW(wnd, WM_GETTEXT, static_cast<WPARAM>(len + 1), reinterpret_cast<LPARAM>(c->inl));
        c->inl[len] = 0;
        return;
    }
    auto* buf = static_cast<wchar_t*>(mymalloc2(static_cast<uint64_t>(len + 1) * sizeof(wchar_t), 1050));
    buf[0] = 0;
    SendMessageW(wnd, WM_GETTEXT, static_cast<WPARAM>(len + 1), reinterpret_cast<LPARAM>(buf));
    buf[len] = 0;
    c->heap = buf;
    c->text = buf;
    c->heapid = 1050;
    c->cap = static_cast<int32_t>(len);
}

void ExeScr::ctrlhv_exec()
{
    const int64_t which = ip->i;
    ++ip;
    const datdcell top = popd();
    const int32_t other = static_cast<int32_t>(cmdargs::toi64(popd()));
    if (which == 1) {
        wchar_t hex[16];
        const int n = _snwprintf(hex, 16, L"%x", static_cast<uint32_t>(cmdargs::toi64(top)));
        varrec* v = varat(other);
        v->state = varstr;
        settext(v, hex, static_cast<size_t>(n), 1360);
        pushint(1);
        return;
    }
    const int32_t target = static_cast<int32_t>(cmdargs::toi64(top));
    uint64_t value = 0;
    for (const wchar_t* s = vartext(varat(other)); *s; ++s) {
        uint32_t digit;
        if (*s >= L'0' && *s <= L'9')
            digit = static_cast<uint32_t>(*s - L'0');
        else if (*s >= L'a' && *s <= L'f')
            digit = static_cast<uint32_t>(*s - L'a' + 10);
        else {
            if (logon == 1)
                mylogmsgforced(L"%s\n", L"Invalid char.");
            pushint(0);
            return;
        }
        value = value * 16 + digit;
    }
    varrec* v = varat(target);
    v->state = varnum;
    v->i = static_cast<int64_t>(value);
    v->isint = 1;
    pushint(1);
}

void ExeScr::mousebtn_exec()
{
    const int64_t which = ip->i;
    ++ip;
    static const DWORD events[6][2] = {
        {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP}, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP},
        {MOUSEEVENTF_LEFTDOWN, 0},                   {MOUSEEVENTF_LEFTUP, 0},
        {MOUSEEVENTF_RIGHTDOWN, 0},                  {MOUSEEVENTF_RIGHTUP, 0}};
    if (which < 0 || which > 5)
        return;
    INPUT in[2] = {};
    UINT n = 0;
    for (DWORD flags : events[which]) {
        if (!flags)
            continue;
        in[n].type = INPUT_MOUSE;
        in[n].mi.dwFlags = flags;
        ++n;
    }
    SendInput(n, in, sizeof(INPUT));
}

int ExeScr::createpath(const wchar_t* path)
{
    const size_t len = wcslen(path);
    if (len == 0)
        return 1;
    wchar_t inlinebuf[257];
    wchar_t* buf = inlinebuf;
    if (len > 256)
        buf = static_cast<wchar_t*>(mymalloc2((len + 1) * sizeof(wchar_t), 1160));
    int ok = 1;
    for (size_t k = 0; k < len; ++k) {
        buf[k] = path[k];
        if (path[k] != L'\\')
            continue;
        buf[k + 1] = 0;
        if (GetFileAttributesW(buf) != INVALID_FILE_ATTRIBUTES)
            continue;
        if (!CreateDirectoryW(buf, nullptr)) {
            syserrtext = lasterrortext(GetLastError());
            if (logon == 1)
                mylogmsgforced(L"%s:%s:%s: \n", L"Cannot create Path.", buf, syserrtext.c_str());
            ok = 0;
            break;
        }
    }
    if (buf != inlinebuf)
        myfree(buf, 1160);
    return ok;
}

LRESULT CALLBACK ExeScr::ctrlwin_wndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    auto* e = reinterpret_cast<ExeScr*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!e)
        return DefWindowProcW(hwnd, msg, wp, lp);
    constexpr UINT keep = SWP_NOMOVE | SWP_NOSIZE;
    switch (msg) {
    case WM_USER:
        switch (wp) {
        case 12: e->ctrlresult = SetForegroundWindow(e->ctrltarget); break;
        case 13: e->ctrlresult = SetWindowPos(e->ctrltarget, HWND_TOPMOST, 0, 0, 0, 0, keep); break;
        case 14: e->ctrlresult = SetWindowPos(e->ctrltarget, HWND_NOTOPMOST, 0, 0, 0, 0, keep); break;
        case 15:
            e->ctrlresult = SetWindowPos(e->ctrltarget, HWND_BOTTOM, 0, 0, 0, 0, keep | SWP_NOACTIVATE);
            break;
        case 16: e->ctrlresult = SetWindowPos(e->ctrltarget, HWND_TOP, 0, 0, 0, 0, keep); break;
        default: break;
        }
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_CREATE:
    case WM_SIZE:
    case WM_CHAR:
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}
