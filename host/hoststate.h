// The host's process-wide state: one main window on one GUI thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/cmdline.h"
#include "core/layout.h"
#include "core/recent.h"
#include "core/settings.h"

namespace host {

// The main hotkey (id 122), which opens the Launch Menu.
struct mainhotkey {
    uint32_t code = 0x58;  // "X" until the settings are read
    int mod = 1;           // modtable row, ALT
    bool enabled = false;  // [hotkey] "flag"
    bool registered = false;
};

// One hotkey launcher (ids 140 to 169): starts its script in a new instance.
struct hklauncher {
    UINT id = 0;
    bool registered = false;
    uint32_t code = 0;  // 0: no launcher in this place
    int mod = 1;
    std::wstring script, title, options;
};

struct hoststate {
    HINSTANCE inst = nullptr;
    std::wstring exepath;
    std::wstring curdir;   // with its final "\"
    std::wstring inipath;
    std::wstring curscript;
    bool firstapp = false;
    cmdline cmd;
    hostsettings set;

    HWND main = nullptr;
    HWND toolbar = nullptr;
    HWND tabctl = nullptr;
    WNDPROC editpproc = nullptr;
    WNDPROC editsysproc = nullptr;
    HIMAGELIST images = nullptr;
    HBITMAP runbmp = nullptr, runmask = nullptr;
    int lineheight = 20;

    layoutout lay;
    splitzone dragging = splitzone::none;
    int dragpos = 0;

    std::vector<RECT> monitors;  // slot 0 the primary
    std::wstring titlebase = L"QUORVEL";
    bool focused = false;
    bool trayshown = false;
    UINT taskbarcreated = 0;
    wchar_t runkeych = 19;
    int launchmode = 1;  // the set the Launch Menu shows (1 or 2)
    int enrolset = 1;    // the set the Enroll Script window edits
    mainhotkey hotkey;
    std::array<hklauncher, 30> launchers;
    std::vector<std::wstring> remoteruns;
    bool closing = false;
    bool showothers = true;  // the next hide/show-others shows
    recentlist recent;
};

hoststate& hs();

// Main window services the other host files call.
// Fills the monitor table (slot 0 the primary).
void fillmonitors();
// The monitor whose rectangle holds the main window's centre, else the primary.
RECT mainmonitor();
void settitle();
void layoutmain();
void tasktray(bool on);
// The task bar was made anew: put the icon back.
void traycreated();
void hideothers();
void focusscript();
// Starts `path` in this process; the "log" folder must exist for its log.
void runscript(const std::wstring& path);
// Whether no one watches this host: started with "/quit" and "/hide". No fatal
// box may wait for an answer there: the host's own is not shown (its line is
// in the system log), a script's is written to the system log and answered.
bool unattended();
// The host's own fatal exit shows no box when unattended. Called at start.
void fatalboxforhost();
// In an unattended host, a script's fatal box that is open is logged and
// answered. The main window's timer asks while a command-line script runs.
void answerfatalbox();
HWND findfirstapp(const wchar_t* classneedle, const wchar_t* titleneedle);

}  // namespace host
