// The DrawBox object, its item list, its window thread and its window procedure.
#include "windows/drawbox.h"

#include <cwchar>

#include "runtime/exescr.h"
#include "runtime/owners.h"
#include "runtime/quorvelcore.h"

using owners::releaseinto;

namespace {

constexpr WPARAM drawstylemsg = 11;

}  // namespace

int32_t drawbox_additem(DrawBox& box)
{
    box.items.emplace_back();
    return static_cast<int32_t>(box.items.size()) - 1;
}

int32_t drawbox_addsegment(DrawBox& box, int32_t item)
{
    std::vector<pathsegment>& segs = box.items[static_cast<size_t>(item)].segments;
    segs.emplace_back();
    return static_cast<int32_t>(segs.size()) - 1;
}

void drawbox_freeitems(DrawBox& box)
{
    for (drawitem& it : box.items) {
        releaseinto(it.bitmap);
        drawbox_dropkept(it);
    }
    box.items.clear();
    box.items.shrink_to_fit();
}

void drawbox_dropkept(drawitem& it)
{
    releaseinto(it.geometry);
    releaseinto(it.format);
    releaseinto(it.layout);
}

void drawbox_copyface(wchar_t* to, const wchar_t* from)
{
    wcsncpy(to, from, drawfacemax - 1);
    to[drawfacemax - 1] = 0;
}

DrawBox::~DrawBox()
{
    if (HWND w = window)
        SendMessageW(w, WM_CLOSE, 0, 0);
    thread.join();
    std::lock_guard<std::recursive_mutex> guard(lock);
    drawbox_freeitems(*this);
    if (backbrush)
        DeleteObject(backbrush);
    backbrush = nullptr;
    releaseresources();
}

void DrawBox::releaseresources()
{
    releaseinto(picture);
    redraw = true;
    releaseinto(target);
    releaseinto(dwrite);
    releaseinto(d2d);
    releaseinto(wic);
}

unsigned __stdcall DrawBox::drawbox_threadentry(void* self)
{
    static_cast<DrawBox*>(self)->drawbox_wndthread();
    return 0;
}

void DrawBox::drawbox_wndthread()
{
    // The class keeps the stock white brush: it outlives any one box's, and
    // every box erases with its own.
    registerboxclass(L"quorvel.drawbox", boxthunk<DrawBox, &DrawBox::drawbox_wndproc>);
    // The fatal errors of this thread end the run on the script thread.
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        owner->boxfatal(L"CoInitialize error.");
        ready.set();
        return;
    }
    HWND w = CreateWindowExW(WS_EX_LAYERED, L"quorvel.drawbox", L"Quorvel - DrawBox", windowstyle, x, y, width,
                             height, hWndp, nullptr, GetModuleHandleW(nullptr), this);
    window = w;
    ready.set();  // made or not: the opening script thread goes on
    if (w) {
        ShowWindow(w, SW_SHOW);
        UpdateWindow(w);
        boxmessageloop();
    }
    CoUninitialize();
}

LRESULT DrawBox::drawbox_wndproc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (boxforward(owner->scriptwnd, msg, wp, lp))
        return 0;
    switch (msg) {
    case WM_CREATE:
        SetLayeredWindowAttributes(w, 0, static_cast<BYTE>(alpha), LWA_ALPHA);
        if (!d2d) {
            if (const wchar_t* fatal = drawbox_createresources(w)) {
                // No window without its resources: the open ends the run.
                owner->boxfatal(fatal);
                return -1;
            }
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        if (target)
            target->Resize(D2D1::SizeU(LOWORD(lp), HIWORD(lp)));
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(w, &ps);
        const wchar_t* fatal = drawbox_render(w);
        EndPaint(w, &ps);
        if (fatal)
            owner->boxfatal(fatal);
        return 0;
    }
    case WM_ERASEBKGND:
        // While the picture is shown its paint clears the background.
        if (update == 0) {
            std::lock_guard<std::recursive_mutex> guard(lock);
            if (backbrush) {
                RECT rc;
                GetClientRect(w, &rc);
                FillRect(reinterpret_cast<HDC>(wp), &rc, backbrush);
            }
        }
        return 1;
    case WM_CLOSE: {
        {
            std::lock_guard<std::recursive_mutex> guard(lock);
            if (backbrush)
                DeleteObject(backbrush);
            backbrush = nullptr;
            drawbox_freeitems(*this);
        }
        releaseresources();
        DestroyWindow(w);
        window = nullptr;
        return 0;
    }
    case WM_USER:
        if (wp == drawstylemsg) {
            LONG_PTR s = GetWindowLongPtrW(w, GWL_STYLE);
            s = caption ? (s | WS_CAPTION) : (s & ~static_cast<LONG_PTR>(WS_CAPTION));
            SetWindowLongPtrW(w, GWL_STYLE, s);
            SetWindowPos(w, nullptr, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
        }
        return 0;
    default:
        return DefWindowProcW(w, msg, wp, lp);
    }
}
