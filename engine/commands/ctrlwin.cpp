// Changing another window's show state, Z-order and position. Only the thread
// that owns the foreground may hand it on, so foreground and Z-order requests
// go through a hidden window of the script's own ("quorvel.ctrlwin"): made
// the foreground window, it carries the request out and closes itself.
#include <cwchar>

#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

namespace {

const ExeScr::subword ctrlwinwords[] = {
    {L"min", 0},
    {L"show", 1},
    {L"max", 2},
    {L"restore", 3},
    {L"hide", 4},
    {L"showdefault", 5},
    {L"showmaximized", 6},
    {L"showminimized", 7},
    {L"showminnoactive", 8},
    {L"showna", 9},
    {L"shownoactivate", 10},
    {L"shownormal", 11},
    {L"foreground", 12},
    {L"topmost", 13},
    {L"notopmost", 14},
    {L"bottom", 15},
    {L"top", 16},
    {L"close", 17},
    {L"allowsetforeground", 18},
    {L"getwindowplacement", 19},
    {L"iswindowvisible", 20},
    {L"compare", 21},
    {L"iswindow", 22},
    {nullptr, 0},
};
constexpr int32_t codecompare = 21;

// The show command of each code 0 to 11.
const int showcommands[12] = {SW_MINIMIZE,       SW_SHOW,          SW_MAXIMIZE,     SW_RESTORE,
                              SW_HIDE,           SW_SHOWDEFAULT,   SW_SHOWMAXIMIZED, SW_SHOWMINIMIZED,
                              SW_SHOWMINNOACTIVE, SW_SHOWNA,       SW_SHOWNOACTIVATE, SW_SHOWNORMAL};

// Joins the calling thread's input state with the foreground window's thread
// while it lives, when they differ.
class foregroundinput {
public:
    foregroundinput()
        : mine(GetCurrentThreadId()), theirs(GetWindowThreadProcessId(GetForegroundWindow(), nullptr))
    {
        attached = theirs != 0 && theirs != mine && AttachThreadInput(mine, theirs, TRUE);
    }
    ~foregroundinput()
    {
        if (attached)
            AttachThreadInput(mine, theirs, FALSE);
    }
    foregroundinput(const foregroundinput&) = delete;
    foregroundinput& operator=(const foregroundinput&) = delete;

private:
    DWORD mine;
    DWORD theirs;
    bool attached = false;
};

// 0 only for the same handle: a difference of less than 4, or of a multiple
// of 2^34, must not read as equal.
int32_t comparehandles(int64_t first, int64_t second)
{
    const int64_t diff = static_cast<int64_t>(static_cast<uint64_t>(second) - static_cast<uint64_t>(first));
    const auto r = static_cast<int32_t>(diff >> 2);
    if (diff != 0 && r == 0)
        return diff > 0 ? 1 : -1;
    return r;
}

}  // namespace

int32_t ExeScr::ctrlwinrequest(HWND target, int32_t code)
{
    HINSTANCE module = GetModuleHandleW(nullptr);
    if (!g_stock_white)
        g_stock_white = GetStockObject(WHITE_BRUSH);
    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ctrlwin_wndproc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(g_stock_white);
    wc.lpszClassName = L"quorvel.ctrlwin";
    RegisterClassW(&wc);  // registered by an earlier request: fine
    ctrlwnd = CreateWindowExW(0, L"quorvel.ctrlwin", L"", WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, hWndp, nullptr, module, this);
    // Without its window the request was not carried out: an earlier request's
    // result must not stand for it.
    if (!ctrlwnd)
        return 0;
    ShowWindow(ctrlwnd, SW_HIDE);
    ctrltarget = target;
    ctrlresult = 0;
    if (!SetForegroundWindow(ctrlwnd)) {
        foregroundinput joined;
        SetForegroundWindow(ctrlwnd);
    }
    PostMessageW(ctrlwnd, WM_USER, static_cast<WPARAM>(code), 0);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    ctrlwnd = nullptr;
    return ctrlresult;
}

void ExeScr::ctrlwin_exec()
{
    const auto code = static_cast<int32_t>(ip->i);
    ++ip;
    const datdcell first = popd();
    HWND wnd = hwndof(first);
    int64_t result = 0;
    if (code >= 0 && code <= 11) {
        result = ShowWindow(wnd, showcommands[code]);
    } else if (code >= 12 && code <= 16) {
        result = ctrlwinrequest(wnd, code);
    } else {
        switch (code) {
        case 17: result = PostMessageW(wnd, WM_CLOSE, 0, 0); break;
        case 18: result = AllowSetForegroundWindow(ASFW_ANY); break;
        case 19: {
            WINDOWPLACEMENT wp = {};
            wp.length = sizeof wp;
            GetWindowPlacement(wnd, &wp);
            result = wp.showCmd;
            break;
        }
        case 20: result = IsWindowVisible(wnd); break;
        case codecompare: result = comparehandles(first.i, popd().i); break;
        case 22: result = IsWindow(wnd); break;
        default: break;
        }
    }
    pushint(result);
}

void ExeScr::setwindowpos_exec()
{
    HWND wnd = hwndof(popd());
    const int32_t x = cmdargs::toi32(popd());
    const int32_t y = cmdargs::toi32(popd());
    const int32_t w = cmdargs::toi32(popd());
    const int32_t h = cmdargs::toi32(popd());
    const foregroundinput joined;
    if (w != 0 || h != 0)
        SetWindowPos(wnd, HWND_TOP, x, y, w, h, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    else
        SetWindowPos(wnd, HWND_TOP, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

// ---- front ends

void ExeScr::ctrlwin_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count == 1 || count > 3)
        comperr(L"the number of argument mismatch.");
    if (count == 3)
        nextnum(args);
    const int32_t code = subcommand(args + mypop(), ctrlwinwords);
    if (count != (code == codecompare ? 3 : 2))
        comperr(L"the number of argument mismatch.");
    nextnum(args);
    emitcell(&ExeScr::ctrlwin_exec);
    emitint(code);
}

void ExeScr::setwindowpos_comp(wchar_t* args)
{
    if (splitargs(args) != 5)
        comperr(L"the number of argument mismatch.");
    for (int k = 0; k < 5; ++k)
        nextnum(args);
    emitcell(&ExeScr::setwindowpos_exec);
}

void ExeScr::ctrlhv_comp(wchar_t* args)
{
    static const subword directions[] = {{L"fromstr", 0}, {L"tostr", 1}, {nullptr, 0}};
    if (splitargs(args) != 3)
        comperr(L"the number of argument mismatch.");
    destvar_comp(args + mypop());
    const int32_t tostr = subcommand(args + mypop(), directions);
    if (tostr)
        nextnum(args);
    else
        destvar_comp(args + mypop());
    emitcell(&ExeScr::ctrlhv_exec);
    emitint(tostr);
}
