// What every script box shares: the event of one wait, the window thread of a
// box, the static window procedure that finds its box, and the small steps of
// opening a window (class, front, message loop).
//
// Rules for a box thread: it never takes or frees a tracked block and never
// writes a script variable; whatever it leaves for the script it writes into
// the box state before it sets the box's event or returns from a sent message.
// Data that both threads change (message lists, rows) is guarded by the box's
// own lock, which the script thread never holds across a SendMessageW.
#pragma once

#include <windows.h>

#include <cstdint>
#include <new>

#include "runtime/owners.h"

class ExeScr;

// The event of one wait on a box: a fresh unnamed manual-reset event per wait.
// Setting, arming and disarming happen under one lock, so a box thread never
// sets a handle that the script thread has already closed.
class boxevent {
public:
    boxevent() { InitializeSRWLock(&lock); }
    ~boxevent() { disarm(); }
    boxevent(const boxevent&) = delete;
    boxevent& operator=(const boxevent&) = delete;

    // A new event (an older one is closed first); null when none could be made.
    HANDLE arm();
    // Clears the field first, then closes the event.
    void disarm();
    bool armed();
    HANDLE handle();
    // Sets the event when a wait is armed; 1 when it was.
    bool set() { return setwith([] {}); }
    // Runs `fill` (writing the wait's results) and sets the event, both under
    // the lock and only when a wait is armed.
    template <class F>
    bool setwith(F fill)
    {
        AcquireSRWLockExclusive(&lock);
        const bool any = h != nullptr;
        if (any) {
            fill();
            SetEvent(h);
        }
        ReleaseSRWLockExclusive(&lock);
        return any;
    }

private:
    SRWLOCK lock;
    HANDLE h = nullptr;
};

// The window thread of a box. Its handle is kept so that a box's next open and
// the run's end can wait until the thread has really left the box state.
class boxthread {
public:
    boxthread() = default;
    ~boxthread();
    boxthread(const boxthread&) = delete;
    boxthread& operator=(const boxthread&) = delete;

    // Starts `entry(arg)`, after waiting for an earlier thread of this box to
    // end; false when no thread could be started.
    bool start(unsigned(__stdcall* entry)(void*), void* arg);
    // Waits, dispatching the calling thread's messages, until the thread ended.
    void join();

private:
    HANDLE h = nullptr;
};

// Posted to the script window by a box thread that met a fatal error.
constexpr UINT boxfatalpost = WM_APP + 4;

// The static window procedure of a box class: the creation parameter is kept
// in GWLP_USERDATA at WM_NCCREATE, and every message from then on (that one
// included) goes to the box's member procedure.
template <class T, LRESULT (T::*proc)(HWND, UINT, WPARAM, LPARAM)>
LRESULT CALLBACK boxthunk(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    T* state = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!state)
        return DefWindowProcW(hwnd, msg, wp, lp);
    return (state->*proc)(hwnd, msg, wp, lp);
}

// Registers a box class (an existing one is fine): redraw on size (and what
// `style` adds), arrow cursor, `background` or the stock white brush.
void registerboxclass(const wchar_t* name, WNDPROC proc, HBRUSH background = nullptr, UINT style = 0);
// Brings a window to the front, through the foreground thread's input when needed.
void boxtofront(HWND hwnd);
void boxtopmost(HWND hwnd);
// Keys and clicks a box window hands to its script: WM_KEYDOWN, WM_CHAR and
// the button presses are posted unchanged to `scriptwnd`; true for those.
bool boxforward(HWND scriptwnd, UINT msg, WPARAM wp, LPARAM lp);
// The message loop of a window thread, until WM_QUIT.
void boxmessageloop();
// Takes over a child control: `state` in its GWLP_USERDATA, `proc` as its
// procedure; returns the control's old procedure.
WNDPROC boxsubclass(HWND child, WNDPROC proc, void* state);
// The system's message font with `height` (when above 0), `weight` (when 0 or
// above) and `face` (when not empty, at most 31 characters and the NUL).
HFONT boxfont(const wchar_t* face, int32_t height, int32_t weight);
// The options of an "open", read as text at compile time: within the first two
// characters after the blanks, "t" is topmost (1) and "n" starts fully
// transparent (2).
int32_t boxopenflags(const wchar_t* text);
// A caption's seconds as the milliseconds of its timer: counted in 64 bits
// and kept within what SetTimer takes (about 24.8 days).
inline UINT captionms(int32_t seconds)
{
    const int64_t ms = static_cast<int64_t>(seconds) * 1000;
    return static_cast<UINT>(ms < USER_TIMER_MAXIMUM ? ms : USER_TIMER_MAXIMUM);
}
// Line height of a font: tmHeight + tmExternalLeading + `extra`.
int32_t boxlineheight(HWND hwnd, HFONT font, int32_t extra);
// The frame's width and height: the window rectangle less the client area.
SIZE boxframe(HWND hwnd);

// A window's device context with a font selected (none when null), for
// measuring; both are given back when it goes.
class boxdc : public owners::windowdc {
public:
    boxdc(HWND hwnd, HFONT font) : windowdc(hwnd, font) {}
    // tmHeight + tmExternalLeading + `extra`.
    int32_t lineheight(int32_t extra) const;
    int32_t width(const wchar_t* text, size_t len) const;
};
