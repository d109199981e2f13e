#include "launchmenu.h"

#include <algorithm>
#include <vector>

#include "core/launchset.h"
#include "core/syslog.h"
#include "hotkeys.h"
#include "hoststate.h"
#include "menuscroll.h"
#include "modal.h"
#include "resource.h"
#include "runtime/quorvelcore.h"

namespace host {

namespace {

struct launchtable {
    bool loaded = false;
    std::vector<launchentry> entries;
};

launchtable g_tables[2];
modalrun g_menu;
bool g_inside = false;
menuscroll g_scroll;

launchtable& table(int set)
{
    return g_tables[set == 2 ? 1 : 0];
}

void closemenu(HWND hwnd)
{
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
}

void oncreate(HWND hwnd)
{
    hoststate& h = hs();
    const std::vector<launchentry>& entries = table(h.launchmode).entries;
    fillmonitors();
    const RECT mon = h.monitors[0];
    const int monheight = mon.bottom - mon.top;
    const SIZE frame = framesize(hwnd);
    const TEXTMETRICW tm = fontmetrics(hwnd, hFont1);
    const int row = tm.tmHeight + tm.tmExternalLeading + 4;
    int widest = 0;
    for (const launchentry& e : entries)
        widest = std::max(widest, textwidth(hwnd, hFont1, e.title.c_str()));
    const int button = std::clamp(widest + 50, 150, 1000);
    const int content = static_cast<int>(entries.size()) * row + 4;
    g_scroll = menuscroll{};
    g_scroll.row = row;
    g_scroll.content = content;
    g_scroll.width = button;
    SetWindowPos(hwnd, nullptr, 0, 0, frame.cx + button, std::min<int>(content + frame.cy, monheight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::wstring text = format(L"%c %s", slotchar(entries[i].slot), entries[i].title.c_str());
        HWND b = CreateWindowExW(0, L"BUTTON", text.c_str(), WS_CHILD | WS_VISIBLE | BS_LEFT, 2,
                                 2 + static_cast<int>(i) * row, button, row, hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_MENU_FIRST + i)), h.inst, nullptr);
        setfont(b, hFont1);
    }
    g_scroll.centre = rectcentre(mon);
    centrewindow(hwnd, g_scroll.centre);
}

void onkey(HWND hwnd, WPARAM key)
{
    hoststate& h = hs();
    if (key == VK_ESCAPE) {
        closemenu(hwnd);
        return;
    }
    if (key == VK_SHIFT) {
        if (h.launchmode == 1)
            h.launchmode = 2;
        closemenu(hwnd);
        return;
    }
    const int slot = keyslot(static_cast<unsigned>(key));
    if (slot < 0)
        return;
    const std::vector<launchentry>& entries = table(h.launchmode).entries;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].slot == slot) {
            runlaunchentry(h.launchmode, static_cast<int>(i));
            break;
        }
    }
    closemenu(hwnd);
}

LRESULT CALLBACK lmwndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        oncreate(hwnd);
        return 0;
    case WM_SIZE:
        g_scroll.onsize(hwnd, HIWORD(lp));
        break;
    case WM_VSCROLL:
        g_scroll.onvscroll(hwnd, LOWORD(wp));
        return 0;
    case WM_KEYDOWN:
        onkey(hwnd, wp);
        return 0;
    case WM_COMMAND: {
        const int id = LOWORD(wp);
        if (id >= IDC_MENU_FIRST && id < IDC_MENU_FIRST + launchslots) {
            runlaunchentry(hs().launchmode, id - IDC_MENU_FIRST);
            closemenu(hwnd);
        }
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

void loadlaunchtable(int set)
{
    launchtable& t = table(set);
    if (t.loaded)
        return;
    t.entries = loadlaunchset(theini(), set);
    t.loaded = true;
}

void freescripttables()
{
    for (launchtable& t : g_tables) {
        t.entries.clear();
        t.loaded = false;
    }
}

void openlaunchmenu()
{
    hoststate& h = hs();
    if (g_inside)
        return;
    g_inside = true;
    loadlaunchtable(h.launchmode);
    if (table(h.launchmode).entries.empty()) {
        logmsg(L"None of script enrolled.\n");
        g_inside = false;
        return;
    }
    regmodalclass(L"quorvel.lm", lmwndproc);
    EnableWindow(h.main, FALSE);
    g_menu = modalrun{};
    g_menu.wnd = CreateWindowExW(0, L"quorvel.lm", L"Launch Menu", WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, h.main, nullptr, h.inst, nullptr);
    if (!g_menu.wnd) {
        EnableWindow(h.main, TRUE);
        g_inside = false;
        return;
    }
    ShowWindow(g_menu.wnd, SW_SHOW);
    UpdateWindow(g_menu.wnd);
    bringfront(g_menu.wnd);
    runmodal(g_menu);
    g_inside = false;
}

void runlaunchentry(int set, int index)
{
    loadlaunchtable(set);
    const std::vector<launchentry>& entries = table(set).entries;
    if (index < 0 || index >= static_cast<int>(entries.size()))
        return;
    // A copy: starting may dispatch messages that reload the table.
    const launchentry e = entries[static_cast<size_t>(index)];
    startinstance(e.script, e.options);
}

HWND launchmenuwindow()
{
    return g_menu.wnd;
}

}  // namespace host
