// Entry points of host features that are not built yet: global hotkeys and
// hotkey launchers, the Launch Menu and Recently Opened Menu, the Setting and
// enrolment windows and the resident scripts. Each is a small stand-in so that
// the main window's commands and messages already reach their place.
#pragma once

#include <windows.h>

namespace host {

// Registers the main hotkey and the launchers; for now only sets the title
// base a first instance is recognised by.
void regmainhotkey(HWND main);
void unregisterhotkeys(HWND main);
void onhotkey(HWND main, int id);

// The Launch Menu (hotkey 122, commands 1400 to 1435).
void launchmenu(HWND main, int mode);
void runlaunchentry(HWND main, int index, int mode);
// The Recently Opened Menu; returns the chosen slot or -1.
int recentmenu(HWND main);

// The Setting window and the three enrolment windows.
void settingwindow(HWND main);
void enrollscript(HWND main, int mode);
void enrollhotkey(HWND main);
void enrollresident(HWND main);

// Starts the active resident scripts of a first instance.
void startresidents();

}  // namespace host
