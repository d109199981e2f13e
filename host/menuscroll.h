// The vertical scrolling by rows of a window taller than its monitor (the
// Launch Menu and the Enroll Script window).
#pragma once

#include <windows.h>

namespace host {

struct menuscroll {
    int row = 1;      // pixels per scroll step
    int content = 0;  // full height of the rows
    int width = 0;    // client width the rows need
    POINT centre{};   // where the window is centred again
    bool setup = false;

    // WM_SIZE: the first time the rows are taller than the client area, the
    // window gets its scroll bar, is widened by it and centred again.
    void onsize(HWND hwnd, int clientheight);
    void onvscroll(HWND hwnd, int code);
};

}  // namespace host
