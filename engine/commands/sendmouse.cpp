// Mouse input injected into the system's input stream, as the clicking
// commands need it.
#include "runtime/exescr.h"

void ExeScr::sendmouse(uint32_t x, uint32_t y, uint32_t action)
{
    INPUT in[2] = {};
    in[0].type = INPUT_MOUSE;
    in[1].type = INPUT_MOUSE;
    if (action == 0) {
        // The table is filled when a run starts; a monitor of one pixel (or
        // none read yet) must not divide by zero.
        if (monitors[0].right - monitors[0].left < 2 || monitors[0].bottom - monitors[0].top < 2)
            enummonitors();
        const int32_t w = monitors[0].right - monitors[0].left;
        const int32_t h = monitors[0].bottom - monitors[0].top;
        in[0].mi.dx = static_cast<int32_t>(x) * 65535 / (w > 1 ? w - 1 : 1);
        in[0].mi.dy = static_cast<int32_t>(y) * 65535 / (h > 1 ? h - 1 : 1);
        in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, in, sizeof(INPUT));
        return;
    }
    UINT n = 1;
    switch (action) {
    case 1:
        in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        n = 2;
        break;
    case 2:
        in[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
        in[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
        n = 2;
        break;
    case 3: in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN; break;
    case 4: in[0].mi.dwFlags = MOUSEEVENTF_LEFTUP; break;
    case 5: in[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN; break;
    default: in[0].mi.dwFlags = MOUSEEVENTF_RIGHTUP; break;
    }
    SendInput(n, in, sizeof(INPUT));
}
