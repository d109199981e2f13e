// The ViewBox object: loading the file, the window thread, the frame window,
// the status bar and the box font.
#include "windows/viewbox.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "runtime/exescr.h"
#include "runtime/owners.h"
#include "runtime/quorvelcore.h"
#include "runtime/utf16.h"
#include "windows/vbgdi.h"

namespace {

// Tracked-block ids of the text buffer: read as UTF-16, converted from UTF-8,
// converted from the ANSI code page.
constexpr int32_t textid16 = 4851, textidutf8 = 4852, textidansi = 4853;

}  // namespace

viewbox::viewbox(ExeScr* owner) : exe(owner) {}

viewbox::~viewbox()
{
    if (frame)
        SendMessageW(frame, WM_CLOSE, 0, 0);
    thread.join();
    vb_release();
    if (viewbrush)
        DeleteObject(viewbrush);
    if (statusbrush)
        DeleteObject(statusbrush);
    if (font)
        DeleteObject(font);
}

// ---- the script thread's side

bool viewbox::viewbox_loadfile(const wchar_t* file, int32_t encoding)
{
    path = file;
    owners::handle h(CreateFileW(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) {
        exe->mylogsyserr(L"%s:%s", L"File open failed.", file);
        return false;
    }
    const DWORD size = GetFileSize(h.get(), nullptr);
    if (size == INVALID_FILE_SIZE) {
        const std::wstring why = lasterrortext(GetLastError());
        h.reset();
        exe->myerrexit(L"Cannot get file size.:%s:%s:", file, why.c_str());
    }
    // Zero-filled: a file of 0 or 1 bytes leaves the units behind it defined.
    const uint64_t units = size / 2 + 2;
    auto* buf = static_cast<wchar_t*>(exe->mymalloc2(units * sizeof(wchar_t), textid16));
    memset(buf, 0, units * sizeof(wchar_t));
    DWORD got = 0;
    if (size && !ReadFile(h.get(), buf, size, &got, nullptr))
        got = 0;
    h.reset();
    if (got >= 2 && buf[0] == 0xFEFF) {
        buf[got / 2] = 0;
        text = buf;
        textid = textid16;
    } else {
        UINT cp;
        int32_t id;
        if (encoding & 8) {
            cp = CP_UTF8;
            id = textidutf8;
        } else if (encoding & 4) {
            cp = CP_ACP;
            id = textidansi;
        } else {
            exe->myfree(buf, textid16);
            exe->myerrexit(L"%s:%s", L"File open failed.", file);
        }
        char* bytes = reinterpret_cast<char*>(buf);
        bytes[got] = 0;
        const char* from = bytes;
        // A UTF-8 byte-order mark is no character of the text.
        if (cp == CP_UTF8 && got >= 3 && memcmp(bytes, "\xEF\xBB\xBF", 3) == 0)
            from += 3;
        // Flags 0: UTF-8 refuses MB_PRECOMPOSED.
        const int n = MultiByteToWideChar(cp, 0, from, -1, nullptr, 0);
        if (n == 0) {
            const std::wstring why = lasterrortext(GetLastError());
            exe->myfree(buf, textid16);
            exe->myerrexit(L"%s:%s:%s:", L"MultiByteToWideChar failed.", file, why.c_str());
        }
        auto* wide = static_cast<wchar_t*>(exe->mymalloc2((static_cast<uint64_t>(n) + 2) * sizeof(wchar_t), id));
        wide[0] = 0xFEFF;
        MultiByteToWideChar(cp, 0, from, -1, wide + 1, n);
        wide[n + 1] = 0;
        exe->myfree(buf, textid16);
        text = wide;
        textid = id;
    }
    return true;
}

void viewbox::vb_reset()
{
    lines.clear();
    linecount = 0;
    rows.clear();
    laidout = vblayoutkey{};
    tabwidth = 4;
    top = 0;
    caretline = 0;
    caretcolumn = 0;
    lastdir = 0;
    endshown = false;
    scrollshown = false;
    hasfocus = false;
    fullpending = true;
    painted = 0;
    pairstate = 0;
    bandstate = 0;
    sel = vbmarks::selection{};
    selshown = {0, 0};
    countpending = false;
    count = 0;
    prevchar = 0;
    cmdmode = false;
    cmdcursor = 0;
    cmdlength = 0;
}

void viewbox::vb_release()
{
    if (text)
        exe->myfree(text, textid);
    text = nullptr;
    textid = 0;
}

// ---- the box thread

unsigned __stdcall viewbox::viewbox_threadentry(void* self)
{
    static_cast<viewbox*>(self)->viewbox_thread();
    return 0;
}

void viewbox::viewbox_thread()
{
    registerboxclass(L"quorvel.viewbox", boxthunk<viewbox, &viewbox::vbframe_proc>);
    const DWORD st = style == 1 ? WS_VISIBLE | WS_CAPTION : WS_VISIBLE | WS_OVERLAPPEDWINDOW;
    HWND w = CreateWindowExW(WS_EX_LAYERED | WS_EX_STATICEDGE, L"quorvel.viewbox", L"Quorvel - ViewBox", st,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hWndp, nullptr,
                             GetModuleHandleW(nullptr), this);
    frame = w;
    ev.set();  // made or not: the opening script thread goes on
    if (!w)
        return;
    boxtofront(w);
    boxmessageloop();
}

void viewbox::vb_sizechildren(int32_t w, int32_t h)
{
    if (status) {
        MoveWindow(view, 0, 0, w, std::max(0, h - lineheight), FALSE);
        MoveWindow(status, 0, h - lineheight, w, lineheight, FALSE);
    } else if (view) {
        MoveWindow(view, 0, 0, w, h, FALSE);
    }
}

LRESULT viewbox::vbframe_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    switch (msg) {
    case WM_CREATE: {
        frame = hwnd;
        const SIZE nc = boxframe(hwnd);
        ncwidth = nc.cx;
        ncheight = nc.cy;
        withstatus = statuson != 0;  // "status" after the open makes no bar
        // The colours a script set before the open reach no request: the
        // box's brushes are made for them here.
        vbgdi::remakebrush(viewbrush, backcolour);
        vbgdi::remakebrush(statusbrush, statusback);
        // The classes keep the stock brush: each box erases with its own.
        registerboxclass(L"quorvel.vbviewc", boxthunk<viewbox, &viewbox::vbview_proc>);
        registerboxclass(L"quorvel.vbstatus", boxthunk<viewbox, &viewbox::vbstatus_proc>);
        RECT rc;
        GetClientRect(hwnd, &rc);
        HINSTANCE inst = GetModuleHandleW(nullptr);
        if (withstatus) {
            CreateWindowExW(0, L"quorvel.vbviewc", L"", WS_CHILD | WS_VISIBLE, 0, 0, rc.right,
                            std::max(0L, rc.bottom - 20), hwnd, nullptr, inst, this);
            status = CreateWindowExW(0, L"quorvel.vbstatus", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0,
                                     rc.bottom - 20, rc.right, 20, hwnd, nullptr, inst, this);
        } else {
            CreateWindowExW(0, L"quorvel.vbviewc", L"", WS_CHILD | WS_VISIBLE, 0, 0, rc.right, rc.bottom, hwnd,
                            nullptr, inst, this);
        }
        SetLayeredWindowAttributes(hwnd, 0, 255, LWA_ALPHA);
        // The view placed the frame before the status bar existed: lay the
        // children out for the frame's final size now.
        GetClientRect(hwnd, &rc);
        vb_sizechildren(rc.right, rc.bottom);
        return 0;
    }
    case WM_SIZE:
        vb_sizechildren(LOWORD(lp), HIWORD(lp));
        return 0;
    case WM_SETFOCUS:
        if (view)
            SetFocus(view);
        return 0;
    case WM_VSCROLL:
        if (view)
            PostMessageW(view, WM_VSCROLL, wp, lp);
        return 0;
    case WM_LBUTTONDOWN:
        return 0;
    case WM_CLOSE:
        if (status)
            DestroyWindow(status);
        if (view)
            DestroyWindow(view);
        status = nullptr;
        view = nullptr;
        // The text buffer goes back on the script thread once this one ended;
        // the next open resets what points into it.
        DestroyWindow(hwnd);
        frame = nullptr;
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

// ---- the font and the sizes

void viewbox::vb_setfont(int32_t rebuild)
{
    if (!font) {
        const int32_t height = fontheight != 0 ? fontheight : (::fontheight != -1 ? ::fontheight : 0);
        const wchar_t* face = fontface[0] ? fontface : ::fontname;
        font = vbgdi::makefont(face, height, fontweight);
    }
    boxdc dc(view, font);
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    lineheight = std::max<int32_t>(1, tm.tmHeight + tm.tmExternalLeading);
    // The bit set means a variable pitch: its digits give the width.
    charwidth = (tm.tmPitchAndFamily & TMPF_FIXED_PITCH) ? dc.width(L"0", 1) : tm.tmAveCharWidth;
    charwidth = std::max<int32_t>(1, charwidth);
    if (rebuild)
        vb_buildlines(dc);
}

void viewbox::vb_buildlines(HDC dc)
{
    linecount = text ? vblayout::splitlines(text + 1, lines) : 0;
    if (!text)
        lines.assign(1, vblayout::lineentry{L"", 0});
    vbgdi::measure m(dc);
    int32_t widest = 0;
    for (uint32_t k = 0; k < linecount; ++k)
        widest = std::max(widest, vblayout::linewidth(lines[k].start, lines[k].length, charwidth * tabwidth, m));
    digitcount = static_cast<int32_t>(vblayout::digits(linecount));
    gutter = vblayout::gutterwidth(linecount, charwidth);
    contentwidth = widest + 10 + (numberson ? gutter : 0);
    contentheight = vb_textheight(dc);
}

int32_t viewbox::vb_textheight(HDC dc)
{
    vblayout::geometry g;
    g.margin = numberson ? gutter : 0;
    g.width = monitor.right - ncwidth;
    g.tabstop = charwidth * tabwidth;
    vbgdi::measure m(dc);
    return vblayout::textheight(lines, linecount, g, m, lineheight, monitor.bottom - ncheight);
}

void viewbox::vb_placeframe(bool scrollbar)
{
    const int32_t w = std::min<int32_t>(monitor.right, ncwidth + contentwidth +
                                                           (scrollbar ? GetSystemMetrics(SM_CXVSCROLL) : 0));
    const int32_t h = std::min<int32_t>(monitor.bottom, ncheight + contentheight + (withstatus ? lineheight : 0));
    MoveWindow(frame, monitor.left - w / 2, monitor.top - h / 2, w, h, TRUE);
}

// ---- the status bar

void viewbox::vb_paintstatus(HDC dc)
{
    SetTextColor(dc, statustext);
    SetBkColor(dc, statusback);
    SetBkMode(dc, OPAQUE);
    const int32_t width = viewrect.right;
    if (cmdmode) {
        TextOutW(dc, 0, 0, cmdbuf, cmdlength);
        return;
    }
    TextOutW(dc, 0, 0, path.c_str(), static_cast<int>(path.size()));
    if (!statusmsg.empty())
        TextOutW(dc, width / 2, 0, statusmsg.c_str(), static_cast<int>(statusmsg.size()));
    // The code point at the caret: a surrogate pair as one, at a line's end
    // its break (or the text's terminating 0).
    uint32_t code = 0;
    if (caretline >= 0 && static_cast<uint32_t>(caretline) < lines.size()) {
        const vblayout::lineentry& le = lines[static_cast<size_t>(caretline)];
        const uint32_t col = static_cast<uint32_t>(std::max(caretcolumn, 0));
        if (col <= le.length) {
            code = le.start[col];
            if (ishigh(code) && col + 1 < le.length && islow(le.start[col + 1]))
                code = joinpair(code, le.start[col + 1]);
        }
    }
    wchar_t pos[64];
    const int n = _snwprintf(pos, 64, L"[%d:%d 0x%x]", caretline + 1, caretcolumn + 1, code);
    SIZE sz = {};
    GetTextExtentPoint32W(dc, pos, n, &sz);
    TextOutW(dc, width - sz.cx, 0, pos, n);
}

LRESULT viewbox::vbstatus_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        vb_paintstatus(dc);
        int32_t cursorx = 0;
        if (cmdmode && cmdcursor > 0) {
            SIZE sz = {};
            GetTextExtentPoint32W(dc, cmdbuf, cmdcursor, &sz);
            cursorx = sz.cx;
        }
        if (old)
            SelectObject(dc, old);
        EndPaint(hwnd, &ps);
        if (cmdmode) {
            // The command line's cursor takes the thread's caret.
            CreateCaret(hwnd, nullptr, 2, lineheight);
            SetCaretPos(cursorx, 0);
            ShowCaret(hwnd);
        }
        return 0;
    }
    case WM_CHAR:
        // The view's echo of the command line (lParam the operation): the bar
        // draws the line as it stands.
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_ERASEBKGND: {
        if (!statusbrush)
            return 0;
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(reinterpret_cast<HDC>(wp), &rc, statusbrush);
        return 1;
    }
    case WM_SIZE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_CLOSE:
        status = nullptr;
        return 0;
    case WM_DESTROY:
        status = nullptr;
        return 0;
    case WM_CREATE:
    case WM_LBUTTONDOWN:
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}
