// The image box: a small window showing a bitmap or image file, a live
// thumbnail of another window, a snapshot of another window's client area, or
// a composite of scaled tiles. A script names a box by its index in the
// engine's image-box list.
#pragma once

#include <windows.h>
#include <dwmapi.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "runtime/scriptobjects.h"
#include "windows/boxthread.h"

class ExeScr;
class imagebox;

// Kinds of image boxes (0: new, nothing shown yet).
enum : int32_t {
    imgthumbnail = 5,  // "dtm"
    imgbitmap = 6,     // "bmp"
    imgfile = 7,       // "img"
    imgsnapshot = 10,  // "win"
    imgparent = 24,    // "thumb_par"
    imgtile = imgmemorykind,  // "thumb_chi_f"
};

// A memory device context with the bitmap it holds selected; release() puts
// the DC's own bitmap back and deletes both.
struct memimage {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ original = nullptr;  // what the DC held before
    void* bits = nullptr;        // the pixels of a DIB section
    int32_t width = 0, height = 0;  // the picture's size
    void release();
    // Makes a memory DC compatible with `like` (null: the screen) and selects
    // `bmp` into it; on failure nothing is kept and the bitmap is deleted.
    bool hold(HDC like, HBITMAP bmp, void* pixels = nullptr);
};

// A tile of a composite parent, where it is shown.
struct imgchild {
    imagebox* tile;
    int32_t x, y;
};

class imagebox : public imageboxobject {
public:
    explicit imagebox(ExeScr* e) : owner(e) {}
    // Closes a window still open, waits for its thread and gives back the
    // GDI objects it still holds.
    ~imagebox() override;
    HWND objectwindow() const override { return window; }
    int32_t imgkind() const override { return kind; }
    HDC memdc() const override { return image.dc; }
    void dropmemdc() override;

    ExeScr* owner;
    std::atomic<HWND> window{nullptr};
    HWND source = nullptr;         // the window shown by a thumbnail or snapshot
    HWND captionwindow = nullptr;
    boxevent readyevent;           // the open wait, set once the window painted
    boxthread thread;
    int32_t kind = 0;
    memimage capture;              // the snapshot (kinds 5 and 10)
    COLORREF bandcolour = 0xFFFF00;
    int32_t thumbshown = 0;
    std::atomic<HTHUMBNAIL> thumbnail{nullptr};  // this box's own DWM thumbnail
    BITMAPINFOHEADER header = {};
    memimage image;                // the picture (kinds 6, 7 and 26)
    BITMAP bitmapinfo = {};
    RECT sourcerect = {};
    RECT monitor = {};             // {centre x, centre y, width, height}
    int32_t captionwidth = 0, captionheight = 0, captionfontheight = 0, captionseconds = 0;
    HFONT captionfont = nullptr;
    int32_t captiontimer = 0;
    HBRUSH brush = nullptr;
    COLORREF backcolour = 0;
    COLORREF keycolour = 0;
    int32_t alpha = 0;
    int32_t imagewidth = 0, imageheight = 0;
    std::vector<imgchild> children;
    imagebox* parent = nullptr;
    // Guards the pictures, the brush and the children: the script thread
    // changes them while a window thread paints. Never held across a send.
    std::recursive_mutex lock;

    static unsigned __stdcall imagebox_threadentry(void* self);
    void imagebox_wndthread();
    LRESULT imagebox_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void paint(HDC dc);
    // DWM thumbnail operations: 1 register and fit, 2 follow the client area,
    // 3 show (arg 1) or hide, other: unregister. The HRESULT of the call.
    HRESULT imagebox_thumbnail(int32_t op, int32_t arg);
    // Puts `fresh` in place of the picture (or of the snapshot with
    // `snapshot`) and gives back the old one. Done on the thread that paints
    // the box: its window thread, through a sent message, when it has one.
    void replaceimage(memimage& fresh, bool snapshot = false);
    // The exchange itself, under the lock; the picture's size comes along.
    void swapin(memimage& fresh, bool snapshot);
    // The brush of the background, replaced on the window thread's terms.
    void replacebrush(HBRUSH fresh);
};

// In the tile's parent: moves the tile, or appends it when not yet listed.
void imagebox_setchildpos(imagebox* tile, int32_t x, int32_t y);

// Band thickness of "hd", "hb", "vd" and "vb", shared by every box; "lh" keeps
// it within 3..10.
extern std::atomic<int32_t> bandthickness;

// The DWM thumbnail calls, resolved at run time: a system without them gets
// null entries. Tests may stand in for them.
struct dwmthumbapi {
    HRESULT(WINAPI* registerthumb)(HWND, HWND, PHTHUMBNAIL);
    HRESULT(WINAPI* unregisterthumb)(HTHUMBNAIL);
    HRESULT(WINAPI* update)(HTHUMBNAIL, const DWM_THUMBNAIL_PROPERTIES*);
    HRESULT(WINAPI* querysize)(HTHUMBNAIL, PSIZE);
};
dwmthumbapi& dwmthumbs();

// Messages of the image box window: WM_USER with wParam 0 creates the caption,
// 1 shows it; the box's own requests follow.
enum : WPARAM { imgmakecaption = 0, imgshowcaption = 1, imgreplace = 2, imgreplacesnap = 3, imgnewbrush = 4 };
constexpr UINT_PTR imgcaptiontimer = 208;
