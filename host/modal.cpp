#include "modal.h"

#include "hoststate.h"
#include "runtime/owners.h"

namespace host {

void regmodalclass(const wchar_t* cls, WNDPROC proc)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(hs().inst, cls, &wc))
        return;
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = proc;
    wc.hInstance = hs().inst;
    wc.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = cls;
    RegisterClassExW(&wc);
}

void runmodal(modalrun& run)
{
    MSG msg = {};
    int got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    const int code = got == 0 ? static_cast<int>(msg.wParam) : 0;
    if (!run.ended) {
        // The quit belongs to the main loop: the window goes, the quit stays.
        if (run.wnd && IsWindow(run.wnd))
            DestroyWindow(run.wnd);
        PostQuitMessage(code);
    } else if (!IsWindow(hs().main)) {
        // Both quits came at once: only one is kept in the queue.
        PostQuitMessage(code);
    }
    run.wnd = nullptr;
}

void endmodal(modalrun& run)
{
    run.ended = true;
    PostQuitMessage(0);
}

void openmodal(modalrun& run, DWORD exstyle, const wchar_t* cls, const wchar_t* title, HWND owner)
{
    hoststate& h = hs();
    EnableWindow(h.main, FALSE);
    run = modalrun{};
    run.wnd = CreateWindowExW(exstyle, cls, title, WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, h.inst, nullptr);
    if (!run.wnd) {
        EnableWindow(h.main, TRUE);
        return;
    }
    ShowWindow(run.wnd, SW_SHOW);
    UpdateWindow(run.wnd);
    runmodal(run);
}

bool modalmessage(modalrun& run, HWND hwnd, UINT msg, WPARAM wp, LRESULT& result)
{
    result = 0;
    switch (msg) {
    case WM_CTLCOLORSTATIC:
        result = whitestatic(reinterpret_cast<HDC>(wp));
        return true;
    case WM_CLOSE:
        EnableWindow(hs().main, TRUE);
        ShowWindow(hwnd, SW_HIDE);
        DestroyWindow(hwnd);
        return true;
    case WM_DESTROY:
        endmodal(run);
        return true;
    default:
        return false;
    }
}

void bringfront(HWND w)
{
    const BOOL ok = SetForegroundWindow(w);
    SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (ok)
        return;
    HWND fg = GetForegroundWindow();
    const DWORD other = fg ? GetWindowThreadProcessId(fg, nullptr) : 0;
    const DWORD self = GetCurrentThreadId();
    if (other && other != self) {
        AttachThreadInput(self, other, TRUE);
        SetForegroundWindow(w);
        AttachThreadInput(self, other, FALSE);
    } else {
        SetForegroundWindow(w);
    }
}

POINT rectcentre(const RECT& r)
{
    return POINT{r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 2};
}

void centrewindow(HWND w, POINT c)
{
    RECT r;
    GetWindowRect(w, &r);
    const int width = r.right - r.left, height = r.bottom - r.top;
    SetWindowPos(w, nullptr, c.x - width / 2, c.y - height / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE framesize(HWND w)
{
    RECT wr, cr;
    GetWindowRect(w, &wr);
    GetClientRect(w, &cr);
    return SIZE{(wr.right - wr.left) - cr.right, (wr.bottom - wr.top) - cr.bottom};
}

TEXTMETRICW fontmetrics(HWND w, HFONT font)
{
    TEXTMETRICW tm = {};
    GetTextMetricsW(owners::windowdc(w, font), &tm);
    return tm;
}

int textwidth(HWND w, HFONT font, const wchar_t* text)
{
    SIZE sz = {};
    GetTextExtentPoint32W(owners::windowdc(w, font), text, static_cast<int>(wcslen(text)), &sz);
    return sz.cx;
}

LRESULT whitestatic(HDC dc)
{
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkColor(dc, RGB(255, 255, 255));
    return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
}

void setfont(HWND w, HFONT font)
{
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

}  // namespace host
