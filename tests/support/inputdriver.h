// Driving a run's script window from the test thread with real input: a
// visible owner in the foreground, the focus on the script window, typed keys.
#pragma once

#include <windows.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "support/testenv.h"

namespace qtest {

// While it lives, hWndp is a visible top-level window of the test thread in
// the foreground, so that synthesised keys reach the focused script window.
// The window is made once and only hidden afterwards: under Wine 8, destroying
// a foreground window after a child of another thread had the focus can leave
// the X11 driver's window lock held, and the next thread to create a child
// window of this one then waits for ever.
struct foregroundowner {
    HWND hwnd;
    HWND saved;
    foregroundowner();
    ~foregroundowner();
    foregroundowner(const foregroundowner&) = delete;
    foregroundowner& operator=(const foregroundowner&) = delete;
};

// While it lives, hWndp is a hidden window of the calling thread, for a box
// that a script thread shows: under Wine 8, closing a message box owned by a
// window of another thread can leave that thread holding the X11 driver's
// window lock, and the next thread to create a child window then waits for ever.
struct threadowner {
    HWND hwnd;
    HWND saved;
    threadowner();
    ~threadowner();
    threadowner(const threadowner&) = delete;
    threadowner& operator=(const threadowner&) = delete;
};

// Dispatches the test thread's messages until `done` or `ms` pass; returns done().
bool waitfor(const std::function<bool()>& done, DWORD ms = 5000);

// Asks the run's script window to take the focus, as a click on it does, and
// waits until it has it.
bool focusscript(ExeScr& e);

// Presses and releases each virtual key in turn (SendInput).
void typekeys(std::initializer_list<WORD> keys, DWORD modifiers = 0);

// Runs `body` on a thread of its own with an engine that has its script window
// and an open log ("log\scriptthread.log"), while the test thread runs
// `during` and then dispatches its messages until the body is done.
struct scriptthread {
    loggedengine e{L"scriptthread"};
    std::function<void(ExeScr&)> body;
    volatile LONG started = 0;
    volatile LONG done = 0;

    // False when the body did not end within `ms` after `during` returned
    // (the thread is then ended).
    bool go(const std::function<void(ExeScr&)>& during, DWORD ms = 5000);
    // The log so far as UTF-8 with LF line ends; closes it.
    std::string log();

private:
    static DWORD WINAPI entry(void* arg);
};

}  // namespace qtest
