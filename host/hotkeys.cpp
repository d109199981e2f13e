#include "hotkeys.h"

#include <shellapi.h>

#include "core/formats.h"
#include "core/keynames.h"
#include "core/launchline.h"
#include "core/syslog.h"
#include "hoststate.h"
#include "launchmenu.h"
#include "resource.h"
#include "runtime/owners.h"
#include "runtime/quorvelcore.h"

namespace host {

namespace {

const wchar_t* const keycapprop = L"quorvel.keycap";
bool g_launchersdone = false;

std::wstring modtext(int m)
{
    return validmod(m) ? modtable[m].name : L"";
}

WNDPROC keycapprev(HWND hwnd)
{
    return reinterpret_cast<WNDPROC>(GetPropW(hwnd, keycapprop));
}

LRESULT keycappass(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    WNDPROC prev = keycapprev(hwnd);
    if (msg == WM_NCDESTROY)
        RemovePropW(hwnd, keycapprop);
    return prev ? CallWindowProcW(prev, hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

void loadmainhotkey()
{
    hoststate& h = hs();
    if (const uint32_t k = keycode(h.set.hotkeyvk))
        h.hotkey.code = k;
    h.hotkey.mod = validmod(h.set.hotkeyfsmod) ? h.set.hotkeyfsmod : 1;
    h.hotkey.enabled = h.set.hotkeyflag;
}

void loadhotkeys()
{
    hoststate& h = hs();
    loadmainhotkey();
    for (size_t i = 0; i < h.launchers.size(); ++i) {
        hklauncher& l = h.launchers[i];
        const launcherkeys& k = h.set.launchers[i];
        l.id = HOTKEY_LAUNCHFIRST + static_cast<UINT>(i);
        l.title = k.title;
        l.script = k.path;
        l.options = k.options;
        l.mod = k.fsmod;
        // A name not in the table leaves the key as it was: none.
        if (const uint32_t c = keycode(k.vk))
            l.code = c;
    }
}

void regmainhotkey(HWND main)
{
    hoststate& h = hs();
    if (!h.firstapp) {
        logmsg(L"%s\n", L"This is not first app.");
        return;
    }
    mainhotkey& k = h.hotkey;
    bool done = false;
    if (k.enabled && validmod(k.mod)) {
        const std::wstring mod = modtext(k.mod), key = keyshown(k.code, L"UNKNOWN");
        if (RegisterHotKey(main, HOTKEY_MAIN, modtable[k.mod].flags, k.code)) {
            logmsg(L"Hotkey:%s+%s\n", mod.c_str(), key.c_str());
            h.titlebase = format(L"%s (HotKey:%s+%s)", L"QUORVEL", mod.c_str(), key.c_str());
            k.registered = true;
            done = true;
        } else {
            const std::wstring sys = syserrtext(GetLastError());
            logmsg(L"Hotkey registration failed. %s fsmoda:%x vk:%s \n", sys.c_str(), modtable[k.mod].flags,
                   key.c_str());
        }
    }
    if (!done && !k.registered)
        h.titlebase = format(L"%s (HotKey:None)", L"QUORVEL");
    const std::wstring errorlog = programdir + L"error.log";
    WIN32_FIND_DATAW fd;
    if (owners::findhandle(FindFirstFileW(errorlog.c_str(), &fd)).valid())
        logmsg(L"error.log exists\n");
    settitle();
    if (!g_launchersdone) {
        g_launchersdone = true;
        reghklaunchers(main);
    }
}

void unregmainhotkey()
{
    hoststate& h = hs();
    if (!h.hotkey.registered)
        return;
    if (UnregisterHotKey(h.main, HOTKEY_MAIN)) {
        logmsg(L"UnregisterHotKey success \n");
        h.hotkey.registered = false;
    } else {
        logmsg(L"UnregisterHotKey fails \n");
    }
}

void reghklaunchers(HWND main)
{
    // The registered launchers share one line, written whole after the pass:
    // a failure's line met on the way must not land inside it.
    std::wstring line;
    for (size_t i = 0; i < hs().launchers.size(); ++i) {
        hklauncher& l = hs().launchers[i];
        if (l.code == 0 || l.registered)
            continue;
        const int index = static_cast<int>(i);
        if (!validmod(l.mod)) {
            // Flags from outside the modifier table would register a key nobody chose.
            logmsg(L"Hotkey launcher registration failed. %s %d:fsmod:%d \n", L"invalid modifier.", index, l.mod);
            continue;
        }
        if (!RegisterHotKey(main, static_cast<int>(l.id), modtable[l.mod].flags, l.code)) {
            const std::wstring sys = syserrtext(GetLastError());
            logmsg(L"Hotkey launcher registration failed. %s %d:fsmoda:%x vk:%c \n", sys.c_str(), index,
                   modtable[l.mod].flags, static_cast<wchar_t>(l.code));
            continue;
        }
        if (line.empty())
            line = L"HotkeyLauncher";
        line += format(L":%d:%s+%s", index, modtable[l.mod].name, keyshown(l.code, L"UNKNWON").c_str());
        l.registered = true;
    }
    if (!line.empty())
        logmsg(L"%s\n", line.c_str());
}

void unreghklaunchers()
{
    for (size_t i = 0; i < hs().launchers.size(); ++i) {
        hklauncher& l = hs().launchers[i];
        if (!l.registered)
            continue;
        if (UnregisterHotKey(hs().main, static_cast<int>(l.id))) {
            logmsg(L"HotkeyLauncher %d UnregisterHotKey success \n", static_cast<int>(i));
            l.registered = false;
        } else {
            logmsg(L"HotkeyLauncher %d UnregisterHotKey fails \n", static_cast<int>(i));
        }
    }
}

void unregisterhotkeys()
{
    unregmainhotkey();
    unreghklaunchers();
}

void onhotkey(HWND, int id)
{
    hoststate& h = hs();
    if (id == HOTKEY_MAIN) {
        h.launchmode = 1;
        openlaunchmenu();
        // Shift in the menu asked for the second set.
        if (h.launchmode == 2)
            openlaunchmenu();
        return;
    }
    for (size_t i = 0; i < h.launchers.size(); ++i)
        if (static_cast<int>(h.launchers[i].id) == id)
            runhklauncher(static_cast<int>(i));
}

void runhklauncher(int index)
{
    if (index < 0 || index >= static_cast<int>(hs().launchers.size()))
        return;
    const hklauncher& l = hs().launchers[static_cast<size_t>(index)];
    startinstance(l.script, l.options);
}

void startinstance(const std::wstring& script, const std::wstring& options)
{
    hoststate& h = hs();
    const std::wstring params = launchparams(script, options);
    logmsg(L"%s %s\n", L"......Start of", script.c_str());
    if (wantsquit(options)) {
        addremoterun(scriptbasename(script));
        settitle();
    }
    ShellExecuteW(nullptr, L"open", h.exepath.c_str(), params.c_str(), nullptr, SW_SHOWNORMAL);
}

void addremoterun(const std::wstring& name)
{
    hs().remoteruns.push_back(name);
}

void subclasskeycap(HWND edit, WNDPROC proc)
{
    const LONG_PTR prev = SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    SetPropW(edit, keycapprop, reinterpret_cast<HANDLE>(prev));
}

LRESULT CALLBACK keycapproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_KEYDOWN) {
        const std::wstring t = keytext(static_cast<uint32_t>(wp));
        if (!t.empty())
            SetWindowTextW(hwnd, t.c_str());
        return 0;
    }
    if (msg == WM_CHAR)
        return 0;
    return keycappass(hwnd, msg, wp, lp);
}

LRESULT CALLBACK runkeycapproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_CHAR) {
        if (wp >= L'a' && wp <= L'z') {
            const wchar_t t[2] = {static_cast<wchar_t>(wp - 0x20), 0};
            SetWindowTextW(hwnd, t);
        }
        return 0;
    }
    return keycappass(hwnd, msg, wp, lp);
}

}  // namespace host
