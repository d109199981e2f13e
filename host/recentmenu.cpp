#include "recentmenu.h"

#include <algorithm>

#include "core/syslog.h"
#include "hoststate.h"
#include "modal.h"
#include "resource.h"
#include "runtime/quorvelcore.h"

namespace host {

namespace {

modalrun g_menu;
bool g_inside = false;
int g_chosen = -1;
POINT g_centre{};

void choose(HWND hwnd, int index)
{
    g_chosen = index >= 0 && index < hs().recent.count() ? index : -1;
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
}

void oncreate(HWND hwnd)
{
    hoststate& h = hs();
    const int count = h.recent.count();
    const SIZE frame = framesize(hwnd);
    const TEXTMETRICW tm = fontmetrics(hwnd, hFont1);
    const int row = tm.tmHeight + tm.tmExternalLeading + 4;
    int widest = 200;
    for (int i = 0; i < count; ++i)
        widest = std::max(widest, textwidth(hwnd, hFont1, h.recent.at(i).c_str()));
    const int button = widest + 2 * tm.tmAveCharWidth + 10;
    SetWindowPos(hwnd, nullptr, 0, 0, widest + 2 * tm.tmAveCharWidth + frame.cx + 14, frame.cy + count * row + 4,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (int i = 0; i < count; ++i) {
        const wchar_t key = i < 10 ? static_cast<wchar_t>(L'0' + i) : static_cast<wchar_t>(L'a' + i - 10);
        const std::wstring text = format(L"%c %s", key, h.recent.at(i).c_str());
        HWND b = CreateWindowExW(0, L"BUTTON", text.c_str(), WS_CHILD | WS_VISIBLE | BS_LEFT, 2, 2 + i * row, button,
                                 row, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MENU_FIRST + i)), h.inst,
                                 nullptr);
        setfont(b, hFont1);
    }
    centrewindow(hwnd, g_centre);
}

LRESULT CALLBACK oswndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        oncreate(hwnd);
        return 0;
    case WM_KEYDOWN:
        if (wp == VK_ESCAPE)
            choose(hwnd, -1);
        else if (wp >= L'0' && wp <= L'9')
            choose(hwnd, static_cast<int>(wp - L'0'));
        else if (wp >= L'A' && wp <= L'Z')
            choose(hwnd, 10 + static_cast<int>(wp - L'A'));
        return 0;
    case WM_COMMAND: {
        const int id = LOWORD(wp);
        if (id >= IDC_MENU_FIRST && id < IDC_MENU_FIRST + hs().recent.count())
            choose(hwnd, id - IDC_MENU_FIRST);
        return 0;
    }
    default:
        break;
    }
    LRESULT result = 0;
    if (modalmessage(g_menu, hwnd, msg, wp, result))
        return result;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int openrecentmenu()
{
    hoststate& h = hs();
    if (g_inside)
        return -1;
    g_inside = true;
    g_chosen = -1;
    const RECT mon = mainmonitor();
    g_centre = rectcentre(mon);
    h.recent.loadrecent(theini());
    if (h.recent.count() == 0) {
        logmsg(L"None of script enrolled.\n");
        g_inside = false;
        return -1;
    }
    regmodalclass(L"quorvel.os", oswndproc);
    EnableWindow(h.main, FALSE);
    const int mw = mon.right - mon.left, mh = mon.bottom - mon.top;
    g_menu = modalrun{};
    g_menu.wnd = CreateWindowExW(0, L"quorvel.os", L"Recently Opened Menu", WS_CAPTION, g_centre.x - mw / 4,
                                 g_centre.y - mh / 4, mw / 2, mh / 2, h.main, nullptr, h.inst, nullptr);
    if (!g_menu.wnd) {
        EnableWindow(h.main, TRUE);
        g_inside = false;
        return -1;
    }
    ShowWindow(g_menu.wnd, SW_SHOW);
    UpdateWindow(g_menu.wnd);
    SetForegroundWindow(g_menu.wnd);
    runmodal(g_menu);
    g_inside = false;
    return g_chosen;
}

}  // namespace host
