// What the host's modal windows share (Launch Menu, Recently Opened Menu,
// Setting and the enrolment windows): their class, their own message loop,
// bringing them forward, centring them, and their static-text colours.
#pragma once

#include <windows.h>

namespace host {

// One modal window while it is shown.
struct modalrun {
    HWND wnd = nullptr;
    bool ended = false;  // its WM_DESTROY posted the quit that ends its loop
};

// Registers the class the first time: CS_HREDRAW | CS_VREDRAW, the standard
// application icon, the arrow cursor, the stock white brush.
void regmodalclass(const wchar_t* cls, WNDPROC proc);

// Shows the window made for `run` and runs its loop until WM_QUIT. A quit that
// was not its own, or one posted while the main window was destroyed under
// it, is posted again so that the main loop ends too.
void runmodal(modalrun& run);
// For the window's WM_DESTROY: marks the run ended and posts the quit.
void endmodal(modalrun& run);

// The Setting and enrolment windows: the main window disabled, the window
// made (WS_CAPTION | WS_SYSMENU, default place and size; it sizes and centres
// itself in WM_CREATE), shown, and its loop run until it has gone.
void openmodal(modalrun& run, DWORD exstyle, const wchar_t* cls, const wchar_t* title, HWND owner);

// What every modal window does alike: WM_CTLCOLORSTATIC (black on white),
// WM_CLOSE (the main window enabled again, this one hidden and destroyed) and
// WM_DESTROY (its loop ends). True when `msg` was one of them.
bool modalmessage(modalrun& run, HWND hwnd, UINT msg, WPARAM wp, LRESULT& result);

// SetForegroundWindow and topmost; across threads with attached input when
// the first try fails.
void bringfront(HWND w);

// Moves `w` so that its centre is `c`.
void centrewindow(HWND w, POINT c);
POINT rectcentre(const RECT& r);
// Outer size minus client size.
SIZE framesize(HWND w);

// The metrics and the text extent of a font.
TEXTMETRICW fontmetrics(HWND w, HFONT font);
int textwidth(HWND w, HFONT font, const wchar_t* text);

// WM_CTLCOLORSTATIC: black text on white.
LRESULT whitestatic(HDC dc);

// Sets a control's font.
void setfont(HWND w, HFONT font);

}  // namespace host
