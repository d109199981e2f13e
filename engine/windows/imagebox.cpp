// The image box object, its window thread and procedure, the tiles of a
// composite box and the DWM thumbnail of a thumbnail box.
#include "windows/imagebox.h"

#include <algorithm>
#include <utility>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

std::atomic<int32_t> bandthickness{3};

void memimage::release()
{
    if (dc) {
        if (original)
            SelectObject(dc, original);
        DeleteDC(dc);
    }
    if (bitmap)
        DeleteObject(bitmap);
    *this = memimage();
}

bool memimage::hold(HDC like, HBITMAP bmp, void* pixels)
{
    release();
    HDC mem = CreateCompatibleDC(like);
    if (!mem) {
        DeleteObject(bmp);
        return false;
    }
    dc = mem;
    bitmap = bmp;
    bits = pixels;
    original = SelectObject(mem, bmp);
    return true;
}

dwmthumbapi& dwmthumbs()
{
    // Resolved once; where the calls are missing (or are stubs that would
    // crash when imported) the entries stay null.
    static dwmthumbapi api = [] {
        dwmthumbapi a = {};
        if (HMODULE m = LoadLibraryW(L"dwmapi.dll")) {
            a.registerthumb = reinterpret_cast<decltype(a.registerthumb)>(
                reinterpret_cast<void*>(GetProcAddress(m, "DwmRegisterThumbnail")));
            a.unregisterthumb = reinterpret_cast<decltype(a.unregisterthumb)>(
                reinterpret_cast<void*>(GetProcAddress(m, "DwmUnregisterThumbnail")));
            a.update = reinterpret_cast<decltype(a.update)>(
                reinterpret_cast<void*>(GetProcAddress(m, "DwmUpdateThumbnailProperties")));
            a.querysize = reinterpret_cast<decltype(a.querysize)>(
                reinterpret_cast<void*>(GetProcAddress(m, "DwmQueryThumbnailSourceSize")));
        }
        return a;
    }();
    return api;
}

imagebox::~imagebox()
{
    if (HWND w = window)
        SendMessageW(w, WM_CLOSE, 0, 0);
    thread.join();
    std::lock_guard<std::recursive_mutex> guard(lock);
    image.release();
    capture.release();
    if (captionfont)
        DeleteObject(captionfont);
    if (brush)
        DeleteObject(brush);
}

void imagebox::dropmemdc()
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    image.release();
}

unsigned __stdcall imagebox::imagebox_threadentry(void* self)
{
    static_cast<imagebox*>(self)->imagebox_wndthread();
    return 0;
}

void imagebox::imagebox_wndthread()
{
    if (!brush) {
        brush = CreateSolidBrush(0);
        backcolour = 0;
    }
    // The class outlives any one box's brush; each box erases with its own.
    registerboxclass(L"quorvel.imagebox", boxthunk<imagebox, &imagebox::imagebox_proc>,
                     static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    const DWORD style = kind == imgthumbnail ? WS_CAPTION | WS_THICKFRAME : WS_CAPTION;
    HWND w = CreateWindowExW(WS_EX_LAYERED | WS_EX_STATICEDGE, L"quorvel.imagebox", L"Quorvel - ImageBox", style,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hWndp, nullptr,
                             GetModuleHandleW(nullptr), this);
    window = w;
    if (!w) {
        readyevent.set();
        return;
    }
    boxtofront(w);
    UpdateWindow(w);
    ShowWindow(w, SW_SHOW);
    // The first paint sets the event; a window with nothing to paint must
    // not keep the script waiting either.
    UpdateWindow(w);
    readyevent.set();
    boxmessageloop();
}

void imagebox::paint(HDC dc)
{
    RECT rc = {};
    GetClientRect(WindowFromDC(dc), &rc);
    std::lock_guard<std::recursive_mutex> guard(lock);
    switch (kind) {
    case imgthumbnail:
    case imgsnapshot:
        if (capture.dc)
            BitBlt(dc, 0, 0, sourcerect.right, sourcerect.bottom, capture.dc, 0, 0, SRCCOPY);
        break;
    case imgbitmap:
    case imgfile: {
        if (!image.dc)
            break;
        const int32_t w = rc.right, h = rc.bottom;
        if (w >= imagewidth && h >= imageheight) {
            BitBlt(dc, (w >> 1) - (imagewidth >> 1), (h >> 1) - (imageheight >> 1), imagewidth, imageheight,
                   image.dc, 0, 0, SRCCOPY);
        } else {
            SetStretchBltMode(dc, HALFTONE);
            SetBrushOrgEx(dc, 0, 0, nullptr);
            StretchBlt(dc, 0, 0, w, h, image.dc, 0, 0, imagewidth, imageheight, SRCCOPY);
        }
        break;
    }
    case imgparent:
        for (const imgchild& c : children) {
            std::lock_guard<std::recursive_mutex> tileguard(c.tile->lock);
            if (c.tile->image.dc)
                BitBlt(dc, c.x, c.y, c.tile->imagewidth, c.tile->imageheight, c.tile->image.dc, 0, 0, SRCCOPY);
        }
        break;
    default:
        break;
    }
}

LRESULT imagebox::imagebox_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (boxforward(owner->scriptwnd, msg, wp, lp))
        return 0;
    switch (msg) {
    case WM_CREATE:
        SetLayeredWindowAttributes(w, 0, 255, LWA_ALPHA);
        // The script thread waits for this window meanwhile: the engine's
        // monitor table is free to fill.
        owner->cursormonitorrect(&monitor);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        if (kind == imgthumbnail && thumbnail)
            imagebox_thumbnail(2, 0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        paint(dc);
        EndPaint(w, &ps);
        readyevent.set();
        return 0;
    }
    case WM_ERASEBKGND: {
        RECT rc;
        GetClientRect(w, &rc);
        std::lock_guard<std::recursive_mutex> guard(lock);
        if (brush)
            FillRect(reinterpret_cast<HDC>(wp), &rc, brush);
        return 1;
    }
    case WM_CLOSE: {
        imagebox_thumbnail(0, 0);
        {
            std::lock_guard<std::recursive_mutex> guard(lock);
            if (kind == imgthumbnail || kind == imgsnapshot)
                capture.release();
            else if (kind == imgbitmap || kind == imgfile)
                image.release();
        }
        DestroyWindow(w);  // the caption goes with it, and its timer
        captionwindow = nullptr;
        captiontimer = 0;
        if (captionfont)
            DeleteObject(captionfont);
        captionfont = nullptr;
        {
            std::lock_guard<std::recursive_mutex> guard(lock);
            if (brush)
                DeleteObject(brush);
            brush = nullptr;
        }
        window = nullptr;
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        if (captionwindow && reinterpret_cast<HWND>(lp) == captionwindow) {
            SetTextColor(reinterpret_cast<HDC>(wp), 0xFFFFFF);
            SetBkColor(reinterpret_cast<HDC>(wp), backcolour);
        }
        return reinterpret_cast<LRESULT>(brush);
    case WM_TIMER:
        if (wp == imgcaptiontimer) {
            KillTimer(w, imgcaptiontimer);
            captiontimer = 0;
            if (captionwindow)
                ShowWindow(captionwindow, SW_HIDE);
            return 0;
        }
        break;
    case WM_USER:
        break;
    default:
        return DefWindowProcW(w, msg, wp, lp);
    }
    if (msg != WM_USER)
        return DefWindowProcW(w, msg, wp, lp);

    switch (wp) {
    case imgmakecaption: {
        // A new caption replaces the one before.
        if (captionwindow)
            DestroyWindow(captionwindow);
        if (captionfont)
            DeleteObject(captionfont);
        captionfont = nullptr;
        captionwindow = CreateWindowExW(WS_EX_LAYERED, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 10,
                                        10, captionwidth, captionheight, w, nullptr, GetModuleHandleW(nullptr),
                                        nullptr);
        if (!captionwindow) {
            if (owner->logon == 1)
                owner->boxlog(L"CreateWindow error.\n");
            return 0;
        }
        captionfont = boxfont(nullptr, captionfontheight, 700);
        SendMessageW(captionwindow, WM_SETFONT, reinterpret_cast<WPARAM>(captionfont), TRUE);
        SetLayeredWindowAttributes(captionwindow, 0, 0, LWA_COLORKEY);
        return 0;
    }
    case imgshowcaption: {
        if (!captionwindow)
            return 0;
        std::wstring text;
        {
            std::lock_guard<std::mutex> guard(owner->imgcaptionlock);
            text = owner->imgcaptiontext;
        }
        SetWindowTextW(captionwindow, text.c_str());
        UpdateWindow(captionwindow);
        ShowWindow(captionwindow, SW_SHOW);
        if (captiontimer)
            KillTimer(w, imgcaptiontimer);
        SetTimer(w, imgcaptiontimer, captionms(captionseconds), nullptr);
        captiontimer = 1;
        return 0;
    }
    case imgreplace:
    case imgreplacesnap: {
        memimage& fresh = *reinterpret_cast<memimage*>(lp);
        swapin(fresh, wp == imgreplacesnap);
        return 1;
    }
    case imgnewbrush: {
        HBRUSH old;
        {
            std::lock_guard<std::recursive_mutex> guard(lock);
            old = std::exchange(brush, reinterpret_cast<HBRUSH>(lp));
        }
        if (old)
            DeleteObject(old);
        return 1;
    }
    default:
        return 0;
    }
}

namespace {

// A request the box's window thread carries out, when the box has a window of
// another thread; false when it has none (or it went meanwhile).
bool onwindowthread(HWND w, WPARAM what, LPARAM lp)
{
    if (!w || GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId())
        return false;
    return SendMessageW(w, WM_USER, what, lp) == 1;
}

}  // namespace

void imagebox::replaceimage(memimage& fresh, bool snapshot)
{
    if (onwindowthread(window, snapshot ? imgreplacesnap : imgreplace, reinterpret_cast<LPARAM>(&fresh)))
        return;
    // No window paints it (a tile is painted by its parent's, under this lock).
    swapin(fresh, snapshot);
}

void imagebox::swapin(memimage& fresh, bool snapshot)
{
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        std::swap(snapshot ? capture : image, fresh);
        if (!snapshot) {
            imagewidth = image.width;
            imageheight = image.height;
        }
    }
    fresh.release();
}

void imagebox::replacebrush(HBRUSH fresh)
{
    if (onwindowthread(window, imgnewbrush, reinterpret_cast<LPARAM>(fresh)))
        return;
    HBRUSH old;
    {
        std::lock_guard<std::recursive_mutex> guard(lock);
        old = std::exchange(brush, fresh);
    }
    if (old)
        DeleteObject(old);
}

HRESULT imagebox::imagebox_thumbnail(int32_t op, int32_t arg)
{
    const dwmthumbapi& api = dwmthumbs();
    HWND w = window;
    const auto fit = [&](HTHUMBNAIL t) -> HRESULT {
        if (!api.update)
            return E_NOTIMPL;
        DWM_THUMBNAIL_PROPERTIES p = {};
        p.dwFlags = DWM_TNP_RECTDESTINATION | DWM_TNP_VISIBLE | DWM_TNP_SOURCECLIENTAREAONLY;
        GetClientRect(w, &p.rcDestination);
        p.opacity = 255;
        p.fVisible = TRUE;
        p.fSourceClientAreaOnly = FALSE;
        return api.update(t, &p);
    };
    switch (op) {
    case 1: {
        if (!api.registerthumb)
            return E_NOTIMPL;
        HTHUMBNAIL t = nullptr;
        const HRESULT hr = api.registerthumb(w, source, &t);
        if (FAILED(hr))
            return hr;
        if (HTHUMBNAIL old = thumbnail.exchange(t); old && api.unregisterthumb)
            api.unregisterthumb(old);
        SIZE size = {};
        if (api.querysize)
            api.querysize(t, &size);
        const SIZE frame = boxframe(w);
        RECT at = {};
        GetWindowRect(source, &at);
        SetWindowPos(w, nullptr, at.left, at.top, size.cx + frame.cx, size.cy + frame.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE | (arg != 1 ? SWP_NOMOVE : 0));
        return fit(t);
    }
    case 2:
        if (HTHUMBNAIL t = thumbnail)
            return fit(t);
        return S_FALSE;
    case 3:
        if (HTHUMBNAIL t = thumbnail) {
            if (!api.update)
                return E_NOTIMPL;
            DWM_THUMBNAIL_PROPERTIES p = {};
            p.dwFlags = DWM_TNP_VISIBLE;
            p.fVisible = arg ? TRUE : FALSE;
            return api.update(t, &p);
        }
        return S_FALSE;
    default:
        if (HTHUMBNAIL t = thumbnail.exchange(nullptr); t && api.unregisterthumb)
            return api.unregisterthumb(t);
        return S_FALSE;
    }
}

void imagebox_setchildpos(imagebox* tile, int32_t x, int32_t y)
{
    imagebox* parent = tile->parent;
    if (!parent)
        return;
    std::lock_guard<std::recursive_mutex> guard(parent->lock);
    auto& list = parent->children;
    const auto at = std::find_if(list.begin(), list.end(), [&](const imgchild& c) { return c.tile == tile; });
    if (at != list.end()) {
        at->x = x;
        at->y = y;
        return;
    }
    if (list.size() == list.capacity())
        list.reserve(list.empty() ? 1 : list.size() * 2);
    list.push_back(imgchild{tile, x, y});
}
