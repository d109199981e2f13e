// The window the window tests drive: a top-level window with a menu bar (a
// submenu two levels deep), push buttons (the last without a text, made
// after the other children), a three-state check box, two list
// boxes, a simple combo box, an edit control and a report line. Every event it
// sees becomes one UTF-8 line of its log and the text of its report line, so a
// test can check what a script did to it. targetapp.exe runs it in a process
// of its own; a test may run it on a thread of its own process too (menus of
// another process cannot be read under Wine).
//
// Log lines: "ready", "menu ITEM", "button TEXT" ("button (untitled)" for the
// button without a text), "check STATE", "list1 ITEM",
// "list2 ITEM", "combo ITEM", "pos L T R B", "show", "hide", "minimized",
// "maximized", "restored", then "close" and "final edit=TEXT check=N
// list1=ITEM list2=ITEM combo=ITEM"; or "timeout".
#pragma once

#include <windows.h>

#include <string>

namespace target {

struct options {
    std::wstring title = L"Quorvel target";
    std::wstring cls = L"QuorvelTarget";
    std::wstring logpath;     // none: no log
    int timeout = 60;         // seconds until it closes itself
    int at[4] = {100, 100, 420, 320};  // x, y, width, height
};

// Reads "/title TEXT /class NAME /log PATH /timeout SECONDS /at X Y W H".
options parse(int argc, wchar_t** argv);

// Creates the window and runs the calling thread's message loop until the
// window is gone; 0 then, else the step that failed. `created` (may be null)
// receives the window once it is shown, before "ready" is logged.
int run(const options& o, HWND volatile* created = nullptr);

}  // namespace target
