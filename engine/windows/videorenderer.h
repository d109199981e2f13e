// The video renderers of the player: a Video Mixing Renderer filter in
// windowless mode, drawing into the player's own window. The player tries the
// VMR-9 first and falls back to the VMR-7; both stand behind one interface, and
// every operation but `addrenderer` is a harmless S_OK on a renderer that holds
// no windowless control (the media had no video), so the player may call them
// whether or not there is a picture.
#pragma once

#include <windows.h>

// The DirectShow headers without strsafe.h, which would forbid _snwprintf.
#ifndef NO_DSHOW_STRSAFE
#define NO_DSHOW_STRSAFE
#endif
#include <dshow.h>
#include <d3d9.h>
#include <vmr9.h>

#include <cstdint>

#include "runtime/owners.h"

// Which pin `findpin` looks for; the two travel as one 8-byte value, the
// connection flag in the low half.
struct pinwant {
    BOOL connected;
    PIN_DIRECTION direction;
};

// The first pin of `filter` in the wanted connection state and direction, with
// its reference, into `out`: S_OK; VFW_E_NOT_FOUND when there is none (or a pin
// cannot say its state); EnumPins' failure as it came.
HRESULT findpin(IBaseFilter* filter, pinwant want, IPin** out);

// Creates a filter of `clsid`, adds it to `graph` under `name` and hands it out
// with a reference of its own (null on failure).
HRESULT addgraphfilter(IGraphBuilder* graph, const CLSID& clsid, const wchar_t* name, IBaseFilter** out);

class BaseVideoRenderer {
public:
    BaseVideoRenderer() = default;
    virtual ~BaseVideoRenderer() = default;
    BaseVideoRenderer(const BaseVideoRenderer&) = delete;
    BaseVideoRenderer& operator=(const BaseVideoRenderer&) = delete;

    // True while the windowless control is held.
    virtual bool haswindowless() const = 0;
    // Creates the filter, adds it to `graph` and makes it draw windowless into
    // `window`; E_POINTER for a null graph. A filter that cannot be set up is
    // taken out of the graph again, so that no stream connects to it.
    virtual HRESULT addrenderer(IGraphBuilder* graph, HWND window) = 0;
    // After the source is rendered: without a connected input pin (no video
    // stream reached the filter) the filter leaves the graph and the control is
    // given back.
    virtual HRESULT finalizerenderer(IGraphBuilder* graph) = 0;
    // The video's place in `window`; a null `rect` stands for its whole client area.
    virtual HRESULT setvideorect(HWND window, const RECT* rect) = 0;
    virtual HRESULT repaintvideo(HWND window, HDC dc) = 0;
    virtual HRESULT displaychanged() = 0;
    virtual HRESULT setletterbox(int flag) = 0;
    virtual HRESULT getnativesize(LONG* width, LONG* height, LONG* aspectwidth, LONG* aspectheight) = 0;
    // Takes the filter out of `graph` and, when it left, gives back the
    // control; S_OK without a control.
    virtual HRESULT removerenderer(IGraphBuilder* graph) = 0;

    // The id the player registers the object under in its tracked-allocation
    // table (1406 a VMR-9, 1407 a VMR-7); 0 until it does.
    int32_t allocid = 0;
};

namespace videorenderers {

// What tells the two renderers apart besides their interfaces.
struct kind {
    const CLSID* clsid;
    const wchar_t* name;       // the filter's name in the graph
    const IID* configiid;
    const IID* controliid;
    bool letterboxanyflag;     // letter-box for any non-zero flag (else only for 1)
};

// One renderer over its configuration and windowless-control interfaces; the
// two interface families have the same methods.
template <class Config, class Control>
class vmr : public BaseVideoRenderer {
public:
    explicit vmr(const kind& k) : k_(k) {}

    bool haswindowless() const override { return control_.get() != nullptr; }

    HRESULT addrenderer(IGraphBuilder* graph, HWND window) override
    {
        if (!graph)
            return E_POINTER;
        owners::comptr<IBaseFilter> filter;
        HRESULT hr = addgraphfilter(graph, *k_.clsid, k_.name, filter.put());
        if (FAILED(hr))
            return hr;
        hr = initwindowless(filter.get(), window);
        if (FAILED(hr))
            graph->RemoveFilter(filter.get());
        return hr;
    }

    HRESULT finalizerenderer(IGraphBuilder* graph) override
    {
        if (!control_)
            return S_OK;
        if (!graph)
            return E_POINTER;
        owners::comptr<IBaseFilter> filter;
        HRESULT hr = control_->QueryInterface(IID_IBaseFilter, filter.putvoid());
        if (FAILED(hr))
            return hr;
        owners::comptr<IPin> pin;
        hr = findpin(filter.get(), pinwant{TRUE, PINDIR_INPUT}, pin.put());
        if (SUCCEEDED(hr))
            return hr;
        return leave(graph, filter.get());
    }

    HRESULT removerenderer(IGraphBuilder* graph) override
    {
        if (!control_)
            return S_OK;
        if (!graph)
            return E_POINTER;
        owners::comptr<IBaseFilter> filter;
        const HRESULT hr = control_->QueryInterface(IID_IBaseFilter, filter.putvoid());
        return FAILED(hr) ? hr : leave(graph, filter.get());
    }

    HRESULT setvideorect(HWND window, const RECT* rect) override
    {
        if (!control_)
            return S_OK;
        RECT client;
        if (!rect) {
            GetClientRect(window, &client);
            rect = &client;
        }
        RECT dest = *rect;
        return control_->SetVideoPosition(nullptr, &dest);
    }

    HRESULT repaintvideo(HWND window, HDC dc) override
    {
        return control_ ? control_->RepaintVideo(window, dc) : S_OK;
    }

    HRESULT displaychanged() override { return control_ ? control_->DisplayModeChanged() : S_OK; }

    HRESULT setletterbox(int flag) override
    {
        if (!control_)
            return S_OK;
        const bool on = k_.letterboxanyflag ? flag != 0 : flag == 1;
        return control_->SetAspectRatioMode(on ? 1 : 0);
    }

    HRESULT getnativesize(LONG* width, LONG* height, LONG* aspectwidth, LONG* aspectheight) override
    {
        return control_ ? control_->GetNativeVideoSize(width, height, aspectwidth, aspectheight) : S_OK;
    }

    // The windowless control, for callers that need more than the operations above.
    Control* windowless() const { return control_.get(); }

private:
    HRESULT leave(IGraphBuilder* graph, IBaseFilter* filter)
    {
        const HRESULT hr = graph->RemoveFilter(filter);
        if (SUCCEEDED(hr))
            control_.reset();
        return hr;
    }

    // Windowless mode, clipped to `window`, letter-boxed; the control is kept
    // only when every step succeeded.
    HRESULT initwindowless(IBaseFilter* filter, HWND window)
    {
        owners::comptr<Config> config;
        HRESULT hr = filter->QueryInterface(*k_.configiid, config.putvoid());
        if (FAILED(hr))
            return hr;
        hr = config->SetRenderingMode(2);
        if (FAILED(hr))
            return hr;
        owners::comptr<Control> wc;
        hr = filter->QueryInterface(*k_.controliid, wc.putvoid());
        if (FAILED(hr))
            return hr;
        hr = wc->SetVideoClippingWindow(window);
        if (FAILED(hr))
            return hr;
        hr = wc->SetAspectRatioMode(1);
        if (FAILED(hr))
            return hr;
        *control_.put() = wc.detach();
        return S_OK;
    }

    kind k_;
    owners::comptr<Control> control_;
};

extern const kind vmr9kind;
extern const kind vmr7kind;

}  // namespace videorenderers

// Video Mixing Renderer 9: letter-box only for the flag 1.
class VMR9 final : public videorenderers::vmr<IVMRFilterConfig9, IVMRWindowlessControl9> {
public:
    VMR9() : vmr(videorenderers::vmr9kind) {}
};

// Video Mixing Renderer 7: letter-box for any non-zero flag.
class VMR7 final : public videorenderers::vmr<IVMRFilterConfig, IVMRWindowlessControl> {
public:
    VMR7() : vmr(videorenderers::vmr7kind) {}
};
