// The host's settings as read from the settings image, with their defaults and
// value ranges.
#pragma once

#include <array>
#include <string>

#include "core/iniimage.h"

namespace host {

// One hotkey launcher as the settings file holds it; the hotkeys themselves
// turn the key into a code.
struct launcherkeys {
    std::wstring title;    // at most 99 characters
    std::wstring path;
    std::wstring options;  // at most 99 characters
    int fsmod = 0;
    std::wstring vk;
};

struct hostsettings {
    int vsratio = 20;  // percent of the height for the system-log pane
    int hsratio = 40;  // percent of the width for the tabs
    long left = 100, top = 100, right = 850, bottom = 800;
    bool tasktrayf = false;
    bool suplogmsgset = false;
    int suplogmsg = 0;
    int fontheight = -1;      // -1: the system's message font
    std::wstring fontname;    // at most 31 characters: the face-name field holds 32 with its NUL
    std::wstring filter;      // raw value, escapes not yet replaced
    wchar_t runkeyletter = L'S';
    int runkeyalt = 0;        // 0 Ctrl, 1 Alt
    int hotkeyfsmod = 1;
    std::wstring hotkeyvk = L"X";
    bool hotkeyflag = false;
    std::array<launcherkeys, 30> launchers;
};

// Applies the image's keys of the chosen groups. With `setting`, the defaults
// of [setting] are restored first.
void readini(const iniimage& ini, hostsettings& s, bool setting, bool hotkey, bool runkey, bool launcher);

// The character the run key produces: Ctrl clears bit 0x40 (Ctrl+S gives 19),
// Alt sets bit 0x20 (Alt+S gives 's').
wchar_t runkeychar(wchar_t letter, int alt);

}  // namespace host
