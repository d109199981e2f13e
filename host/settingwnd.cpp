#include "settingwnd.h"

#include "core/iniimage.h"
#include "core/keynames.h"
#include "core/keyrules.h"
#include "core/settings.h"
#include "core/syslog.h"
#include "hotkeys.h"
#include "hoststate.h"
#include "modal.h"
#include "resource.h"
#include "runtime/quorvelcore.h"

namespace host {

namespace {

modalrun g_set;

HWND control(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id)
{
    HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), hs().inst, nullptr);
    setfont(c, hFont2);
    return c;
}

HWND modlist(HWND parent, int x, int y, int w, int h, int id, int count, int sel)
{
    HWND c = control(parent, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL, x, y, w, h * 8, id);
    for (int i = 0; i < count; ++i)
        SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(modtable[i].name));
    SendMessageW(c, CB_SETCURSEL, static_cast<WPARAM>(sel), 0);
    return c;
}

void oncreate(HWND hwnd)
{
    hoststate& h = hs();
    const TEXTMETRICW tm = fontmetrics(hwnd, hFont2);
    const int w = tm.tmAveCharWidth, lh = tm.tmHeight + tm.tmExternalLeading + 4;
    const int gx = w, gw = 31 * w + 2 * w, gh = 3 * lh + lh / 2;
    int y = w / 2;
    control(hwnd, L"BUTTON", L"Hot Key", BS_GROUPBOX, gx, y, gw, gh, -1);
    HWND enable = control(hwnd, L"BUTTON", L"Enable Hot Key", BS_CHECKBOX, 2 * w, y + lh, 19 * w, lh,
                          IDC_SET_HOTENABLE);
    SendMessageW(enable, BM_SETCHECK, h.hotkey.enabled ? BST_CHECKED : BST_UNCHECKED, 0);
    int ry = y + 2 * lh + 2;
    // Five modifiers: "NONE" is offered to the launchers only.
    modlist(hwnd, 2 * w, ry, 10 * w, lh, IDC_SET_HOTMOD, 5, h.hotkey.mod < 5 ? h.hotkey.mod : -1);
    control(hwnd, L"STATIC", L"+", SS_CENTER, 12 * w, ry, 2 * w, lh, -1);
    const std::wstring key = keyshown(h.hotkey.code, L"X");
    HWND hotkey = control(hwnd, L"EDIT", key.c_str(), WS_BORDER | ES_AUTOHSCROLL, 14 * w, ry, 10 * w, lh,
                          IDC_SET_HOTKEY);
    SendMessageW(hotkey, EM_SETLIMITTEXT, 9, 0);
    subclasskeycap(hotkey, keycapproc);
    control(hwnd, L"BUTTON", L"OK", BS_PUSHBUTTON, 25 * w, ry, 6 * w, lh, IDC_SET_HOTOK);

    y += gh + w / 2;
    const int gh2 = 2 * lh + lh / 2;
    control(hwnd, L"BUTTON", L"Run Key", BS_GROUPBOX, gx, y, gw, gh2, -1);
    ry = y + lh;
    modlist(hwnd, 2 * w, ry, 10 * w, lh, IDC_SET_RUNMOD, 2, h.set.runkeyalt);
    control(hwnd, L"STATIC", L"+", SS_CENTER, 12 * w, ry, 2 * w, lh, -1);
    const wchar_t letter[2] = {h.set.runkeyletter, 0};
    HWND runkey = control(hwnd, L"EDIT", letter, WS_BORDER | ES_AUTOHSCROLL, 14 * w, ry, 10 * w, lh, IDC_SET_RUNKEY);
    subclasskeycap(runkey, runkeycapproc);
    control(hwnd, L"BUTTON", L"OK", BS_PUSHBUTTON, 25 * w, ry, 6 * w, lh, IDC_SET_RUNOK);

    y += gh2 + w / 2;
    HWND tray = control(hwnd, L"BUTTON", L"To task tray", BS_CHECKBOX, 2 * w, y, 17 * w, lh, IDC_SET_TRAY);
    SendMessageW(tray, BM_SETCHECK, h.set.tasktrayf ? BST_CHECKED : BST_UNCHECKED, 0);

    RECT r = {0, 0, gx + gw + w, y + lh + w / 2};
    AdjustWindowRectEx(&r, WS_CAPTION | WS_SYSMENU, FALSE, WS_EX_TOPMOST);
    SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    centrewindow(hwnd, rectcentre(mainmonitor()));
}

std::wstring fieldtext(HWND hwnd, int id)
{
    wchar_t buf[10] = {};
    GetDlgItemTextW(hwnd, id, buf, 10);
    return buf;
}

int selection(HWND hwnd, int id)
{
    return static_cast<int>(SendDlgItemMessageW(hwnd, id, CB_GETCURSEL, 0, 0));
}

void hotkeyok(HWND hwnd)
{
    hoststate& h = hs();
    const int m = selection(hwnd, IDC_SET_HOTMOD);
    const std::wstring t = fieldtext(hwnd, IDC_SET_HOTKEY);
    const uint32_t k = keycode(t);
    // No selection (-1) must not index the modifier table.
    if (k == 0 || !validmod(m)) {
        logmsg(L"invalid number error.\n");
        return;
    }
    if (hotkeyrefused(m, k, h.set.runkeyalt, h.set.runkeyletter)) {
        logmsg(L"Already used key in this app, choose another.\n");
        return;
    }
    h.hotkey.mod = m;
    h.hotkey.code = k;
    unregmainhotkey();
    regmainhotkey(h.main);
    if (h.hotkey.enabled && !h.hotkey.registered) {
        // Refused by the system: back to what the settings hold, registered again.
        h.set.hotkeyfsmod = 1;
        h.set.hotkeyvk = L"X";
        readini(theini(), h.set, false, true, false, false);
        h.hotkey.code = 0x58;
        loadmainhotkey();
        regmainhotkey(h.main);
        SendDlgItemMessageW(hwnd, IDC_SET_HOTENABLE, BM_SETCHECK, h.hotkey.enabled ? BST_CHECKED : BST_UNCHECKED, 0);
        return;
    }
    iniimage& ini = theini();
    ini.setinis(L"hotkey", L"flag", format(L"%d", h.hotkey.enabled ? 1 : 0));
    ini.setinis(L"hotkey", L"fsmod", format(L"%d", m));
    ini.setinis(L"hotkey", L"vk", t);
}

void runkeyok(HWND hwnd)
{
    hoststate& h = hs();
    const int m = selection(hwnd, IDC_SET_RUNMOD);
    const std::wstring t = fieldtext(hwnd, IDC_SET_RUNKEY);
    const wchar_t l = t.empty() ? 0 : t[0];
    if ((m != 0 && m != 1) || l < L'A' || l > L'Z') {
        logmsg(L"invalid number error.\n");
        return;
    }
    if (runkeyrefused(m, l, h.hotkey.mod, h.hotkey.code)) {
        logmsg(L"Already used key in this app, choose another.\n");
        return;
    }
    iniimage& ini = theini();
    ini.setinis(L"runkey", L"fsmod", format(L"%d", m));
    ini.setinis(L"runkey", L"vk", std::wstring(1, l));
    h.set.runkeyalt = m;
    h.set.runkeyletter = l;
    h.runkeych = runkeychar(l, m);
}

bool toggle(HWND hwnd, int id)
{
    const bool on = SendDlgItemMessageW(hwnd, id, BM_GETCHECK, 0, 0) != BST_CHECKED;
    SendDlgItemMessageW(hwnd, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    return on;
}

void oncommand(HWND hwnd, int id)
{
    hoststate& h = hs();
    switch (id) {
    case IDC_SET_HOTENABLE:
        h.hotkey.enabled = toggle(hwnd, id);
        break;
    case IDC_SET_TRAY:
        h.set.tasktrayf = toggle(hwnd, id);
        theini().setinis(L"setting", L"tasktrayf", h.set.tasktrayf ? L"1" : L"0");
        break;
    case IDC_SET_HOTOK:
        hotkeyok(hwnd);
        break;
    case IDC_SET_RUNOK:
        runkeyok(hwnd);
        break;
    default:
        break;
    }
}

LRESULT CALLBACK setwndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        oncreate(hwnd);
        return 0;
    case WM_COMMAND:
        oncommand(hwnd, LOWORD(wp));
        return 0;
    case WM_KEYDOWN:
        if (wp == VK_ESCAPE)
            SendMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    default:
        break;
    }
    LRESULT result = 0;
    if (modalmessage(g_set, hwnd, msg, wp, result))
        return result;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void opensetting()
{
    regmodalclass(L"quorvel.set", setwndproc);
    openmodal(g_set, WS_EX_TOPMOST, L"quorvel.set", L"Setting", nullptr);
}

}  // namespace host
