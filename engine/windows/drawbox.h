// The DrawBox: a layered Direct2D window that paints a list of draw items
// (lines, ellipses, rectangles, images, texts and path geometries, each with
// its outline colour and an optional solid or gradient fill) in list order.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>
#include <wincodec.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/scriptobjects.h"
#include "windows/boxthread.h"

class ExeScr;

enum : uint32_t { drawline = 0, drawellipse = 1, drawimage = 2, drawtext = 3, drawpath = 4, drawrect = 5 };

// Gradient flags of an item.
enum : uint8_t {
    gradlinstart = 1, gradlinend = 2, gradlinon = 4, gradradfirst = 8, gradradsecond = 16, gradradon = 32,
    gradlinear = gradlinstart | gradlinend | gradlinon,
    gradradial = gradradfirst | gradradsecond | gradradon
};

constexpr size_t drawfacemax = 32;  // a face name's room, its NUL included

// One step of a path: 0 the start of the figure, 1 a line, 2 a cubic Bézier
// (control 1, control 2, end); kinds 0 and 1 use the first point.
struct pathsegment {
    uint32_t kind = 0;
    float pt[6] = {};
};

struct drawitem {
    uint32_t kind = 0;
    std::wstring text;        // an image's file name, a text's text
    float p0x = 0, p0y = 0;   // line start; ellipse centre; rectangle left, top; image and text top-left
    float p1x = 0, p1y = 0;   // line end; rectangle right, bottom; image rotation centre
    uint32_t rounded = 0;
    float a = 0, b = 0;       // ellipse radii; image rotation angle in degrees (a)
    float stroke = 0;
    float colour[4] = {};     // outline and text colour, r g b a
    ID2D1Bitmap* bitmap = nullptr;  // an image's, made at its first paint
    // A closed path's geometry and a text's format and layout, made at a
    // paint and kept until the item is changed (`remake`, set by the script
    // thread's edit): the paint then makes them again. Made and given back on
    // the window thread, as the factories they come from are single-threaded.
    ID2D1PathGeometry* geometry = nullptr;
    IDWriteTextFormat* format = nullptr;
    // A text's layout, for the client width it was made for.
    IDWriteTextLayout* layout = nullptr;
    float layoutwidth = 0;
    bool remake = false;
    std::vector<pathsegment> segments;
    uint32_t visible = 0;     // drawn only when exactly 1
    uint32_t closed = 0;
    uint32_t figurebegin = 0, figureend = 0;
    float fill[4] = {};
    uint32_t solidfill = 0;   // fills when exactly 1
    wchar_t family[drawfacemax] = {};
    int32_t weight = 0, style = 0, stretch = 0, size = 0;
    uint8_t gradient = 0;
    float g0x = 0, g0y = 0;   // linear start; radial centre; image width and height (0: its own)
    float g1x = 0, g1y = 0;   // linear end; radial gradient-origin offset
    float stop0[4] = {}, stop1[4] = {};
    float radiusx = 0, radiusy = 0;
};

class DrawBox : public scriptobject {
public:
    explicit DrawBox(ExeScr* e) : owner(e) {}
    // Closes a window still open and waits for its thread; nothing else is
    // held once the window has closed.
    ~DrawBox() override;
    HWND objectwindow() const override { return window; }

    ExeScr* owner;
    int32_t x = 0, y = 0, width = 0, height = 0;
    uint32_t topmost = 0;
    uint32_t alpha = 0;
    uint32_t windowstyle = 0;
    uint32_t keyon = 0;
    wchar_t family[drawfacemax] = L"Meiryo";
    int32_t weight = 400, fontstyle = 0, stretch = 5;
    std::atomic<HWND> window{nullptr};
    int32_t fontsize = 20;
    HBRUSH backbrush = nullptr;
    boxevent ready;
    boxthread thread;
    int32_t caption = 0;
    COLORREF backcolour = 0;
    COLORREF keycolour = 0;
    ID2D1Factory* d2d = nullptr;
    ID2D1HwndRenderTarget* target = nullptr;
    IWICImagingFactory* wic = nullptr;
    IDWriteFactory* dwrite = nullptr;
    std::vector<drawitem> items;
    // What the last paint drew, drawn again while nothing in it changed: an
    // edit of the items or the background colour marks it (`redraw`), and a
    // render target of another size makes it again.
    ID2D1Bitmap* picture = nullptr;
    bool redraw = true;
    uint32_t pictures = 0;  // pictures drawn (the tests count them)
    std::atomic<uint32_t> update{0};
    // Guards the items and the background brush: the script edits them while
    // the window thread paints. Never held across a send or a fatal exit.
    std::recursive_mutex lock;

    static unsigned __stdcall drawbox_threadentry(void* self);
    void drawbox_wndthread();
    LRESULT drawbox_wndproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // The device-independent factories and the window's render target; the
    // fatal message of a failure, else null.
    const wchar_t* drawbox_createresources(HWND hwnd);
    // Paints every item into `rt`, the client being `clientwidth` wide; the
    // fatal message of a failure, else null. The caller holds the lock.
    const wchar_t* drawbox_paint(ID2D1RenderTarget* rt, float clientwidth);
    // Paints the window's render target: the kept picture, made again first
    // when it is marked or of another size (or straight into the window when
    // no picture can be made).
    const wchar_t* drawbox_render(HWND hwnd);
    void releaseresources();
};

int32_t drawbox_additem(DrawBox& box);
// Gives back the geometry, format and layout a paint made for the item.
void drawbox_dropkept(drawitem& it);
int32_t drawbox_addsegment(DrawBox& box, int32_t item);
// Releases what the items hold (bitmaps, geometries, formats, layouts) and empties the list.
void drawbox_freeitems(DrawBox& box);
// A face name into a field of drawfacemax characters: at most one less, and the NUL.
void drawbox_copyface(wchar_t* to, const wchar_t* from);

constexpr int32_t drawboxid = 1404;
