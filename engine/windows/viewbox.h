// The ViewBox: a read-only viewer of a text file that a script opens, with
// wrapped lines, line numbers, coloured marks, pair jumps, a caret moved by
// vi-style keys, a visual selection copied to the clipboard and a status bar.
// Its windows run on a thread of their own (box table kind 1).
//
// The script thread loads the text, changes settings, marks and pairs and
// posts requests; the box thread owns the windows, the line table, the rows on
// screen and the caret. Marks, pairs, the status message and the font are
// guarded by `lock`, which the box thread holds while it handles a message;
// the script thread never holds it across a message to the box. The text
// buffer is a tracked block: the script thread takes it when it opens the box
// and gives it back once the box thread has ended.
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/scriptobjects.h"
#include "windows/boxthread.h"
#include "windows/vblayout.h"
#include "windows/vbmarks.h"

class ExeScr;
namespace vbgdi {
class brushes;
}

// One displayed row: a part of a line at a height of the view (pixels).
struct vbrow {
    uint32_t line;
    uint32_t start;
    int32_t y;
    uint32_t length;
    bool last;
};

// What a layout of the rows depends on: a paint lays them out again only when
// one of these changed since the last layout.
struct vblayoutkey {
    int32_t top = -1, margin = 0, width = 0, height = 0, tabstop = 0, lineheight = 0;
    HFONT font = nullptr;
    const vblayout::lineentry* lines = nullptr;
    uint32_t linecount = 0;
    bool operator==(const vblayoutkey&) const = default;
};

// Requests of the script thread to the view (WM_USER, wParam the code).
enum : int32_t { vbreqfont = 2, vbreqsetcar = 13, vbreqcolor = 17, vbreqstatus = 18, vbreqstatusmsg = 19,
                 vbreqrefresh = 20, vbreqstyle = 21 };

class viewbox : public scriptobject {
public:
    explicit viewbox(ExeScr* owner);  // viewbox_init
    ~viewbox() override;              // viewbox_dtor
    HWND objectwindow() const override { return frame; }

    // ---- settings, written by the script thread (see viewbox_exec)
    std::wstring path;
    int32_t statuson = 0;
    std::wstring statusmsg;           // under the lock
    volatile int32_t keyson = 1;
    volatile int32_t numberson = 1;
    COLORREF textcolour = 0xFFFFFF, numbercolour = 0x00FFFF, backcolour = 0x000000, bandcolour = 0xFFFF00;
    COLORREF statusback = 0xFF0000, statustext = 0xFFFFFF;
    COLORREF pairtext = 0xCFCFCF, pairback = 0xE16941;
    COLORREF seltext = 0x0000FF, selback = 0x8F8F8F;
    int32_t style = 0;                // 1: caption only
    volatile int32_t caretkind = 0;   // 0 block, 1 underline band, other none
    int32_t fontheight = 0, fontweight = 0;
    wchar_t fontface[32] = {};
    HFONT font = nullptr;             // under the lock
    HBRUSH viewbrush = nullptr;       // the view's erase brush
    HBRUSH statusbrush = nullptr;
    int32_t reqline = 0, reqcolumn = 0;  // "setcar"

    // ---- what both threads share
    ExeScr* exe;
    std::recursive_mutex lock;
    vbmarks::markstore marks;
    vbmarks::pairstore pairs;
    boxevent ev;
    boxthread thread;
    HWND frame = nullptr, view = nullptr, status = nullptr;
    wchar_t* text = nullptr;          // element 0 the byte-order mark
    int32_t textid = 0;
    RECT monitor = {};                // {centre x, centre y, width, height} at the open
    int32_t caretline = 0, caretcolumn = 0;

    // ---- the script thread's side (viewbox.cpp)
    // The box thread's state as an open finds it: no lines or rows, the top
    // and the caret at the start, no highlight, band, selection, count or
    // command line. Only while no box thread runs.
    void vb_reset();
    // Reads the file into the text buffer; false (logged, with the last-error
    // text set) when it cannot be opened. Other failures are fatal.
    bool viewbox_loadfile(const wchar_t* file, int32_t encoding);
    // Once the box thread has ended: gives back the text buffer.
    void vb_release();

    // ---- the box thread (viewbox.cpp: thread, frame, status bar, fonts)
    static unsigned __stdcall viewbox_threadentry(void* self);
    void viewbox_thread();
    LRESULT vbframe_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT vbstatus_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void vb_setfont(int32_t rebuild);
    void vb_buildlines(HDC dc);
    int32_t vb_textheight(HDC dc);
    void vb_placeframe(bool scrollbar);
    void vb_sizechildren(int32_t w, int32_t h);
    void vb_paintstatus(HDC dc);

    // ---- layout and painting (vbpaint.cpp)
    vblayout::geometry vb_geometry() const;
    vblayoutkey vb_layoutkey() const;
    // The rows from the top line that fit the view.
    void vb_layout();
    void vb_layout(vblayout::measure& m);
    void vb_paint(HWND hwnd);
    void vb_paintrows(HDC dc, const RECT& update);
    void vb_paintline(HDC dc, vbmarks::markstate& st, size_t firstrow, size_t nrows, vbgdi::brushes& brushes,
                      const RECT& update);
    // Left and right edge of (line, column) on screen and its row; false when
    // it is not displayed or lies at or past the view's width.
    bool vb_cell(int32_t line, int32_t column, RECT& cell);
    // The top line that shows the end of the text at the bottom.
    int32_t vb_lasttop();
    // Makes `top` (kept within 0 and the last top line) the top line, with
    // the scroll bar's position; the rows are laid out once for it.
    void vb_scrollto(int32_t top);
    void vb_showcaret();
    void vb_pairunmark();
    void vb_bandrestore();
    void vb_takeaway();
    // Paints what was invalidated now, unless a paint is running.
    void vb_flush();
    void vb_updatescrollbar();
    bool vb_displayed(int32_t line, int32_t column) const;

    // ---- keys, caret, pairs and selection (vbkeys.cpp)
    LRESULT vbview_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void vb_char(wchar_t c);
    void vb_keydown(WPARAM key, LPARAM lp);
    void vb_cmdkey(WPARAM key);
    void vb_vscroll(int32_t code);
    void vb_wheel(int32_t delta);
    void vb_request(WPARAM code);
    void vb_moveto(int32_t line, int32_t column);
    // A move asked for by a key: only at the outermost level of the view procedure.
    void vb_keymove(int32_t line, int32_t column);
    // "l" and the right arrow.
    void vb_right();
    // Scrolls so that `pos` (kept within the text) is the top line, then clamps the caret.
    void vb_scrollline(int32_t pos);
    // The top line that brings (line, column) into view: the line itself
    // when it lies before the first row; when it lies after the last, the top
    // moved on by as many lines as it lies past the last row's, and `beyond`
    // more; else (displayed, or no rows) the top as it is.
    int32_t vb_intoview(int32_t line, int32_t column, int32_t beyond) const;
    void vb_clampcaret();
    void vb_gotopair();
    void vb_gotoline();
    bool vb_hittest(int32_t x, int32_t y, int32_t& line, int32_t& column);
    void vb_selupdate(int32_t on, int32_t mode);
    void vb_yank();
    void vb_notify(UINT msg, WPARAM wp, LPARAM lp);
    int32_t vb_linelength(int32_t line) const;
    int32_t vb_page() const;

    // ---- the box thread's state
    std::vector<vblayout::lineentry> lines;
    uint32_t linecount = 0;
    int32_t tabwidth = 4;
    int32_t lineheight = 16, charwidth = 8;
    int32_t digitcount = 0, gutter = 0;
    int32_t contentwidth = 0, contentheight = 0;
    int32_t ncwidth = 0, ncheight = 0;  // the frame's window size less its client size
    bool withstatus = false;            // the frame was made with a status bar
    RECT viewrect = {};
    int32_t top = 0;
    std::vector<vbrow> rows;
    vblayoutkey laidout;                // what the rows were laid out for
    uint32_t layouts = 0, lasttops = 0; // rows laid out, last top lines found (the tests count them)
    bool endshown = false;
    bool scrollshown = false;
    bool hasfocus = false;
    bool fullpending = false;
    int32_t painted = 0;
    int32_t lastdir = 0;              // 1 after a move to the left
    int32_t caretx = 0, carety = 0, caretwidth = 0;
    // The pair partner shown highlighted (state 0 none, 2 shown).
    int32_t pairstate = 0;
    vbmarks::textpos partner = {0, 0};
    RECT paircell = {};
    // The caret band (state 0 none, 2 drawn).
    int32_t bandstate = 0;
    int32_t bandtop = 0;
    int32_t bandheight = 2;
    vbmarks::selection sel;
    vbmarks::textpos selshown = {0, 0};  // the selection's end last painted
    bool countpending = false;
    int32_t count = 0;
    uint32_t prevchar = 0;
    bool cmdmode = false;
    wchar_t cmdbuf[258] = {};
    int32_t cmdcursor = 0, cmdlength = 0;
    int32_t procdepth = 0, paintdepth = 0;
};

constexpr int32_t viewboxid = 1402;
