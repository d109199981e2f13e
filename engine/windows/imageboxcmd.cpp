// "imagebox": image boxes made, filled (bitmap and image files, live
// thumbnails, window snapshots, scaled tiles), saved as JPEG or PNG, marked
// with bands and captioned. Every sub-command yields a number.
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <new>
#include <string>

#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/owners.h"
#include "windows/encoders.h"
#include "windows/imagebox.h"

namespace {

// Windows 8.1 and later render the whole content (also DirectX windows).
constexpr UINT renderfullcontent = 0x2;  // PW_RENDERFULLCONTENT

enum : int32_t {
    ibwidth = 1, ibheight, ibgethwnd, ibnew, ibdtm, ibbmp, ibimg, ibsavj, ibsavp, ibwin, ibclose, ibhd, ibhb, ibvd,
    ibvb, ibcl, iblh, ibupd, ibcaps, ibcapu, ibbackc, ibalpha, ibkeyc, ibthumbpar, ibthumbparclr, ibthumbchif,
    ibthumbchip, iblast = ibthumbchip
};

const ExeScr::subword imgwords[] = {
    {L"width", ibwidth},         {L"height", ibheight},       {L"gethwnd", ibgethwnd},
    {L"new", ibnew},             {L"dtm", ibdtm},             {L"bmp", ibbmp},
    {L"img", ibimg},             {L"savj", ibsavj},           {L"savp", ibsavp},
    {L"win", ibwin},             {L"close", ibclose},         {L"hd", ibhd},
    {L"hb", ibhb},               {L"vd", ibvd},               {L"vb", ibvb},
    {L"cl", ibcl},               {L"lh", iblh},               {L"upd", ibupd},
    {L"caps", ibcaps},           {L"capu", ibcapu},           {L"backc", ibbackc},
    {L"alpha", ibalpha},         {L"keyc", ibkeyc},           {L"thumb_par", ibthumbpar},
    {L"thumb_par_clr", ibthumbparclr}, {L"thumb_chi_f", ibthumbchif}, {L"thumb_chi_p", ibthumbchip},
    {nullptr, 0}};

// The arguments after the word, by code: 'n' a number, 'h' a window handle
// (its raw value), 's' a string; the first `least` are required, the rest
// come all together or not at all.
struct imgshape {
    const char* kinds;
    int32_t least;
};
const imgshape shapes[iblast + 1] = {
    {"", 0},       {"n", 1},      {"n", 1},     {"n", 1},    {"", 0},       {"nh", 2},    {"ns", 2},
    {"ns", 2},     {"nsnnnn", 2}, {"nsnnnn", 2}, {"nh", 2},  {"n", 1},      {"nn", 2},    {"nn", 2},
    {"nn", 2},     {"nn", 2},     {"nn", 2},    {"nn", 2},   {"n", 1},      {"nnnn", 3},  {"nsn", 2},
    {"nn", 2},     {"nn", 2},     {"nn", 2},    {"n", 1},    {"n", 1},      {"nnsnn", 5}, {"nnn", 3}};

int32_t shapemost(int32_t code) { return static_cast<int32_t>(strlen(shapes[code].kinds)); }

// The popped arguments, numbers and strings each in their order.
struct imgargs {
    int64_t num[6] = {};
    int32_t count = 0;  // arguments after the word
    std::wstring text;
    int32_t n(int k) const { return static_cast<int32_t>(num[k]); }
};

imgargs popargs(ExeScr& e, int32_t code, int32_t count)
{
    imgargs a;
    a.count = count;
    int32_t k = 0;
    for (int32_t i = 0; i < count; ++i) {
        switch (shapes[code].kinds[i]) {
        case 's': a.text = e.popstr(); break;
        case 'h': a.num[k++] = e.popd().i; break;
        default: a.num[k++] = cmdargs::toi32(e.popd()); break;
        }
    }
    return a;
}

bool openwindow(ExeScr& e, imagebox& b)
{
    e.boxopen(b.readyevent, b.thread, imagebox::imagebox_threadentry, &b);
    return b.window != nullptr;
}

// Sizes a picture box to its picture plus the frame (at most its monitor) and
// centres it on that monitor; the title becomes the file name.
void fitpicture(imagebox& b, const wchar_t* title)
{
    HWND w = b.window;
    const SIZE frame = boxframe(w);
    const int32_t mw = b.monitor.right, mh = b.monitor.bottom;
    const int32_t width = b.imagewidth <= mw + 10 ? b.imagewidth + frame.cx : mw;
    const int32_t height = b.imageheight <= mh + 10 ? b.imageheight + frame.cy : mh;
    SetWindowPos(w, nullptr, b.monitor.left - (width >> 1), b.monitor.top - (height >> 1), width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowTextW(w, title);
    InvalidateRect(w, nullptr, TRUE);
    ShowWindow(w, SW_SHOW);
}

// A bottom-up 32-bit DIB section described by the box's header, zero-filled.
HBITMAP newdib(imagebox& b, int32_t width, int32_t height, void** bits)
{
    BITMAPINFOHEADER& h = b.header;
    h = BITMAPINFOHEADER{};
    h.biSize = sizeof h;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    *bits = nullptr;
    if (width <= 0 || height <= 0)
        return nullptr;
    return CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS, bits, nullptr, 0);
}

// A picture file decoded by GDI+ (which must be started), with its size.
struct gpimage {
    Gdiplus::GpBitmap* bitmap = nullptr;
    UINT width = 0, height = 0;
    explicit gpimage(const wchar_t* file)
    {
        if (Gdiplus::DllExports::GdipCreateBitmapFromFile(file, &bitmap) != Gdiplus::Ok) {
            bitmap = nullptr;
            return;
        }
        Gdiplus::DllExports::GdipGetImageWidth(bitmap, &width);
        Gdiplus::DllExports::GdipGetImageHeight(bitmap, &height);
    }
    ~gpimage()
    {
        if (bitmap)
            Gdiplus::DllExports::GdipDisposeImage(bitmap);
    }
    gpimage(const gpimage&) = delete;
    gpimage& operator=(const gpimage&) = delete;
    bool decoded() const { return bitmap && width > 0 && height > 0; }
    void drawinto(HDC dc, int32_t x, int32_t y, int32_t w, int32_t h) const
    {
        Gdiplus::GpGraphics* g = nullptr;
        if (Gdiplus::DllExports::GdipCreateFromHDC(dc, &g) != Gdiplus::Ok)
            return;
        Gdiplus::DllExports::GdipDrawImageRectI(g, bitmap, x, y, w, h);
        Gdiplus::DllExports::GdipDeleteGraphics(g);
    }
};

// A memory DC holding `bmp`, compatible with `w`'s DC (the screen's without one).
bool holdfor(memimage& m, HWND w, HBITMAP bmp, void* bits, int32_t width, int32_t height)
{
    const bool ok = m.hold(owners::windowdc(w), bmp, bits);
    m.width = width;
    m.height = height;
    return ok;
}

int64_t loadbmp(ExeScr& e, imagebox& b, const wchar_t* file)
{
    b.kind = imgbitmap;
    owners::gdiobject<HBITMAP> bmp(
        static_cast<HBITMAP>(LoadImageW(nullptr, file, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
    if (!bmp.valid()) {
        e.imglog(L"bmp open failure:%s", file);
        return 0;
    }
    BITMAP info = {};
    if (!GetObjectW(bmp.get(), sizeof info, &info))
        return 0;
    b.bitmapinfo = info;
    if (!b.window && !openwindow(e, b)) {
        e.imglog(L"Window open failure.\n");
        return 0;
    }
    memimage fresh;
    if (!holdfor(fresh, b.window, bmp.release(), nullptr, info.bmWidth, info.bmHeight))
        return 0;
    b.replaceimage(fresh);
    fitpicture(b, file);
    return 1;
}

int64_t loadimg(ExeScr& e, imagebox& b, const wchar_t* file)
{
    b.kind = imgfile;
    gdiplussession gdiplus;
    gpimage pic(file);
    void* bits = nullptr;
    owners::gdiobject<HBITMAP> dib(
        pic.decoded() ? newdib(b, static_cast<int32_t>(pic.width), static_cast<int32_t>(pic.height), &bits)
                      : nullptr);
    if (!dib.valid()) {
        e.imglog(L"Lack of memory.\n");
        return 0;
    }
    if (!b.window && !openwindow(e, b)) {
        e.imglog(L"Window open failure.\n");
        return 0;
    }
    const auto w = static_cast<int32_t>(pic.width), h = static_cast<int32_t>(pic.height);
    memimage fresh;
    if (!holdfor(fresh, b.window, dib.release(), bits, w, h))
        return 0;
    pic.drawinto(fresh.dc, 0, 0, w, h);
    b.replaceimage(fresh);
    fitpicture(b, file);
    return 1;
}

int64_t savepicture(ExeScr& e, imagebox& b, const imgargs& a, bool jpeg)
{
    HWND w = b.window;
    RECT client = {};
    GetClientRect(w, &client);
    RECT r = client;
    if (a.count == 6) {
        r = RECT{a.n(1), a.n(2), a.n(3), a.n(4)};
        if (!(r.left >= 0 && r.left < r.right && r.right <= client.right && r.top >= 0 && r.top < r.bottom &&
              r.bottom <= client.bottom)) {
            e.imglog(L"Invalid rectangle error...\n");
            return 0;
        }
    }
    if (!w || b.kind == imgthumbnail)
        return 0;
    const int32_t width = r.right - r.left, height = r.bottom - r.top;
    owners::gdiobject<HBITMAP> bmp;
    {
        const owners::windowdc wdc(w);
        bmp.reset(CreateCompatibleBitmap(wdc, width, height));
        if (!bmp.valid()) {
            e.imglog(L"%s\n", L"CreateCompatibleBitmap Failed.");
            return 0;
        }
        HDC mem = CreateCompatibleDC(wdc);
        HGDIOBJ old = SelectObject(mem, bmp.get());
        BitBlt(mem, 0, 0, width, height, wdc, r.left, r.top, SRCCOPY | CAPTUREBLT);
        SelectObject(mem, old);  // GDI+ takes no bitmap still selected
        DeleteDC(mem);
    }

    gdiplussession gdiplus;
    Gdiplus::GpBitmap* picture = nullptr;
    Gdiplus::GpStatus status = Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bmp.get(), nullptr, &picture);
    if (status == Gdiplus::Ok) {
        CLSID encoder = {};
        getencoderclsid(&e, jpeg ? L"image/jpeg" : L"image/png", &encoder);
        jpegbest best;
        status = Gdiplus::DllExports::GdipSaveImageToFile(picture, a.text.c_str(), &encoder,
                                                           jpeg ? &best.params : nullptr);
        Gdiplus::DllExports::GdipDisposeImage(picture);
    }
    if (status != Gdiplus::Ok) {
        e.imglog(L"Attempt to save failed:%d:\n", static_cast<int>(status));
        return 0;
    }
    return 1;
}

// The window checks of "dtm" and "win": 0 when refused (and logged).
bool takesource(ExeScr& e, imagebox& b, HWND source)
{
    if (!IsWindow(source)) {
        e.imglog(L"IsWindow failure.\n");
        return false;
    }
    if (b.kind != 0) {
        e.imglog(L"Already opened error.\n");
        return false;
    }
    return true;
}

int64_t thumbnailbox(ExeScr& e, imagebox& b, HWND source)
{
    if (!takesource(e, b, source))
        return 0;
    b.source = source;
    b.kind = imgthumbnail;
    if (!openwindow(e, b)) {
        e.imglog(L"Window open failure.\n");
        return 0;
    }
    b.bandcolour = 0xFFFF00;
    b.thumbshown = 0;
    const HRESULT hr = b.imagebox_thumbnail(1, 1);
    ShowWindow(b.window, SW_SHOW);
    // A system that shows no thumbnail has not done what was asked: the
    // script learns it, and why, from getlasterror.
    if (FAILED(hr)) {
        e.syserrtext = lasterrortext(static_cast<DWORD>(hr));
        return 0;
    }
    return 1;
}

int64_t snapshotbox(ExeScr& e, imagebox& b, HWND source)
{
    if (!takesource(e, b, source))
        return 0;
    b.kind = imgsnapshot;
    b.source = source;
    RECT sr = {};
    memimage snap;
    BOOL printed = FALSE;
    {
        // The source's DC only while the picture is taken.
        const owners::windowdc sdc(source);
        if (!sdc) {
            e.imglog(L"GetDC error.");
            return 0;
        }
        GetClientRect(source, &sr);
        b.sourcerect = sr;
        snap.dc = CreateCompatibleDC(sdc);
        if (!snap.dc) {
            e.imglog(L"%s\n", L"CreateCompatibleDC has failed.");
            return 0;
        }
        snap.bitmap = CreateCompatibleBitmap(sdc, sr.right, sr.bottom);
        if (!snap.bitmap) {
            snap.release();
            e.imglog(L"%s\n", L"CreateCompatibleBitmap Failed.");
            return 0;
        }
        snap.original = SelectObject(snap.dc, snap.bitmap);
        snap.width = sr.right;
        snap.height = sr.bottom;
        printed = PrintWindow(source, snap.dc, PW_CLIENTONLY | renderfullcontent);
    }
    if (!printed) {
        snap.release();
        e.imglog(L"%s\n", L"BitBlt has failed.");
        return 0;
    }
    b.replaceimage(snap, true);
    if (!openwindow(e, b)) {
        e.imglog(L"Window open failure.\n");
        return 0;
    }
    HWND w = b.window;
    const SIZE frame = boxframe(w);
    RECT at = {};
    GetWindowRect(source, &at);
    SetWindowPos(w, nullptr, at.left, at.top, sr.right + frame.cx, sr.bottom + frame.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(w);
    ShowWindow(w, SW_SHOW);
    return 1;
}

// "hd" and "vd": a band of the band colour, drawn on the window only.
int64_t drawband(ExeScr& e, imagebox& b, int32_t pos, bool rows)
{
    HWND w = b.window;
    if (!w)
        return 0;
    const owners::windowdc dc(w);
    if (!dc) {
        e.imglog(L"GetDC error\n");
        return 0;
    }
    const owners::gdiobject<HBRUSH> brush(CreateSolidBrush(b.bandcolour));
    if (!brush.valid()) {
        e.imglog(L"%s\n", L"CreateSolidBrush has failed.");
        return 0;
    }
    RECT cr = {};
    GetClientRect(w, &cr);
    const int32_t t = bandthickness;
    int64_t result = 0;
    if (pos < 0 || pos + t >= (rows ? cr.bottom : cr.right)) {
        e.imglog(L"%s:%d", L"Invalid value.", pos);
    } else if (!SetROP2(dc, R2_COPYPEN)) {
        e.imglog(L"setROP2 error\n");
    } else {
        const owners::gdiobject<HPEN> pen(CreatePen(PS_SOLID, 1, 0));
        HGDIOBJ oldbrush = SelectObject(dc, brush.get());
        HGDIOBJ oldpen = SelectObject(dc, pen.get());
        if (rows)
            Rectangle(dc, 0, pos, cr.right, pos + t);
        else
            Rectangle(dc, pos, 1, pos + t, cr.bottom);
        SelectObject(dc, oldpen);
        SelectObject(dc, oldbrush);
        result = 1;
    }
    return result;
}

// "hb" and "vb": the band's rows or columns copied back from the picture.
int64_t restoreband(ExeScr& e, imagebox& b, int32_t pos, bool rows)
{
    const bool snap = b.kind == imgthumbnail || b.kind == imgsnapshot;
    const bool haspicture = b.kind == imgthumbnail || b.kind == imgbitmap || b.kind == imgfile || snap;
    {
        std::lock_guard<std::recursive_mutex> guard(b.lock);
        if (haspicture && !(snap ? b.capture.dc : b.image.dc)) {
            e.imglog(L"%s\n", L"No device context error.");
            return 0;
        }
    }
    HWND w = b.window;
    if (!w)
        return 0;
    RECT cr = {};
    GetClientRect(w, &cr);
    const int32_t t = bandthickness;
    if (pos < 0 || pos + t >= (rows ? cr.bottom : cr.right)) {
        e.imglog(L"%s:%d", L"Invalid value.", pos);
        return 0;
    }
    const owners::windowdc dc(w);
    if (!dc) {
        e.imglog(L"GetDC error\n");
        return 0;
    }
    {
        std::lock_guard<std::recursive_mutex> guard(b.lock);
        if (HDC pic = snap ? b.capture.dc : b.image.dc) {
            // The band is `t` rows (or columns) wide wherever it lies.
            if (rows)
                BitBlt(dc, 0, pos, cr.right, t, pic, 0, pos, SRCCOPY);
            else
                BitBlt(dc, pos, 0, t, cr.bottom, pic, pos, 0, SRCCOPY);
        }
    }
    return 1;
}

int64_t tilefile(ExeScr& e, imagebox& tile, imagebox& parent, const imgargs& a)
{
    tile.parent = &parent;
    if (parent.kind != imgparent) {
        e.imglog(L"Invalid class type error.\n");
        return 0;
    }
    tile.kind = imgtile;
    const int32_t width = a.n(2), height = a.n(3);
    gdiplussession gdiplus;
    gpimage pic(a.text.c_str());
    // A file that does not decode leaves the tile as it was.
    if (!pic.decoded())
        return 0;
    void* bits = nullptr;
    HBITMAP dib = newdib(tile, width, height, &bits);
    if (!dib) {
        e.imglog(L"Lack of memory.\n");
        return 0;
    }
    memimage fresh;
    if (!holdfor(fresh, parent.window, dib, bits, width, height))
        return 0;
    // Scaled to fit, keeping the aspect ratio, centred; the rest stays black.
    const int64_t iw = pic.width, ih = pic.height;
    const auto fith = static_cast<int32_t>(width * ih / iw);
    if (height < fith) {
        const auto fitw = static_cast<int32_t>(iw * height / ih);
        pic.drawinto(fresh.dc, width / 2 - fitw / 2, 0, fitw, height);
    } else {
        pic.drawinto(fresh.dc, 0, height / 2 - fith / 2, width, fith);
    }
    tile.replaceimage(fresh);
    return 1;
}

}  // namespace

void ExeScr::imglog(const wchar_t* fmt, ...)
{
    const uint32_t save = logsupfile;
    logsupfile = 0;
    va_list ap;
    va_start(ap, fmt);
    vmylogmsg(fmt, ap);
    va_end(ap);
    logsupfile = save;
}

void ExeScr::imagebox_comp(wchar_t* args)
{
    std::vector<wchar_t*> a = boxargs(args);
    const auto n = static_cast<int32_t>(a.size());
    const int32_t code = subcommand(a[0], imgwords);
    const int32_t further = n - 1;
    if (further != shapes[code].least && further != shapemost(code))
        comperr(L"the number of argument mismatch.");
    for (int32_t k = n - 1; k >= 1; --k) {
        if (shapes[code].kinds[k - 1] == 's')
            argstr(a[static_cast<size_t>(k)]);
        else
            argnum(a[static_cast<size_t>(k)]);
    }
    emitcell(&ExeScr::imagebox_exec);
    emitu64((static_cast<uint64_t>(n) << 32) | (static_cast<uint64_t>(code) << 16));
}

void ExeScr::imagebox_exec()
{
    const uint64_t word = ip->u;
    ++ip;
    const auto code = static_cast<int32_t>((word >> 16) & 0xFFFF);
    const auto n = static_cast<int32_t>(word >> 32);
    const imgargs a = popargs(*this, code, n - 1);
    if (code == ibnew) {
        void* block = mymalloc2(sizeof(imagebox), imageboxid);
        imageboxes.push_back(new (block) imagebox(this));
        pushint(static_cast<int64_t>(imageboxes.size()) - 1);
        return;
    }
    const auto valid = [&](int32_t k) { return k >= 0 && static_cast<size_t>(k) < imageboxes.size(); };
    if (!valid(a.n(0)) || (code == ibthumbchif && !valid(a.n(1)))) {
        imglog(L"invlaid class index failure.\n");
        pushint(0);
        return;
    }
    imagebox& b = *static_cast<imagebox*>(imageboxes[static_cast<size_t>(a.n(0))]);
    HWND w = b.window;
    int64_t result = 0;
    switch (code) {
    case ibwidth: result = b.imagewidth; break;
    case ibheight: result = b.imageheight; break;
    case ibgethwnd: result = reinterpret_cast<intptr_t>(w); break;
    case ibdtm: result = thumbnailbox(*this, b, reinterpret_cast<HWND>(a.num[1])); break;
    case ibbmp: result = loadbmp(*this, b, a.text.c_str()); break;
    case ibimg: result = loadimg(*this, b, a.text.c_str()); break;
    case ibsavj:
    case ibsavp: result = savepicture(*this, b, a, code == ibsavj); break;
    case ibwin: result = snapshotbox(*this, b, reinterpret_cast<HWND>(a.num[1])); break;
    case ibclose:
        if (b.kind == imgtile) {
            b.dropmemdc();
        } else if (w) {
            ShowWindow(w, SW_HIDE);
            SendMessageW(w, WM_CLOSE, 0, 0);
        }
        result = 1;
        break;
    case ibhd:
    case ibvd: result = drawband(*this, b, a.n(1), code == ibhd); break;
    case ibhb:
    case ibvb: result = restoreband(*this, b, a.n(1), code == ibhb); break;
    case ibcl: b.bandcolour = static_cast<COLORREF>(a.n(1)); break;
    case iblh: bandthickness = std::clamp(a.n(1), 3, 10); break;
    case ibupd:
        if (w && b.kind == imgthumbnail) {
            b.thumbshown = b.thumbshown ? 0 : 1;
            b.imagebox_thumbnail(3, b.thumbshown);
            result = 1;
        } else if (w && b.kind == imgparent) {
            InvalidateRect(w, nullptr, TRUE);
            result = 1;
        }
        break;
    case ibcaps:
        b.captionwidth = a.n(1);
        b.captionheight = a.n(2);
        b.captionfontheight = a.count == 4 ? a.n(3) : 40;
        if (w)
            PostMessageW(w, WM_USER, imgmakecaption, 0);
        break;
    case ibcapu: {
        {
            std::lock_guard<std::mutex> guard(imgcaptionlock);
            imgcaptiontext = a.text;
        }
        b.captionseconds = a.count == 3 && a.n(1) > 0 ? a.n(1) : 3;
        if (w)
            PostMessageW(w, WM_USER, imgshowcaption, 0);
        break;
    }
    case ibbackc:
        b.backcolour = static_cast<COLORREF>(a.n(1));
        if (w) {
            b.replacebrush(CreateSolidBrush(b.backcolour));
            InvalidateRect(w, nullptr, TRUE);
        }
        break;
    case ibalpha:
        b.alpha = a.n(1);
        if (w)
            SetLayeredWindowAttributes(w, 0, static_cast<BYTE>(b.alpha), LWA_ALPHA);
        break;
    case ibkeyc:
        b.keycolour = static_cast<COLORREF>(a.n(1));
        if (w) {
            SetLayeredWindowAttributes(w, b.keycolour, 0, LWA_COLORKEY);
            InvalidateRect(w, nullptr, TRUE);
        }
        break;
    case ibthumbpar:
        if (b.kind != 0) {
            imglog(L"Already opened error.\n");
        } else {
            b.kind = imgparent;
            if (openwindow(*this, b))
                result = 1;
            else
                imglog(L"Window open failure.\n");
        }
        break;
    case ibthumbparclr:
        if (b.kind != imgparent) {
            imglog(L"invlaid class index failure.\n");
        } else {
            std::lock_guard<std::recursive_mutex> guard(b.lock);
            b.children.clear();
            result = 1;
        }
        break;
    case ibthumbchif:
        result = tilefile(*this, b, *static_cast<imagebox*>(imageboxes[static_cast<size_t>(a.n(1))]), a);
        break;
    case ibthumbchip:
        if (b.kind != imgtile) {
            imglog(L"invlaid class index failure.\n");
        } else {
            imagebox_setchildpos(&b, a.n(1), a.n(2));
            result = 1;
        }
        break;
    default:
        break;
    }
    pushint(result);
}
