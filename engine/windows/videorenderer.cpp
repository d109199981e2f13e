// The video renderers and the DirectShow routines they share.
#include "windows/videorenderer.h"

namespace videorenderers {

const kind vmr9kind = {&CLSID_VideoMixingRenderer9, L"VMR-9", &IID_IVMRFilterConfig9, &IID_IVMRWindowlessControl9,
                       false};
const kind vmr7kind = {&CLSID_VideoMixingRenderer, L"VMR-7", &IID_IVMRFilterConfig, &IID_IVMRWindowlessControl,
                       true};

}  // namespace videorenderers

HRESULT findpin(IBaseFilter* filter, pinwant want, IPin** out)
{
    owners::comptr<IEnumPins> pins;
    HRESULT hr = filter->EnumPins(pins.put());
    if (FAILED(hr))
        return hr;
    for (;;) {
        owners::comptr<IPin> pin;
        if (pins->Next(1, pin.put(), nullptr) != S_OK)
            return VFW_E_NOT_FOUND;
        owners::comptr<IPin> peer;
        hr = pin->ConnectedTo(peer.put());
        bool connected;
        if (SUCCEEDED(hr))
            connected = true;
        else if (hr == VFW_E_NOT_CONNECTED)
            connected = false;
        else
            return VFW_E_NOT_FOUND;
        if (connected != (want.connected != FALSE))
            continue;
        PIN_DIRECTION dir;
        if (FAILED(pin->QueryDirection(&dir)))
            return VFW_E_NOT_FOUND;
        if (dir == want.direction) {
            *out = pin.detach();
            return S_OK;
        }
    }
}

HRESULT addgraphfilter(IGraphBuilder* graph, const CLSID& clsid, const wchar_t* name, IBaseFilter** out)
{
    *out = nullptr;
    owners::comptr<IBaseFilter> filter;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.putvoid());
    if (FAILED(hr))
        return hr;
    hr = graph->AddFilter(filter.get(), name);
    if (FAILED(hr))
        return hr;
    *out = filter.detach();
    return hr;
}
