#include "windows/pixels.h"

#include <wincodec.h>

#include <cstdlib>

#include "runtime/owners.h"
#include "support/testenv.h"
#include "windows/boxdriver.h"

namespace qtest {

using owners::comptr;

void pixmap::fill(int x0, int y0, int x1, int y1, uint32_t rgb)
{
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            at(x, y) = rgb;
}

namespace {

// The header of a map's pixels as a top-down 32-bit DIB.
BITMAPINFO topdown32(const pixmap& p)
{
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = p.width;
    bi.bmiHeader.biHeight = -p.height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    return bi;
}

}  // namespace

bool closeto(uint32_t a, uint32_t b, int tol)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tol)
            return false;
    return true;
}

pixmap grabclient(HWND w)
{
    RECT rc = {};
    GetClientRect(w, &rc);
    pixmap p(rc.right, rc.bottom);
    if (p.px.empty())
        return p;
    HDC dc = GetDC(w);
    HDC mem = CreateCompatibleDC(dc);
    const BITMAPINFO bi = topdown32(p);
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, p.width, p.height, dc, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* src = static_cast<const uint32_t*>(bits);
    for (size_t k = 0; k < p.px.size(); ++k)
        p.px[k] = src[k] & 0xFFFFFF;
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(w, dc);
    return p;
}

void writebmp(const std::wstring& path, const pixmap& p)
{
    const int stride = (p.width * 3 + 3) & ~3;
    std::string bytes(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + static_cast<size_t>(stride) * p.height,
                      '\0');
    auto* fh = reinterpret_cast<BITMAPFILEHEADER*>(bytes.data());
    auto* ih = reinterpret_cast<BITMAPINFOHEADER*>(bytes.data() + sizeof *fh);
    fh->bfType = 0x4D42;
    fh->bfSize = static_cast<DWORD>(bytes.size());
    fh->bfOffBits = sizeof *fh + sizeof *ih;
    ih->biSize = sizeof *ih;
    ih->biWidth = p.width;
    ih->biHeight = p.height;  // bottom-up
    ih->biPlanes = 1;
    ih->biBitCount = 24;
    auto* rows = reinterpret_cast<unsigned char*>(bytes.data() + fh->bfOffBits);
    for (int y = 0; y < p.height; ++y) {
        unsigned char* row = rows + static_cast<size_t>(p.height - 1 - y) * stride;
        for (int x = 0; x < p.width; ++x) {
            const uint32_t c = p.at(x, y);
            row[x * 3] = c & 0xFF;
            row[x * 3 + 1] = (c >> 8) & 0xFF;
            row[x * 3 + 2] = (c >> 16) & 0xFF;
        }
    }
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD done = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
}

namespace {

struct cominit {
    cominit() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    ~cominit() { CoUninitialize(); }
};

comptr<IWICImagingFactory>& wicfactory(comptr<IWICImagingFactory>& f)
{
    CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory, f.putvoid());
    return f;
}

}  // namespace

void writepng(const std::wstring& path, const pixmap& p)
{
    cominit com;
    comptr<IWICImagingFactory> wic;
    if (!wicfactory(wic))
        return;
    DeleteFileW(path.c_str());
    comptr<IWICStream> stream;
    comptr<IWICBitmapEncoder> encoder;
    comptr<IWICBitmapFrameEncode> frame;
    if (FAILED(wic->CreateStream(stream.put())) || FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
        FAILED(wic->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.put(), nullptr)) || FAILED(frame->Initialize(nullptr)))
        return;
    frame->SetSize(static_cast<UINT>(p.width), static_cast<UINT>(p.height));
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    frame->SetPixelFormat(&format);
    std::vector<uint32_t> bgra(p.px.size());
    for (size_t k = 0; k < bgra.size(); ++k)
        bgra[k] = p.px[k] | 0xFF000000u;
    frame->WritePixels(static_cast<UINT>(p.height), static_cast<UINT>(p.width) * 4,
                       static_cast<UINT>(bgra.size() * 4), reinterpret_cast<BYTE*>(bgra.data()));
    frame->Commit();
    encoder->Commit();
}

pixmap readpicture(const std::wstring& path)
{
    cominit com;
    comptr<IWICImagingFactory> wic;
    if (!wicfactory(wic))
        return {};
    comptr<IWICBitmapDecoder> decoder;
    comptr<IWICBitmapFrameDecode> frame;
    comptr<IWICFormatConverter> converter;
    if (FAILED(wic->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                              decoder.put())) ||
        FAILED(decoder->GetFrame(0, frame.put())) || FAILED(wic->CreateFormatConverter(converter.put())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeCustom)))
        return {};
    UINT w = 0, h = 0;
    converter->GetSize(&w, &h);
    pixmap p(static_cast<int>(w), static_cast<int>(h));
    converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(p.px.size() * 4), reinterpret_cast<BYTE*>(p.px.data()));
    for (uint32_t& c : p.px)
        c &= 0xFFFFFF;
    return p;
}

namespace {

void paintpicture(HDC dc, const pixmap& p)
{
    const BITMAPINFO bi = topdown32(p);
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(p.width), static_cast<DWORD>(p.height), 0, 0, 0,
                      static_cast<UINT>(p.height), p.px.data(), &bi, DIB_RGB_COLORS);
}

LRESULT CALLBACK pictureproc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    auto* self = reinterpret_cast<picturewindow*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    switch (msg) {
    case WM_NCCREATE:
        SetWindowLongPtrW(w, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
        break;
    case WM_PAINT:
        if (self) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(w, &ps);
            paintpicture(dc, self->picture);
            EndPaint(w, &ps);
            return 0;
        }
        break;
    case WM_PRINTCLIENT:
        if (self) {
            paintpicture(reinterpret_cast<HDC>(wp), self->picture);
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1;
    default:
        break;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

}  // namespace

picturewindow::picturewindow(const pixmap& p, int x, int y) : picture(p)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = pictureproc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"qtest.picture";
    RegisterClassW(&wc);
    RECT r = {0, 0, p.width, p.height};
    AdjustWindowRect(&r, WS_POPUP | WS_BORDER, FALSE);
    hwnd = CreateWindowExW(0, wc.lpszClassName, L"picture", WS_POPUP | WS_BORDER | WS_VISIBLE, x, y,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, wc.hInstance, this);
    UpdateWindow(hwnd);
}

picturewindow::~picturewindow()
{
    if (hwnd)
        DestroyWindow(hwnd);
}

std::wstring scriptpath(const std::wstring& path)
{
    std::wstring out;
    for (wchar_t c : path) {
        out += c;
        if (c == L'\\')
            out += L'\\';
    }
    return out;
}

std::wstring scratch(const wchar_t* name) { return scratchdir() + name; }

std::wstring scripttext(std::wstring text, HWND h)
{
    const std::wstring dir = scriptpath(scratchdir());
    for (size_t at; (at = text.find(L"@D")) != std::wstring::npos;)
        text.replace(at, 2, dir);
    for (size_t at; (at = text.find(L"@H")) != std::wstring::npos;)
        text.replace(at, 2, handletext(h));
    return text;
}

std::wstring gofile(const wchar_t* name)
{
    const std::wstring path = scratch(name);
    DeleteFileW(path.c_str());
    return path;
}

SIZE clientsize(HWND w)
{
    RECT rc = {};
    GetClientRect(w, &rc);
    return SIZE{rc.right, rc.bottom};
}

bool pixelbecomes(HWND w, int x, int y, uint32_t rgb, int tol)
{
    return pumpuntil([&] { return closeto(clientpixel(w, x, y), rgb, tol); }, 5000);
}

std::wstring handletext(HWND w) { return std::to_wstring(reinterpret_cast<intptr_t>(w)); }

void touchfile(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CloseHandle(h);
}

}  // namespace qtest
