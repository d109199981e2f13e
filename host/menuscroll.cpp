#include "menuscroll.h"

#include "modal.h"

namespace host {

void menuscroll::onsize(HWND hwnd, int clientheight)
{
    if (setup || clientheight <= 0 || content <= clientheight)
        return;
    setup = true;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE;
    si.nMin = 0;
    si.nMax = content / row - 1;
    si.nPage = static_cast<UINT>(clientheight / row);
    SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
    RECT r;
    GetWindowRect(hwnd, &r);
    const SIZE frame = framesize(hwnd);
    SetWindowPos(hwnd, nullptr, 0, 0, frame.cx + width, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    centrewindow(hwnd, centre);
}

void menuscroll::onvscroll(HWND hwnd, int code)
{
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(hwnd, SB_VERT, &si);
    const int old = si.nPos;
    int pos = old;
    switch (code) {
    case SB_LINEUP: pos -= 1; break;
    case SB_LINEDOWN: pos += 1; break;
    case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
    case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
    case SB_THUMBTRACK: pos = si.nTrackPos; break;
    case SB_TOP: pos = si.nMin; break;
    case SB_BOTTOM: pos = si.nMax; break;
    default: return;
    }
    si.fMask = SIF_POS;
    si.nPos = pos;
    SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
    GetScrollInfo(hwnd, SB_VERT, &si);
    if (si.nPos != old) {
        ScrollWindow(hwnd, 0, (old - si.nPos) * row, nullptr, nullptr);
        UpdateWindow(hwnd);
    }
}

}  // namespace host
