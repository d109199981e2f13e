// Driving script boxes from a test: a script run through the real start path,
// its log, its engine, and the windows it opens, found by class.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/exescr.h"

namespace qtest {

// Dispatches this thread's messages until `done` holds or `ms` pass; the
// result is `done`'s last answer.
bool pumpuntil(const std::function<bool()>& done, DWORD ms = 10000);

// A top-level window of this process with this class (and title, when given).
HWND findwindow(const wchar_t* cls, const wchar_t* title = nullptr);
// Waits for one.
HWND waitwindow(const wchar_t* cls, const wchar_t* title = nullptr, DWORD ms = 10000);
// Waits for a visible window of this class (and title) other than `gone`:
// the next box of a script that opens one after another.
HWND nextwindow(const wchar_t* cls, HWND gone, const wchar_t* title = nullptr);
// The `n`th child (0 the first) of a window with this class, or null.
HWND findchild(HWND parent, const wchar_t* cls, int n = 0);
std::wstring wintext(HWND w);

// A script file written to the scratch folder and started with startMyExec.
class boxscript {
public:
    boxscript(const std::wstring& name, const wchar_t* text);
    ~boxscript();
    // The run's engine while it is registered, else null.
    ExeScr* engine() const;
    bool alive() const;
    // Waits until the run has left the run list.
    bool ended(DWORD ms = 15000) const;
    // The lines written between the start and the end banners.
    std::vector<std::wstring> lines() const;
    // The lines joined, for failure messages.
    std::wstring logtext() const;
    // Waits until the log holds at least `n` of those lines.
    bool haslines(size_t n, DWORD ms = 10000) const;
    // Waits until the script thread is in a box wait (that `which` accepts).
    bool inboxwait(const std::function<bool(const ExeScr&)>& which = nullptr, DWORD ms = 10000) const;
    std::wstring path;
    std::wstring name;
};

// Waits of the boxes: a GroupBox "comp" or "close", a TreeViewBox "sel" or "itm".
bool incomp(const ExeScr& e);
bool inchoice(const ExeScr& e);

}  // namespace qtest
