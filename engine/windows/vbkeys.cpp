// The ViewBox view's input: vi-style keys with counts, arrows and paging, the
// wheel and the mouse, the ":" command line, the requests of the script, caret
// moves with their scrolling, pair jumps and the visual selection.
// All of it runs on the box thread.
#include <windowsx.h>

#include <algorithm>
#include <ctime>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "windows/vbgdi.h"
#include "windows/viewbox.h"

namespace {

// Counts nest the view procedure; key moves act only at the outermost level.
struct depthcount {
    explicit depthcount(int32_t& d) : depth(d) { ++depth; }
    ~depthcount() { --depth; }
    depthcount(const depthcount&) = delete;
    depthcount& operator=(const depthcount&) = delete;
    int32_t& depth;
};

constexpr int32_t maxcount = 100000000;  // a count prefix stops growing here

}  // namespace

int32_t viewbox::vb_linelength(int32_t line) const
{
    return line >= 0 && static_cast<size_t>(line) < lines.size() ? static_cast<int32_t>(lines[line].length) : 0;
}

int32_t viewbox::vb_page() const
{
    if (rows.empty())
        return viewrect.bottom / std::max(lineheight, 1);
    return static_cast<int32_t>(rows.back().line) - static_cast<int32_t>(rows.front().line);
}

void viewbox::vb_notify(UINT msg, WPARAM wp, LPARAM lp)
{
    if (HWND sw = exe->scriptwnd)
        PostMessageW(sw, msg, wp, lp);
}

LRESULT viewbox::vbview_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    std::lock_guard<std::recursive_mutex> guard(lock);
    depthcount nest(procdepth);
    switch (msg) {
    case WM_CREATE:
        // The rest of the state was reset by the open (vb_reset).
        view = hwnd;
        GetClientRect(hwnd, &viewrect);
        vb_setfont(1);
        vb_placeframe(true);
        return 0;
    case WM_SIZE:
        viewrect = RECT{0, 0, LOWORD(lp), HIWORD(lp)};
        // The highlights are drawn anew where the caret then is.
        pairstate = 0;
        bandstate = 0;
        vb_layout();
        fullpending = true;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_ERASEBKGND: {
        if (!viewbrush)
            return 0;
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(reinterpret_cast<HDC>(wp), &rc, viewbrush);
        return 1;
    }
    case WM_PAINT:
        vb_paint(hwnd);
        return 0;
    case WM_SETFOCUS:
        hasfocus = true;
        vb_clampcaret();
        return 0;
    case WM_KILLFOCUS:
        hasfocus = false;
        DestroyCaret();
        return 0;
    case WM_LBUTTONDOWN: {
        int32_t line = 0, column = 0;
        if (vb_hittest(GET_X_LPARAM(lp), GET_Y_LPARAM(lp), line, column)) {
            caretline = line;
            caretcolumn = column;
            vb_takeaway();
            vb_showcaret();
            if (sel.on)
                vb_selupdate(1, 1);
            vb_notify(WM_APP + 2, static_cast<WPARAM>(caretline), 0);
        }
        return 0;
    }
    case WM_CHAR:
        if (keyson)
            vb_char(static_cast<wchar_t>(wp));
        return 0;
    case WM_KEYDOWN:
        vb_keydown(wp, lp);
        return 0;
    case WM_VSCROLL:
        vb_vscroll(LOWORD(wp));
        return 0;
    case WM_MOUSEWHEEL:
        vb_wheel(GET_WHEEL_DELTA_WPARAM(wp));
        return 0;
    case WM_USER:
        vb_request(wp);
        return 0;
    case WM_CLOSE:
        view = nullptr;
        return 0;
    case WM_DESTROY:
        if (view == hwnd)
            view = nullptr;
        hasfocus = false;
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

// ---- typed characters

void viewbox::vb_keymove(int32_t line, int32_t column)
{
    if (procdepth == 1)
        vb_moveto(line, column);
}

void viewbox::vb_right()
{
    // From a line's last character on to the next line's start.
    lastdir = 0;
    if (caretcolumn >= vb_linelength(caretline) - 1 && caretline + 1 < static_cast<int32_t>(linecount))
        vb_keymove(caretline + 1, 0);
    else
        vb_keymove(caretline, caretcolumn + 1);
}

void viewbox::vb_char(wchar_t c)
{
    if (cmdmode) {
        // Typed into the command line, a character is not a view key too.
        if (c == 8 || c == 27 || c == L'\r' || c == L'\n')
            return;
        if (cmdlength > 255) {
            exe->boxlog(L"command buffer overflow error.\n");
            return;
        }
        std::copy_backward(cmdbuf + cmdcursor, cmdbuf + cmdlength, cmdbuf + cmdlength + 1);
        cmdbuf[cmdcursor++] = c;
        ++cmdlength;
        if (status)
            PostMessageW(status, WM_CHAR, c, 0);
        return;
    }
    const int32_t len = vb_linelength(caretline);
    if (countpending) {
        countpending = false;
        switch (c) {
        case L'j': vb_keymove(caretline + count, caretcolumn); break;
        case L'k': vb_keymove(caretline - count, caretcolumn); break;
        case L'l':
            lastdir = 0;
            vb_keymove(caretline, caretcolumn + count);
            break;
        case L'h':
            lastdir = 1;
            vb_keymove(caretline, caretcolumn - count);
            break;
        default:
            if (c >= L'0' && c <= L'9') {
                count = std::min(count * 10 + (c - L'0'), maxcount);
                countpending = true;
            }
            break;
        }
        return;
    }
    switch (c) {
    case L'$': vb_keymove(caretline, len > 0 ? len - 1 : 0); break;
    case L'%': vb_gotopair(); break;
    case L'0': vb_keymove(caretline, 0); break;
    case L':':
        cmdmode = true;
        cmdcursor = 0;
        cmdlength = 0;
        if (status)
            PostMessageW(status, WM_CHAR, 0, 1);
        break;
    case L'G': PostMessageW(view, WM_VSCROLL, SB_BOTTOM, 0); break;
    case L'g':
        if (prevchar == L'g')
            PostMessageW(view, WM_VSCROLL, SB_TOP, 0);
        break;
    case L'V':
    case L'v':
        if (!sel.on) {
            sel.on = true;
            sel.linewise = c == L'V';
            sel.anchor = {-1, -1};
            vb_selupdate(1, 1);
        } else {
            vb_selupdate(0, 1);
        }
        break;
    case L'h':
        lastdir = 1;
        if (caretcolumn == 0 && caretline > 0)
            vb_keymove(caretline - 1, std::max(vb_linelength(caretline - 1) - 1, 0));
        else
            vb_keymove(caretline, caretcolumn - 1);
        break;
    case L'j': vb_keymove(caretline + 1, caretcolumn); break;
    case L'k': vb_keymove(caretline - 1, caretcolumn); break;
    case L'l': vb_right(); break;
    case L'y':
        if (sel.on) {
            vb_yank();
            vb_selupdate(0, 1);
        }
        break;
    default:
        if (c >= L'1' && c <= L'9') {
            countpending = true;
            count = c - L'0';
        }
        break;
    }
    prevchar = c;
}

// ---- key-downs

void viewbox::vb_keydown(WPARAM key, LPARAM lp)
{
    if (!keyson) {
        vb_notify(WM_KEYDOWN, key, lp);
        return;
    }
    if (cmdmode) {
        vb_cmdkey(key);
        return;
    }
    if (key < VK_RETURN || key > VK_DOWN || (key > VK_RETURN && key < VK_PRIOR)) {
        vb_notify(WM_KEYDOWN, key, lp);
        return;
    }
    switch (key) {
    case VK_RETURN: vb_notify(WM_APP + 2, static_cast<WPARAM>(caretline), 0); break;
    case VK_PRIOR:
    case VK_NEXT:
        vb_takeaway();
        PostMessageW(view, WM_VSCROLL, key == VK_PRIOR ? SB_PAGEUP : SB_PAGEDOWN, 0);
        break;
    case VK_END: PostMessageW(view, WM_VSCROLL, SB_BOTTOM, 0); break;
    case VK_HOME: PostMessageW(view, WM_VSCROLL, SB_TOP, 0); break;
    case VK_LEFT: vb_char(L'h'); break;
    case VK_UP: vb_keymove(caretline - 1, caretcolumn); break;
    case VK_RIGHT: vb_right(); break;
    case VK_DOWN: vb_keymove(caretline + 1, caretcolumn); break;
    default: break;
    }
}

void viewbox::vb_cmdkey(WPARAM key)
{
    switch (key) {
    case VK_BACK:
        if (cmdcursor > 0) {
            if (status)
                SendMessageW(status, WM_CHAR, 0, 4);
            std::copy(cmdbuf + cmdcursor, cmdbuf + cmdlength, cmdbuf + cmdcursor - 1);
            --cmdcursor;
            --cmdlength;
        }
        break;
    case VK_RETURN:
        if (cmdlength > 255) {
            exe->boxlog(L"command buffer overflow error.\n");
        } else {
            cmdbuf[cmdlength] = 0;
            cmdmode = false;  // the view's caret comes back with the move
            vb_gotoline();
        }
        [[fallthrough]];
    case VK_ESCAPE:
        cmdmode = false;
        if (hasfocus && caretkind == 0 && view) {
            CreateCaret(view, nullptr, std::max(caretwidth, 1), lineheight);
            SetCaretPos(caretx, carety);
            ShowCaret(view);
        }
        if (status)
            InvalidateRect(status, nullptr, TRUE);
        break;
    case VK_LEFT:
        if (cmdcursor > 0) {
            --cmdcursor;
            if (status)
                PostMessageW(status, WM_CHAR, 0, 5);
        }
        break;
    case VK_RIGHT:
        if (cmdcursor < cmdlength) {
            ++cmdcursor;
            if (status)
                PostMessageW(status, WM_CHAR, 0, 6);
        }
        break;
    case VK_DELETE:
        if (cmdcursor < cmdlength) {
            if (status)
                SendMessageW(status, WM_CHAR, 0, 3);
            std::copy(cmdbuf + cmdcursor + 1, cmdbuf + cmdlength, cmdbuf + cmdcursor);
            --cmdlength;
        }
        break;
    default: break;
    }
}

// ---- scrolling requests

void viewbox::vb_scrollline(int32_t pos)
{
    vb_takeaway();
    vb_scrollto(pos);
    vb_clampcaret();
}

int32_t viewbox::vb_intoview(int32_t line, int32_t column, int32_t beyond) const
{
    if (rows.empty())
        return top;
    const vbrow& first = rows.front();
    const vbrow& last = rows.back();
    if (line < static_cast<int32_t>(first.line) ||
        (line == static_cast<int32_t>(first.line) && column < static_cast<int32_t>(first.start)))
        return line;
    if (line > static_cast<int32_t>(last.line) ||
        (line == static_cast<int32_t>(last.line) && !last.last &&
         column >= static_cast<int32_t>(last.start + last.length)))
        return static_cast<int32_t>(first.line) + (line - static_cast<int32_t>(last.line)) + beyond;
    return top;
}

void viewbox::vb_vscroll(int32_t code)
{
    if (!view)
        return;
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    if (!GetScrollInfo(frame, SB_VERT, &si))
        si.nTrackPos = top;
    const int32_t page = vb_page();
    const int32_t lastline = std::max(0, static_cast<int32_t>(linecount) - 1);
    int32_t pos = top;
    switch (code) {
    case SB_LINEUP: pos -= 1; break;
    case SB_LINEDOWN: pos += 1; break;
    case SB_PAGEUP:
        pos -= page;
        caretline = std::max(0, caretline - page);
        break;
    case SB_PAGEDOWN:
        pos += page;
        caretline = std::min(lastline, caretline + page);
        break;
    case SB_THUMBTRACK: pos = si.nTrackPos; break;
    case SB_TOP:
        pos = 0;
        caretline = 0;
        caretcolumn = 0;
        break;
    case SB_BOTTOM:
        // The last line at the bottom, however its lines wrap: the scroll
        // stops at the last top line.
        if (!endshown)
            pos = static_cast<int32_t>(linecount);
        caretline = lastline;
        caretcolumn = 0;
        break;
    default: break;
    }
    vb_scrollline(pos);
}

void viewbox::vb_wheel(int32_t delta)
{
    const int32_t lastline = std::max(0, static_cast<int32_t>(linecount) - 1);
    caretline = delta > 0 ? std::max(0, caretline - 10) : std::min(lastline, caretline + 10);
    vb_scrollline(std::max(0, caretline - vb_page() / 2));
}

// ---- requests of the script

void viewbox::vb_request(WPARAM code)
{
    switch (code) {
    case vbreqfont:
        // The script made the new font: measure the text with it again.
        vb_setfont(1);
        top = 0;
        if (frame)
            vb_placeframe(false);
        vb_layout();
        fullpending = true;
        InvalidateRect(view, nullptr, FALSE);
        if (status)
            InvalidateRect(status, nullptr, TRUE);
        break;
    case vbreqsetcar: {
        const int32_t line = reqline, column = std::max(reqcolumn, 0);
        if (line < 0 || line >= static_cast<int32_t>(linecount))
            break;
        vb_flush();
        vb_takeaway();
        const bool before = rows.empty() || line < static_cast<int32_t>(rows.front().line);
        if (before || line >= static_cast<int32_t>(rows.back().line)) {
            const int32_t half = rows.empty() ? 5 : vb_page() / 2;
            caretline = line;
            caretcolumn = column;
            vb_scrollline(std::max(0, line - half));
        } else if (procdepth == 1) {
            vb_moveto(line, column);
        }
        break;
    }
    case vbreqcolor:
        vbgdi::remakebrush(viewbrush, backcolour);
        fullpending = true;
        InvalidateRect(view, nullptr, TRUE);
        break;
    case vbreqstatus:
        vbgdi::remakebrush(statusbrush, statusback);
        [[fallthrough]];
    case vbreqstatusmsg:
        if (status)
            InvalidateRect(status, nullptr, TRUE);
        break;
    case vbreqrefresh:
        vb_layout();
        fullpending = true;
        InvalidateRect(view, nullptr, FALSE);
        break;
    case vbreqstyle:
        if (frame) {
            // The frame keeps being shown, and keeps its scroll bar.
            const LONG_PTR keep = GetWindowLongPtrW(frame, GWL_STYLE) & (WS_VISIBLE | WS_VSCROLL);
            SetWindowLongPtrW(frame, GWL_STYLE, (style == 1 ? WS_CAPTION : WS_OVERLAPPEDWINDOW) | keep);
            SetWindowPos(frame, nullptr, 0, 0, 0, 0,
                         SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED |
                             SWP_SHOWWINDOW);
        }
        break;
    default: break;
    }
}

// ---- caret moves

void viewbox::vb_moveto(int32_t line, int32_t column)
{
    if (rows.empty())
        return;
    line = std::clamp(line, 0, std::max(0, static_cast<int32_t>(linecount) - 1));
    column = std::max(column, 0);
    caretline = line;
    caretcolumn = column;
    vb_takeaway();
    // Past the last row, five lines more come into view.
    const int32_t newtop = vb_intoview(line, column, 5);
    if (newtop != top)
        vb_scrollline(newtop);
    else
        vb_clampcaret();
}

void viewbox::vb_clampcaret()
{
    if (!rows.empty())
        caretline = std::clamp(caretline, static_cast<int32_t>(rows.front().line),
                               static_cast<int32_t>(rows.back().line));
    const int32_t len = vb_linelength(caretline);
    if (caretcolumn >= len)
        caretcolumn = len > 1 ? len - 1 : 0;
    caretcolumn = std::max(caretcolumn, 0);
    vb_showcaret();
    if (sel.on)
        vb_selupdate(1, 1);
}

bool viewbox::vb_hittest(int32_t x, int32_t y, int32_t& line, int32_t& column)
{
    if (rows.empty() || y < rows.front().y || !view)
        return false;
    size_t k = rows.size() - 1;
    while (k > 0 && rows[k].y > y)
        --k;
    const vbrow& r = rows[k];
    line = static_cast<int32_t>(r.line);
    column = 0;
    const vblayout::geometry g = vb_geometry();
    if (x < g.margin || r.length == 0)
        return true;
    size_t first = k;
    while (first > 0 && rows[first - 1].line == r.line)
        --first;
    const vblayout::lineentry& le = lines[r.line];
    boxdc dc(view, font);
    vbgdi::measure m(dc);
    vblayout::linelayout lay;
    layline(le.start, le.length, g, m, static_cast<uint32_t>(k - first + 1), true, lay);
    if (k - first < lay.rows.size())
        column = static_cast<int32_t>(vblayout::hitcolumn(lay, lay.rows[k - first], x));
    return true;
}

// ---- pairs and the command line

void viewbox::vb_gotopair()
{
    const vbmarks::pairrec* p = pairs.at(caretline, caretcolumn);
    if (!p) {
        exe->boxlog(L"no pairposition entry...\n");
        return;
    }
    vb_takeaway();
    const vbmarks::textpos target{p->pline, p->pcolumn};
    const __time64_t started = _time64(nullptr);
    int32_t attempts = 0;
    while (!vb_displayed(target.line, target.column)) {
        if (target.line < 0 || target.line >= static_cast<int32_t>(linecount)) {
            exe->boxlog(L" invalid line number:%d \n", target.line);
            return;
        }
        const bool down = target.line >= caretline;
        if (down && attempts > 19)
            return exe->boxfatal(L" invalid loop error in goto pair pos'..");
        if (!down && attempts > 0)
            return exe->boxfatal(L" invalid loop error in gotopsirp_up..");
        // The first step brings the partner into view as a move does, without
        // lines beyond it; going down, each further step is one line.
        const int32_t newtop = attempts == 0 && !rows.empty() ? vb_intoview(target.line, target.column, 0)
                               : down                         ? top + 1
                                                              : target.line;
        painted = 0;
        vb_scrollto(newtop);
        ++attempts;
        if (_time64(nullptr) - started > 5)
            return exe->boxfatal(down ? L" time over error in gotopsirp.." : L" time over error in goto pair pos...");
    }
    vb_takeaway();
    caretline = target.line;
    caretcolumn = target.column;
    vb_clampcaret();
}

void viewbox::vb_gotoline()
{
    if (cmdlength == 0 || cmdlength > 9)
        return;
    int32_t n = 0;
    for (int32_t k = 0; k < cmdlength; ++k) {
        if (cmdbuf[k] < L'0' || cmdbuf[k] > L'9')
            return;
        n = n * 10 + (cmdbuf[k] - L'0');
    }
    if (n < 1 || n > static_cast<int32_t>(linecount))
        return;
    caretline = n - 1;
    caretcolumn = 0;
    vb_scrollline(std::max(0, n - 1 - vb_page() / 2));
}

// ---- the selection

void viewbox::vb_selupdate(int32_t on, int32_t mode)
{
    int32_t from, to;
    if (on) {
        const vbmarks::textpos now{caretline, caretcolumn};
        if (sel.anchor.line < 0) {
            sel.anchor = sel.linewise ? vbmarks::textpos{caretline, 0} : now;
            selshown = now;
        } else if (now.line == selshown.line && now.column == selshown.column) {
            sel.caret = now;
            return;
        }
        from = std::min(selshown.line, now.line);
        to = std::max(selshown.line, now.line);
        sel.caret = now;
        selshown = now;
    } else {
        from = sel.first().line;
        to = sel.last().line;
        sel.on = false;
        sel.anchor = {-1, -1};
    }
    // The rows of the lines whose selection changed are painted again.
    int32_t y0 = -1, y1 = -1;
    for (const vbrow& r : rows)
        if (static_cast<int32_t>(r.line) >= from && static_cast<int32_t>(r.line) <= to) {
            if (y0 < 0)
                y0 = r.y;
            y1 = r.y + lineheight;
        }
    if (y0 >= 0 && view) {
        const RECT rc{0, y0, viewrect.right, y1};
        InvalidateRect(view, &rc, FALSE);
    }
    if (mode == 1)
        vb_flush();
}

void viewbox::vb_yank()
{
    const std::wstring copied = sel.text(lines, linecount);
    if (const wchar_t* failed = ExeScr::putcliptext(hWndp, copied.c_str()))
        exe->boxfatal(failed);
}
