// DrawBox rendering: the device resources and the painting of every item.
#include "windows/drawbox.h"

#include <d2d1helper.h>

#include "runtime/owners.h"

using owners::comptr;
using owners::releaseinto;

namespace {

D2D1_COLOR_F colourof(const float* c) { return D2D1::ColorF(c[0], c[1], c[2], c[3]); }

// A solid brush, or none when it cannot be made.
void solidbrush(ID2D1RenderTarget* rt, const float* c, comptr<ID2D1SolidColorBrush>& out)
{
    if (FAILED(rt->CreateSolidColorBrush(colourof(c), out.put())))
        out.reset();
}

// The fill of an ellipse, a plain rectangle or a path: a radial gradient, a
// linear one, the solid colour, or none; a gradient that cannot be made is no
// fill.
void fillbrush(ID2D1RenderTarget* rt, const drawitem& it, comptr<ID2D1Brush>& out)
{
    out.reset();
    const bool radial = (it.gradient & gradradial) == gradradial;
    const bool linear = (it.gradient & gradlinear) == gradlinear;
    if (radial || linear) {
        const D2D1_GRADIENT_STOP stops[2] = {{0.0f, colourof(it.stop0)}, {1.0f, colourof(it.stop1)}};
        comptr<ID2D1GradientStopCollection> coll;
        if (FAILED(rt->CreateGradientStopCollection(stops, 2, D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP, coll.put())))
            return;
        if (radial) {
            comptr<ID2D1RadialGradientBrush> b;
            if (SUCCEEDED(rt->CreateRadialGradientBrush(
                    D2D1::RadialGradientBrushProperties(D2D1::Point2F(it.g0x, it.g0y), D2D1::Point2F(it.g1x, it.g1y),
                                                        it.radiusx, it.radiusy),
                    coll.get(), b.put())))
                *out.put() = b.detach();
        } else {
            comptr<ID2D1LinearGradientBrush> b;
            if (SUCCEEDED(rt->CreateLinearGradientBrush(
                    D2D1::LinearGradientBrushProperties(D2D1::Point2F(it.g0x, it.g0y), D2D1::Point2F(it.g1x, it.g1y)),
                    coll.get(), b.put())))
                *out.put() = b.detach();
        }
        return;
    }
    if (it.solidfill == 1) {
        comptr<ID2D1SolidColorBrush> b;
        solidbrush(rt, it.fill, b);
        if (b)
            *out.put() = b.detach();
    }
}

// The item's bitmap from its file, through WIC; the fatal message of a failure.
const wchar_t* loadbitmap(IWICImagingFactory* wic, ID2D1RenderTarget* rt, drawitem& it)
{
    comptr<IWICBitmapDecoder> decoder;
    if (!wic || FAILED(wic->CreateDecoderFromFilename(it.text.c_str(), nullptr, GENERIC_READ,
                                                      WICDecodeMetadataCacheOnLoad, decoder.put())))
        return L"CreateDecoderFromFilename failed.";
    comptr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.put())))
        return L"GetFrame failed.";
    comptr<IWICFormatConverter> converter;
    if (FAILED(wic->CreateFormatConverter(converter.put())))
        return L"CreateFormatConverter failed.";
    if (FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeMedianCut)))
        return L"Initialize() failed.";
    if (FAILED(rt->CreateBitmapFromWicBitmap(converter.get(), nullptr, &it.bitmap))) {
        it.bitmap = nullptr;
        return L"CreateBitmapFromWicBitmap() failed.";
    }
    return nullptr;
}

// A closed path's geometry; the fatal message of a failure.
const wchar_t* pathgeometry(ID2D1Factory* d2d, const drawitem& it, comptr<ID2D1PathGeometry>& geo)
{
    if (!d2d || FAILED(d2d->CreatePathGeometry(geo.put())))
        return L"CreatePathGeometry() failed.";
    comptr<ID2D1GeometrySink> sink;
    if (FAILED(geo->Open(sink.put())))
        return L"ID2D1GeometrySink open failed.";
    for (const pathsegment& s : it.segments) {
        switch (s.kind) {
        case 0:
            sink->BeginFigure(D2D1::Point2F(s.pt[0], s.pt[1]), static_cast<D2D1_FIGURE_BEGIN>(it.figurebegin));
            break;
        case 1: sink->AddLine(D2D1::Point2F(s.pt[0], s.pt[1])); break;
        case 2:
            sink->AddBezier(D2D1::BezierSegment(D2D1::Point2F(s.pt[0], s.pt[1]), D2D1::Point2F(s.pt[2], s.pt[3]),
                                                D2D1::Point2F(s.pt[4], s.pt[5])));
            break;
        default: break;
        }
    }
    sink->EndFigure(static_cast<D2D1_FIGURE_END>(it.figureend));
    sink->Close();
    return nullptr;
}

// The text's layout, made from its kept format (made first when there is
// none) for a client `width` wide; the fatal message of a failure. A layout
// that cannot be made for that width (one left of the text's start) draws
// nothing.
const wchar_t* textlayout(IDWriteFactory* dwrite, drawitem& it, float width)
{
    if (it.layout && it.layoutwidth == width)
        return nullptr;
    releaseinto(it.layout);
    if (!it.format &&
        (!dwrite || FAILED(dwrite->CreateTextFormat(it.family, nullptr, static_cast<DWRITE_FONT_WEIGHT>(it.weight),
                                                    static_cast<DWRITE_FONT_STYLE>(it.style),
                                                    static_cast<DWRITE_FONT_STRETCH>(it.stretch),
                                                    static_cast<float>(it.size), L"", &it.format)))) {
        it.format = nullptr;
        return L"CreateTextFormat() failed.";
    }
    // The box from the text's top-left corner to the client's right edge, two
    // font sizes high, as the text is drawn into.
    if (FAILED(dwrite->CreateTextLayout(it.text.c_str(), static_cast<UINT32>(it.text.size()), it.format,
                                        width - it.p0x, 2.0f * static_cast<float>(it.size), &it.layout)))
        it.layout = nullptr;
    it.layoutwidth = width;
    return nullptr;
}

}  // namespace

const wchar_t* DrawBox::drawbox_createresources(HWND hwnd)
{
    if (!wic && FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IWICImagingFactory, reinterpret_cast<void**>(&wic)))) {
        wic = nullptr;
        return L"CoCreateInstance() failed.";
    }
    if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                                 reinterpret_cast<void**>(&d2d)))) {
        d2d = nullptr;
        return L"D2D1CreateFactory() failed.";
    }
    if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                   reinterpret_cast<IUnknown**>(&dwrite)))) {
        dwrite = nullptr;
        return L"D2D1CreateFactory() failed.";
    }
    if (!hwnd)
        return nullptr;
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    const D2D1_RENDER_TARGET_PROPERTIES props = {};
    if (FAILED(d2d->CreateHwndRenderTarget(
            props,
            D2D1::HwndRenderTargetProperties(hwnd, D2D1::SizeU(static_cast<UINT32>(rc.right),
                                                               static_cast<UINT32>(rc.bottom))),
            &target))) {
        target = nullptr;
        return L"CreateHwndRenderTarget() failed.";
    }
    return nullptr;
}

const wchar_t* DrawBox::drawbox_render(HWND hwnd)
{
    if (!target)
        return nullptr;
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    const auto clientwidth = static_cast<float>(rc.right);
    std::lock_guard<std::recursive_mutex> guard(lock);
    if (items.empty())
        return nullptr;  // not even the background: the erased window stays
    const D2D1_SIZE_U size = target->GetPixelSize();
    if (picture) {
        const D2D1_SIZE_U was = picture->GetPixelSize();
        if (was.width != size.width || was.height != size.height)
            redraw = true;
    }
    const wchar_t* fatal = nullptr;
    if (!picture || redraw) {
        releaseinto(picture);
        // Drawn once into a bitmap of the target's size, and from there into
        // the window at every paint until something in it changes.
        comptr<ID2D1BitmapRenderTarget> off;
        if (FAILED(target->CreateCompatibleRenderTarget(off.put())))
            return drawbox_paint(target, clientwidth);
        fatal = drawbox_paint(off.get(), clientwidth);
        ++pictures;
        if (FAILED(off->GetBitmap(&picture)))
            picture = nullptr;
        redraw = fatal != nullptr;  // what failed is tried again
        if (!picture)
            return fatal;
    }
    target->BeginDraw();
    const D2D1_SIZE_F whole = target->GetSize();
    target->DrawBitmap(picture, D2D1::RectF(0.0f, 0.0f, whole.width, whole.height), 1.0f,
                       D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR, nullptr);
    target->EndDraw();
    return fatal;
}

const wchar_t* DrawBox::drawbox_paint(ID2D1RenderTarget* rt, float clientwidth)
{
    if (items.empty())
        return nullptr;  // not even the background: the erased window stays
    rt->BeginDraw();
    // Opaque: a render target that does not ignore the alpha (Wine's
    // premultiplies it) would clear a transparent colour to black.
    rt->Clear(D2D1::ColorF(GetRValue(backcolour) / 255.0f, GetGValue(backcolour) / 255.0f,
                           GetBValue(backcolour) / 255.0f, 1.0f));
    const wchar_t* fatal = nullptr;
    for (drawitem& it : items) {
        if (it.remake) {
            drawbox_dropkept(it);
            it.remake = false;
        }
        if (it.visible != 1)
            continue;
        comptr<ID2D1SolidColorBrush> pen;
        comptr<ID2D1Brush> fill;
        switch (it.kind) {
        case drawline:
            solidbrush(rt, it.colour, pen);
            if (pen)
                rt->DrawLine(D2D1::Point2F(it.p0x, it.p0y), D2D1::Point2F(it.p1x, it.p1y), pen.get(), it.stroke);
            break;
        case drawellipse: {
            solidbrush(rt, it.colour, pen);
            if (!pen)
                break;
            const D2D1_ELLIPSE e = D2D1::Ellipse(D2D1::Point2F(it.p0x, it.p0y), it.a, it.b);
            rt->DrawEllipse(e, pen.get(), it.stroke);
            fillbrush(rt, it, fill);
            if (fill)
                rt->FillEllipse(e, fill.get());
            break;
        }
        case drawrect: {
            solidbrush(rt, it.colour, pen);
            if (!pen)
                break;
            const D2D1_RECT_F r = D2D1::RectF(it.p0x, it.p0y, it.p1x, it.p1y);
            if (it.rounded == 0) {
                rt->DrawRectangle(r, pen.get(), it.stroke);
                fillbrush(rt, it, fill);
                if (fill)
                    rt->FillRectangle(r, fill.get());
            } else {
                // Rounded corners take the solid fill only.
                const D2D1_ROUNDED_RECT rr = D2D1::RoundedRect(r, 10.0f, 10.0f);
                rt->DrawRoundedRectangle(rr, pen.get(), it.stroke);
                if (it.solidfill == 1) {
                    comptr<ID2D1SolidColorBrush> solid;
                    solidbrush(rt, it.fill, solid);
                    if (solid)
                        rt->FillRoundedRectangle(rr, solid.get());
                }
            }
            break;
        }
        case drawpath: {
            if (it.closed != 1)
                break;
            solidbrush(rt, it.colour, pen);
            if (!pen)
                break;
            if (!it.geometry) {
                comptr<ID2D1PathGeometry> geo;
                if ((fatal = pathgeometry(d2d, it, geo)) != nullptr)
                    break;
                it.geometry = geo.detach();
            }
            rt->DrawGeometry(it.geometry, pen.get(), it.stroke);
            fillbrush(rt, it, fill);
            if (fill)
                rt->FillGeometry(it.geometry, fill.get(), nullptr);
            break;
        }
        case drawtext: {
            solidbrush(rt, it.colour, pen);
            if (!pen) {
                fatal = L"CreateSolidColorBrush() failed.";
                break;
            }
            if ((fatal = textlayout(dwrite, it, clientwidth)) != nullptr)
                break;
            if (it.layout)
                rt->DrawTextLayout(D2D1::Point2F(it.p0x, it.p0y), it.layout, pen.get(), D2D1_DRAW_TEXT_OPTIONS_NONE);
            break;
        }
        case drawimage: {
            if (!it.bitmap && (fatal = loadbitmap(wic, rt, it)) != nullptr)
                break;
            if (it.a != 0.0f)
                rt->SetTransform(D2D1::Matrix3x2F::Rotation(it.a, D2D1::Point2F(it.p1x, it.p1y)));
            const D2D1_SIZE_F own = it.bitmap->GetSize();
            const float w = it.g0x != 0.0f ? it.g0x : own.width;
            const float h = it.g0y != 0.0f ? it.g0y : own.height;
            rt->DrawBitmap(it.bitmap, D2D1::RectF(it.p0x, it.p0y, it.p0x + w, it.p0y + h), 1.0f,
                           D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
            if (it.a != 0.0f)
                rt->SetTransform(D2D1::Matrix3x2F::Identity());
            break;
        }
        default:
            break;
        }
        if (fatal)
            break;
    }
    rt->EndDraw();
    return fatal;
}
