// The video player behind "dshow": the filter graph and its interfaces, the
// choice of the video renderer, the rendering of a source, and the video
// window on a thread of its own (sizing, painting, the frame toggle, a timed
// caption, a self-hiding cursor, keys and clicks handed to the script).
#include "windows/videorenderer.h"

#include <algorithm>
#include <ctime>

#include "runtime/exescr.h"
#include "runtime/owners.h"
#include "runtime/quorvelcore.h"

using owners::releaseinto;

namespace {

constexpr UINT_PTR captiontimerid = 205;
constexpr UINT_PTR cursortimerid = 206;
constexpr UINT cursorhidems = 3000;

HBRUSH blackbrush()
{
    if (!g_stock_black)
        g_stock_black = GetStockObject(BLACK_BRUSH);
    return static_cast<HBRUSH>(g_stock_black);
}

// Shows the cursor again when this window hid it.
void cursorback(int32_t& shown)
{
    if (shown != 0)
        return;
    while (ShowCursor(TRUE) < 0) {
    }
    shown = 1;
}

void fillblack(HWND hwnd, HDC dc)
{
    RECT rc;
    GetClientRect(hwnd, &rc);
    FillRect(dc, &rc, blackbrush());
}

}  // namespace

// ---- the graph (script thread)

HRESULT ExeScr::dshow_creategraph()
{
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  reinterpret_cast<void**>(&graph));
    if (FAILED(hr)) {
        if (logon)
            mylogmsg(L"FAILED(hr=0x%x) in CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, "
                     L"IID_IGraphBuilder, (void **)&pGraph)\n",
                     static_cast<unsigned>(hr));
        return hr;
    }
    const struct {
        const IID* iid;
        void** out;
        const wchar_t* what;
    } steps[] = {
        {&IID_IMediaControl, reinterpret_cast<void**>(&control), L"IID_IMediaControl, (void **)&pControl"},
        {&IID_IMediaPosition, reinterpret_cast<void**>(&position), L"IID_IMediaPosition, (void **)&pMediaPos"},
        {&IID_IBasicAudio, reinterpret_cast<void**>(&audio), L"IID_IBasicAudio, (void **)&pBasicAudio"},
    };
    for (const auto& s : steps) {
        hr = graph->QueryInterface(*s.iid, s.out);
        if (FAILED(hr)) {
            if (logon)
                mylogmsg(L"FAILED(hr=0x%x) in pGraph->QueryInterface(%s)\n", static_cast<unsigned>(hr), s.what);
            return hr;
        }
    }
    return S_OK;
}

HRESULT ExeScr::tryvideorenderer(BaseVideoRenderer* r, int32_t id)
{
    renderer = r;
    r->allocid = id;
    allocs.push_back(memrec{r, 0, id});
    const HRESULT hr = r->addrenderer(graph, dshowwnd);
    if (FAILED(hr))
        dropvideorenderer();
    return hr;
}

HRESULT ExeScr::choosevideorenderer()
{
    const HRESULT hr = tryvideorenderer(new VMR9, 1406);
    if (SUCCEEDED(hr))
        return hr;
    return tryvideorenderer(new VMR7, 1407);
}

void ExeScr::dropvideorenderer()
{
    if (!renderer)
        return;
    if (renderer->allocid < untrackedid)
        memunreg(renderer, renderer->allocid);
    delete renderer;
    renderer = nullptr;
}

HRESULT ExeScr::addfilterbyclsid(IGraphBuilder* g, const CLSID& clsid, IBaseFilter** out, const wchar_t* name)
{
    return addgraphfilter(g, clsid, name, out);
}

HRESULT ExeScr::rendersource(IBaseFilter* source)
{
    owners::comptr<IFilterGraph2> g2;
    HRESULT hr = graph->QueryInterface(IID_IFilterGraph2, g2.putvoid());
    if (FAILED(hr))
        return hr;
    HRESULT first = S_OK;
    const auto note = [&first](HRESULT h) {
        if (FAILED(h) && SUCCEEDED(first))
            first = h;
    };
    // The streams go only to these two, so that nothing opens a window of its own.
    note(choosevideorenderer());
    owners::comptr<IBaseFilter> sound;
    note(addfilterbyclsid(graph, CLSID_DSoundRender, sound.put(), L"Audio Renderer"));
    bool rendered = false;
    owners::comptr<IEnumPins> pins;
    hr = source->EnumPins(pins.put());
    note(hr);
    if (SUCCEEDED(hr)) {
        owners::comptr<IPin> pin;
        while (pins->Next(1, pin.put(), nullptr) == S_OK)
            if (SUCCEEDED(g2->RenderEx(pin.get(), AM_RENDEREX_RENDERTOEXISTINGRENDERERS, nullptr)))
                rendered = true;
    }
    if (renderer)
        note(renderer->finalizerenderer(graph));
    if (FAILED(first))
        return first;
    return rendered ? S_OK : VFW_E_CANNOT_RENDER;
}

int ExeScr::sizevideowindow(HWND w)
{
    if (!renderer || !renderer->haswindowless())
        return 0;
    RECT mon;
    cursormonitorrect(&mon);  // {centre x, centre y, width, height}
    renderer->setletterbox(letterbox);
    LONG width = 0, height = 0, aspectwidth = 0, aspectheight = 0;
    if (FAILED(renderer->getnativesize(&width, &height, &aspectwidth, &aspectheight)))
        return 1;
    dshowwidth = width;
    dshowheight = height;
    const SIZE frame = boxframe(w);
    const int32_t ww = std::min<int32_t>(width + frame.cx, mon.right);
    const int32_t wh = std::min<int32_t>(height + frame.cy, mon.bottom);
    MoveWindow(w, mon.left - (ww >> 1), mon.top - (wh >> 1), ww, wh, TRUE);
    return 1;
}

void ExeScr::dshow_teardown()
{
    releaseinto(audio);
    releaseinto(position);
    releaseinto(control);
    releaseinto(graph);
    dropvideorenderer();
}

HRESULT ExeScr::dshow_enumfilters()
{
    if (!graph)
        return E_FAIL;
    owners::comptr<IEnumFilters> filters;
    HRESULT hr = graph->EnumFilters(filters.put());
    if (FAILED(hr))
        return hr;
    owners::comptr<IBaseFilter> f;
    while (filters->Next(1, f.put(), nullptr) == S_OK) {
        FILTER_INFO info = {};
        if (SUCCEEDED(f->QueryFilterInfo(&info))) {
            if (logon)
                mylogmsg(L"%s\n", info.achName);
            if (info.pGraph)
                info.pGraph->Release();
        } else if (logon) {
            mylogmsg(L"Could not get the filter info");
        }
    }
    return S_OK;
}

// ---- the video window (its own thread)

unsigned __stdcall ExeScr::dshow_threadentry(void* self)
{
    static_cast<ExeScr*>(self)->dshow_wndthread();
    return 0;
}

LRESULT CALLBACK ExeScr::dshow_wndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return boxthunk<ExeScr, &ExeScr::dshow_proc>(hwnd, msg, wp, lp);
}

void ExeScr::dshow_wndthread()
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        // Ends the run on the script thread, as its wait for the window ends.
        boxfatal(L"CoInitialize error.");
        readyevent.set();
        return;
    }
    registerboxclass(L"quorvel.dshow", dshow_wndproc, blackbrush(), CS_DBLCLKS);
    wchar_t title[160];
    _snwprintf(title, 160, L"%s: %s", L"Quorvel - Video", medianame);
    title[159] = 0;
    // Hidden until the script thread has sized it to a video.
    HWND w = CreateWindowExW(0, L"quorvel.dshow", title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hWndp, nullptr, GetModuleHandleW(nullptr),
                             this);
    dshowwnd = w;
    readyevent.set();
    if (w)
        boxmessageloop();
    CoUninitialize();
}

LRESULT ExeScr::dshow_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (boxforward(scriptwnd, msg, wp, lp))
        return 0;
    switch (msg) {
    case WM_CREATE:
        dsmmtime = _time64(nullptr);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        if (renderer) {
            const RECT r = {0, 0, LOWORD(lp), HIWORD(lp)};
            renderer->setvideorect(hwnd, &r);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (renderer) {
            fillblack(hwnd, dc);
            renderer->repaintvideo(hwnd, dc);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        fillblack(hwnd, reinterpret_cast<HDC>(wp));
        return 1;
    case WM_CLOSE: {
        dshow_dropcaption();
        // The timers and the mouse notice die with the window; the cursor
        // this window hid comes back.
        captiontimer = 0;
        cursortimer = 0;
        tracking = 0;
        cursorback(cursorshown);
        DestroyWindow(hwnd);
        HWND self = hwnd;
        dshowwnd.compare_exchange_strong(self, nullptr);
        return 0;
    }
    case WM_LBUTTONDBLCLK:
        dshow_setframe(hwnd, framed == 0);
        return 0;
    case WM_MOUSEMOVE:
        dshow_mousemove(hwnd, lp);
        return 0;
    case WM_MOUSELEAVE:
        tracking = 0;
        if (cursortimer) {
            KillTimer(hwnd, cursortimerid);
            cursortimer = 0;
        }
        return 0;
    case WM_TIMER:
        if (wp == captiontimerid) {
            KillTimer(hwnd, captiontimerid);
            captiontimer = 0;
            if (captionwindow)
                ShowWindow(captionwindow, SW_HIDE);
        } else if (wp == cursortimerid) {
            KillTimer(hwnd, cursortimerid);
            cursortimer = 0;
            while (ShowCursor(FALSE) >= 0) {
            }
            cursorshown = 0;
        }
        return 0;
    case WM_CTLCOLORSTATIC:
        if (captionwindow && reinterpret_cast<HWND>(lp) == captionwindow) {
            SetTextColor(reinterpret_cast<HDC>(wp), RGB(255, 255, 255));
            SetBkColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 0));
        }
        return reinterpret_cast<LRESULT>(blackbrush());
    case WM_USER:
        if (wp == 0)
            dshow_makecaption(hwnd);
        else if (wp == 1)
            dshow_showcaption(hwnd);
        else if (wp == 2)
            dshow_setframe(hwnd, lp == 1);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

void ExeScr::dshow_setframe(HWND hwnd, bool on)
{
    SetWindowLongPtrW(hwnd, GWL_STYLE, on ? WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS : WS_BORDER | WS_CLIPSIBLINGS);
    framed = on ? 1 : 0;
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

void ExeScr::dshow_mousemove(HWND hwnd, LPARAM lp)
{
    const int32_t x = static_cast<int16_t>(LOWORD(lp));
    const int32_t y = static_cast<int16_t>(HIWORD(lp));
    if (x == lastmousex && y == lastmousey)
        return;
    lastmousex = x;
    lastmousey = y;
    // The cursor goes 3 seconds after the mouse last moved over the video.
    if (cursortimer == 1)
        KillTimer(hwnd, cursortimerid);
    SetTimer(hwnd, cursortimerid, cursorhidems, nullptr);
    cursortimer = 1;
    if (tracking == 0) {
        TRACKMOUSEEVENT t = {sizeof t, TME_LEAVE, hwnd, 1};
        TrackMouseEvent(&t);
        tracking = 1;
    }
    cursorback(cursorshown);
    dsmmtime = _time64(nullptr);
}

void ExeScr::dshow_dropcaption()
{
    if (captionwindow)
        DestroyWindow(captionwindow);
    captionwindow = nullptr;
    if (captionfont)
        DeleteObject(captionfont);
    captionfont = nullptr;
}

void ExeScr::dshow_makecaption(HWND hwnd)
{
    // A new caption replaces the old one, window and font.
    dshow_dropcaption();
    HWND c = CreateWindowExW(WS_EX_LAYERED, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10,
                             captionwidth, captionheight, hwnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!c) {
        if (logon)
            boxlog(L"CreateWindow error.\n");
        return;
    }
    captionwindow = c;
    captionfont = boxfont(nullptr, captionfontheight, FW_BOLD);
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(captionfont), FALSE);
    // Black is see-through: only the white letters stand over the video.
    SetLayeredWindowAttributes(c, RGB(0, 0, 0), 0, LWA_COLORKEY);
}

void ExeScr::dshow_showcaption(HWND hwnd)
{
    if (!captionwindow)
        return;
    AcquireSRWLockShared(&captionlock);
    const std::wstring text = captiontext;
    const int32_t seconds = captionseconds;
    ReleaseSRWLockShared(&captionlock);
    SetWindowTextW(captionwindow, text.c_str());
    UpdateWindow(captionwindow);
    ShowWindow(captionwindow, SW_SHOW);
    if (captiontimer == 1)
        KillTimer(hwnd, captiontimerid);
    SetTimer(hwnd, captiontimerid, captionms(seconds), nullptr);
    captiontimer = 1;
}
