// The task-tray icon and what the main window does with other windows: other
// host instances (found, hidden, shown) and the running script's window.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "core/formats.h"
#include "core/syslog.h"
#include "hoststate.h"
#include "resource.h"
#include "runtime/quorvelcore.h"
#include "runtime/scriptname.h"
#include "runtime/shorttext.h"

namespace host {

namespace {

struct appsearch {
    const wchar_t* cls;
    const wchar_t* title;
    HWND found;
};

bool has(const wchar_t* text, const wchar_t* needle)
{
    return !needle || hastext(text, needle);
}

BOOL CALLBACK findappproc(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<appsearch*>(lp);
    wchar_t text[2048] = {}, cls[2048] = {};
    GetWindowTextW(hwnd, text, 2048);
    GetClassNameW(hwnd, cls, 2048);
    if (has(text, s->title) && has(cls, s->cls)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

struct othersrun {
    HWND self;
    bool show;
    int count;
};

BOOL CALLBACK othersproc(HWND hwnd, LPARAM lp)
{
    auto* run = reinterpret_cast<othersrun*>(lp);
    wchar_t text[256] = {}, cls[256] = {};
    GetWindowTextW(hwnd, text, 256);
    GetClassNameW(hwnd, cls, 256);
    if (hwnd == run->self || !hastext(text, L"QUORVEL") || !hastext(cls, L"quorvel.main"))
        return TRUE;
    ShowWindow(hwnd, run->show ? SW_SHOW : SW_HIDE);
    logmsg(run->show ? L"Show:%s\n" : L"Hide:%s\n", text);
    ++run->count;
    return TRUE;
}

}  // namespace

hoststate& hs()
{
    static hoststate state;
    return state;
}

HWND findfirstapp(const wchar_t* classneedle, const wchar_t* titleneedle)
{
    if ((!classneedle || !*classneedle) && (!titleneedle || !*titleneedle))
        return nullptr;
    appsearch s{classneedle, titleneedle, nullptr};
    EnumWindows(findappproc, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

namespace {

NOTIFYICONDATAW trayrecord()
{
    hoststate& h = hs();
    NOTIFYICONDATAW nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = h.main;
    nid.uID = TRAY_UID;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nid.uCallbackMessage = WM_TRAYCALLBACK;
    nid.hIcon = LoadIconW(h.inst, MAKEINTRESOURCEW(IDI_QUORVEL));
    wcscpy_s(nid.szTip, L"QUORVEL");
    return nid;
}

// Adds the icon, or finds it still there. When neither, the hidden window
// could never be reached again: it is shown instead.
void showtrayicon()
{
    hoststate& h = hs();
    NOTIFYICONDATAW nid = trayrecord();
    ShowWindow(h.main, SW_HIDE);
    if (Shell_NotifyIconW(NIM_ADD, &nid) || Shell_NotifyIconW(NIM_MODIFY, &nid)) {
        h.trayshown = true;
        return;
    }
    logmsg(L"%s\n", L"The task-tray icon could not be added.");
    ShowWindow(h.main, SW_SHOWNORMAL);
    h.trayshown = false;
}

}  // namespace

void tasktray(bool on)
{
    hoststate& h = hs();
    if (on) {
        showtrayicon();
        return;
    }
    NOTIFYICONDATAW nid = trayrecord();
    Shell_NotifyIconW(NIM_DELETE, &nid);
    ShowWindow(h.main, SW_SHOWNORMAL);
    h.trayshown = false;
}

void traycreated()
{
    // A new task bar (Explorer restarted) has forgotten the icon.
    if (hs().trayshown)
        showtrayicon();
}

void hideothers()
{
    hoststate& h = hs();
    othersrun run{h.main, h.showothers, 0};
    EnumWindows(othersproc, reinterpret_cast<LPARAM>(&run));
    if (run.count == 0)
        logmsg(L"None for others...\n");
    h.showothers = !h.showothers;
}

void focusscript()
{
    const std::wstring& s = hs().curscript;
    setfocusto_m(s.substr(namestart(s)).c_str());
}

bool unattended()
{
    const cmdline& c = hs().cmd;
    return c.quit && c.hide;
}

namespace {

void nofatalbox(const wchar_t*) {}

// The box's message: its first static with a text. Read without a message to
// the box's thread.
BOOL CALLBACK boxtextproc(HWND hwnd, LPARAM lp)
{
    wchar_t cls[16] = {}, text[512] = {};
    GetClassNameW(hwnd, cls, 16);
    if (_wcsicmp(cls, L"Static") != 0 || InternalGetWindowText(hwnd, text, 512) <= 0)
        return TRUE;
    *reinterpret_cast<std::wstring*>(lp) = text;
    return FALSE;
}

// The fatal box ("QUORVEL - Exit") of a script of this process.
BOOL CALLBACK fatalboxproc(HWND hwnd, LPARAM lp)
{
    DWORD pid = 0;
    const DWORD thread = GetWindowThreadProcessId(hwnd, &pid);
    if (pid != GetCurrentProcessId() || thread == GetCurrentThreadId())
        return TRUE;
    wchar_t cls[16] = {}, caption[32] = {};
    GetClassNameW(hwnd, cls, 16);
    InternalGetWindowText(hwnd, caption, 32);
    if (wcscmp(cls, L"#32770") != 0 || wcscmp(caption, L"QUORVEL - Exit") != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(lp) = hwnd;
    return FALSE;
}

}  // namespace

void fatalboxforhost()
{
    if (unattended())
        setfatalbox(nofatalbox);
}

void answerfatalbox()
{
    // Open from the fatal exit's start until the host has closed.
    if (!unattended() || !g_screxits)
        return;
    HWND box = nullptr;
    EnumWindows(fatalboxproc, reinterpret_cast<LPARAM>(&box));
    // Asked again until the answer arrives: answered once.
    static HWND answered = nullptr;
    if (!box || box == answered)
        return;
    answered = box;
    std::wstring text;
    EnumChildWindows(box, boxtextproc, reinterpret_cast<LPARAM>(&text));
    logmsg(L"%s %s \n", L"Exiting...", text.c_str());
    // Answered as a user would: the run then asks the main window to close.
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

void runscript(const std::wstring& path)
{
    ensurelogdir(programdir);
    // startMyExec dispatches messages while it waits, and they may change
    // curscript: the path it reads must not move.
    const std::wstring copy = path;
    startMyExec(copy.c_str());
}

}  // namespace host
