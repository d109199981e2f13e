// The ViewBox view: the rows on screen, painting them with line numbers, marks
// and the selection, scrolling, and the caret with its pair highlight and band.
// All of it runs on the box thread.
#include <algorithm>

#include "runtime/exescr.h"
#include "runtime/utf16.h"
#include "windows/vbgdi.h"
#include "windows/viewbox.h"

namespace {

// The displayed rows of `line`: the first index and how many.
bool linerows(const std::vector<vbrow>& rows, int32_t line, size_t& first, size_t& n)
{
    for (size_t k = 0; k < rows.size(); ++k) {
        if (static_cast<int32_t>(rows[k].line) != line)
            continue;
        first = k;
        n = 1;
        while (k + n < rows.size() && rows[k + n].line == rows[k].line)
            ++n;
        return true;
    }
    return false;
}

}  // namespace

vblayout::geometry viewbox::vb_geometry() const
{
    vblayout::geometry g;
    g.margin = numberson ? gutter : 0;
    g.width = viewrect.right;
    g.tabstop = charwidth * tabwidth;
    return g;
}

vblayoutkey viewbox::vb_layoutkey() const
{
    const vblayout::geometry g = vb_geometry();
    return vblayoutkey{top, g.margin, g.width, viewrect.bottom, g.tabstop, lineheight, font, lines.data(), linecount};
}

void viewbox::vb_layout()
{
    if (!view)
        return;
    boxdc dc(view, font);
    vbgdi::measure m(dc);
    vb_layout(m);
}

void viewbox::vb_layout(vblayout::measure& m)
{
    ++layouts;
    laidout = vb_layoutkey();
    rows.clear();
    endshown = false;
    if (lineheight <= 0)
        return;
    const vblayout::geometry g = vb_geometry();
    vblayout::linelayout lay;
    int32_t y = 0;
    for (uint32_t line = static_cast<uint32_t>(std::max(top, 0)); line < linecount; ++line) {
        const int32_t room = (viewrect.bottom - y) / lineheight;
        if (room <= 0)
            break;
        layline(lines[line].start, lines[line].length, g, m, static_cast<uint32_t>(room), false, lay);
        for (const vblayout::rowspan& r : lay.rows) {
            rows.push_back({line, r.start, y, r.length, r.last});
            y += lineheight;
        }
        if (!lay.complete)
            break;
        if (line + 1 == linecount)
            endshown = true;
    }
}

int32_t viewbox::vb_lasttop()
{
    ++lasttops;
    if (linecount == 0 || !view)
        return 0;
    boxdc dc(view, font);
    vbgdi::measure m(dc);
    const vblayout::geometry g = vb_geometry();
    vblayout::linelayout lay;
    const int32_t room = viewrect.bottom / std::max(lineheight, 1);
    int32_t used = 0;
    int32_t t = static_cast<int32_t>(linecount);
    while (t > 0) {
        const vblayout::lineentry& le = lines[static_cast<size_t>(t - 1)];
        layline(le.start, le.length, g, m, static_cast<uint32_t>(room - used + 1), false, lay);
        if (used + static_cast<int32_t>(lay.rows.size()) > room)
            break;
        used += static_cast<int32_t>(lay.rows.size());
        --t;
    }
    // Not even the last line fits: it goes to the top all the same.
    return std::min(t, static_cast<int32_t>(linecount) - 1);
}

bool viewbox::vb_displayed(int32_t line, int32_t column) const
{
    for (const vbrow& r : rows) {
        if (static_cast<int32_t>(r.line) != line)
            continue;
        if (column < static_cast<int32_t>(r.start + r.length) || (r.start == 0 && column <= 0) ||
            (r.last && column >= static_cast<int32_t>(r.start + r.length)))
            return true;
    }
    return false;
}

bool viewbox::vb_cell(int32_t line, int32_t column, RECT& cell)
{
    size_t first = 0, n = 0;
    if (!view || column < 0 || !linerows(rows, line, first, n))
        return false;
    const vblayout::lineentry& le = lines[static_cast<size_t>(line)];
    boxdc dc(view, font);
    vbgdi::measure m(dc);
    vblayout::linelayout lay;
    layline(le.start, le.length, vb_geometry(), m, static_cast<uint32_t>(n), true, lay);
    const auto col = static_cast<uint32_t>(column);
    const int32_t ri = vblayout::rowofcolumn(lay, col);
    if (ri < 0 || static_cast<size_t>(ri) >= n)
        return false;
    const vblayout::rowspan& rs = lay.rows[static_cast<size_t>(ri)];
    int32_t left, right;
    if (col < lay.left.size()) {
        left = lay.left[col];
        right = lay.right[col];
        if (col + 1 < lay.right.size() && col + 1 < le.length && islow(le.start[col + 1]))
            right = lay.right[col + 1];
    } else {
        // Past the line's end (an empty line): a cell one character wide.
        left = rs.length ? lay.right[rs.start + rs.length - 1] : vb_geometry().margin;
        right = left + charwidth;
    }
    if (left >= viewrect.right)
        return false;
    const int32_t y = rows[first + static_cast<size_t>(ri)].y;
    cell = RECT{left, y, std::max(right, left + 1), y + lineheight};
    return true;
}

// ---- painting

void viewbox::vb_paintline(HDC dc, vbmarks::markstate& st, size_t firstrow, size_t nrows, vbgdi::brushes& brushes,
                           const RECT& update)
{
    const vbrow& r0 = rows[firstrow];
    const auto line = static_cast<int32_t>(r0.line);
    const vblayout::lineentry& le = lines[r0.line];
    const vbmarks::linemarks* lm = marks.find(r0.line);
    if (numberson)
        st.numberreset();
    const int32_t ytop = r0.y;
    const int32_t ybottom = rows[firstrow + nrows - 1].y + lineheight;
    if (ybottom <= update.top || ytop >= update.bottom) {
        st.applyline(lm, le.length);  // not drawn, but its marks carry on
        return;
    }
    const int32_t width = viewrect.right;
    vbgdi::measure m(dc);
    vblayout::linelayout lay;
    layline(le.start, le.length, vb_geometry(), m, static_cast<uint32_t>(nrows), true, lay);
    const auto fillrect = [&](int32_t x0, int32_t y, int32_t x1, HBRUSH b) {
        if (x1 <= x0 || !b)
            return;
        const RECT rc{x0, y, x1, y + lineheight};
        FillRect(dc, &rc, b);
    };
    const auto fillbrush = [&](bool selected) {
        if (selected)
            return brushes.get(selback);
        return st.brush ? brushes.get(st.brushcolour) : viewbrush;
    };
    if (numberson) {
        for (size_t k = 0; k < lay.rows.size(); ++k)
            fillrect(0, rows[firstrow + k].y, gutter, viewbrush);
        if (r0.start == 0) {
            SetTextColor(dc, numbercolour);
            SetBkColor(dc, backcolour);
            std::vector<vblayout::digitcell> cells;
            vblayout::numbercells(r0.line + 1, static_cast<uint32_t>(digitcount), charwidth, cells);
            for (const vblayout::digitcell& d : cells)
                TextOutW(dc, d.x, ytop, &d.digit, 1);
        }
    }
    // The records within the line apply at their columns, in order.
    size_t nrec = 0;
    if (lm)
        while (nrec < lm->recs.size() && lm->recs[nrec].column <= static_cast<int32_t>(le.length))
            ++nrec;
    size_t k = 0;
    const auto applyto = [&](uint32_t col) {
        while (k < nrec && lm->recs[k].column <= static_cast<int32_t>(col))
            st.apply(lm->recs[k++]);
    };
    for (size_t ri = 0; ri < lay.rows.size(); ++ri) {
        const vblayout::rowspan& rs = lay.rows[ri];
        const int32_t y = rows[firstrow + ri].y;
        const uint32_t end = rs.start + rs.length;
        uint32_t c = rs.start;
        while (c < end) {
            applyto(c);
            const bool s = sel.holds(line, static_cast<int32_t>(c));
            if (le.start[c] == L'\t') {
                fillrect(lay.left[c], y, lay.right[c], fillbrush(s));
                ++c;
                continue;
            }
            uint32_t e = c + 1;
            while (e < end && le.start[e] != L'\t' && !(k < nrec && lm->recs[k].column <= static_cast<int32_t>(e)) &&
                   sel.holds(line, static_cast<int32_t>(e)) == s)
                ++e;
            SetTextColor(dc, s ? seltext : st.text);
            SetBkColor(dc, s ? selback : st.back);
            TextOutW(dc, lay.left[c], y, le.start + c, static_cast<int>(e - c));
            c = e;
        }
        if (rs.last)
            applyto(le.length);
        const int32_t x = rs.length ? lay.right[end - 1] : vb_geometry().margin;
        const bool endsel = rs.last ? sel.holdsbreak(line, le.length)
                                    : sel.holds(line, static_cast<int32_t>(end) - 1) &&
                                          sel.holds(line, static_cast<int32_t>(end));
        fillrect(x, y, width, fillbrush(endsel));
    }
}

void viewbox::vb_paintrows(HDC dc, const RECT& update)
{
    SetBkMode(dc, OPAQUE);
    vbgdi::brushes brushes;
    vbmarks::markstate st(vbmarks::colours{textcolour, backcolour});
    // The marks of the lines above the top are in force where it starts.
    for (const vbmarks::linemarks& lm : marks.all()) {
        if (static_cast<int32_t>(lm.line) >= top || lm.line >= linecount)
            break;
        if (numberson)
            st.numberreset();
        st.applyline(&lm, lines[lm.line].length);
    }
    for (size_t i = 0; i < rows.size();) {
        size_t j = i + 1;
        while (j < rows.size() && rows[j].line == rows[i].line)
            ++j;
        vb_paintline(dc, st, i, j - i, brushes, update);
        i = j;
    }
    const int32_t bottom = rows.empty() ? 0 : rows.back().y + lineheight;
    if (bottom < viewrect.bottom && viewbrush) {
        const RECT rest{0, bottom, viewrect.right, viewrect.bottom};
        FillRect(dc, &rest, viewbrush);
    }
}

void viewbox::vb_paint(HWND hwnd)
{
    ++paintdepth;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HGDIOBJ oldfont = font ? SelectObject(dc, font) : nullptr;
    const bool full = fullpending;
    if (full) {
        // Rows already laid out for this view (by a scroll, a size or a
        // request) are not laid out again.
        if (!(laidout == vb_layoutkey())) {
            vbgdi::measure m(dc);
            vb_layout(m);
        }
        fullpending = false;
    }
    vb_paintrows(dc, ps.rcPaint);
    RECT pc;
    if (pairstate == 2 && vb_cell(partner.line, partner.column, pc)) {
        paircell = pc;  // where it is now, for its taking away
        const vblayout::lineentry& le = lines[static_cast<size_t>(partner.line)];
        const auto col = static_cast<uint32_t>(partner.column);
        SetTextColor(dc, pairtext);
        SetBkColor(dc, pairback);
        if (col < le.length && le.start[col] != L'\t') {
            const int n = col + 1 < le.length && islow(le.start[col + 1]) ? 2 : 1;
            TextOutW(dc, paircell.left, paircell.top, le.start + col, n);
        } else if (HBRUSH b = CreateSolidBrush(pairback)) {
            FillRect(dc, &paircell, b);
            DeleteObject(b);
        }
    }
    if (bandstate == 2) {
        HBRUSH b = CreateSolidBrush(bandcolour);
        if (!b) {
            exe->boxlog(L"%s", L"CreateSolidBrush has failed.");
        } else {
            HPEN pen = CreatePen(PS_SOLID, 1, bandcolour);
            HGDIOBJ oldb = SelectObject(dc, b);
            HGDIOBJ oldp = pen ? SelectObject(dc, pen) : nullptr;
            if (!SetROP2(dc, R2_MERGEPEN))
                exe->boxlog(L"setROP2 error\n");
            Rectangle(dc, 0, bandtop, viewrect.right, bandtop + bandheight);
            SelectObject(dc, oldb);
            if (oldp)
                SelectObject(dc, oldp);
            if (pen)
                DeleteObject(pen);
            DeleteObject(b);
        }
    }
    if (oldfont)
        SelectObject(dc, oldfont);
    EndPaint(hwnd, &ps);
    painted = 1;
    --paintdepth;
    if (full) {
        vb_updatescrollbar();
        if (hasfocus)
            vb_clampcaret();
    }
}

void viewbox::vb_updatescrollbar()
{
    if (rows.empty() || !frame)
        return;
    const int32_t first = static_cast<int32_t>(rows.front().line);
    const int32_t last = static_cast<int32_t>(rows.back().line);
    if (first == 0 && endshown) {
        if (scrollshown) {
            scrollshown = false;
            ShowScrollBar(frame, SB_VERT, FALSE);
        }
        return;
    }
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = static_cast<int>(linecount) - 1;
    si.nPage = static_cast<UINT>(last - first);
    si.nPos = first;
    SetScrollInfo(frame, SB_VERT, &si, TRUE);
    if (!scrollshown) {
        scrollshown = true;
        ShowScrollBar(frame, SB_VERT, TRUE);
    }
}

void viewbox::vb_flush()
{
    if (paintdepth != 0)
        return;
    if (view)
        UpdateWindow(view);
    if (status)
        UpdateWindow(status);
}

// ---- scrolling

void viewbox::vb_scrollto(int32_t newtop)
{
    newtop = std::clamp(newtop, 0, std::max(0, vb_lasttop()));
    if (!view)
        return;
    if (scrollshown)
        SetScrollPos(frame, SB_VERT, newtop, TRUE);
    if (newtop == top && !rows.empty())
        return;
    if (rows.empty()) {
        top = newtop;
        vb_layout();
        fullpending = true;
        InvalidateRect(view, nullptr, FALSE);
        vb_flush();
        return;
    }
    // What waits to be painted is painted before pixels move.
    vb_flush();
    const std::vector<vbrow> old = rows;
    const int32_t oldtop = top;
    const int32_t span = static_cast<int32_t>(old.back().line) - static_cast<int32_t>(old.front().line);
    const int32_t distant = span / 2 + span / 4;
    top = newtop;
    vb_layout();
    fullpending = true;
    const int32_t height = viewrect.bottom;
    const int32_t oldbottom = old.back().y + lineheight;
    const int32_t newbottom = rows.empty() ? 0 : rows.back().y + lineheight;
    int32_t shift = 0;
    if (newtop < oldtop && oldtop - newtop < distant) {
        size_t first = 0, n = 0;
        if (linerows(rows, oldtop, first, n))
            shift = rows[first].y;  // the old top line's rows move down to here
    } else if (newtop > oldtop && newtop - oldtop < distant) {
        size_t first = 0, n = 0;
        if (linerows(old, newtop, first, n))
            shift = -old[first].y;  // the new top line's rows move up to the top
    }
    if (shift == 0) {
        if (newtop != oldtop)
            InvalidateRect(view, nullptr, FALSE);
    } else {
        const RECT clip{0, 0, viewrect.right, height};
        ScrollWindowEx(view, 0, shift, nullptr, &clip, nullptr, nullptr, SW_INVALIDATE);
        // Below the rows that moved in whole, everything is painted anew.
        const RECT rest{0, std::min(oldbottom + shift, newbottom), viewrect.right, height};
        InvalidateRect(view, &rest, FALSE);
    }
    vb_flush();
}

// ---- the caret, the pair partner and the band

void viewbox::vb_showcaret()
{
    if (view && !rows.empty()) {
        const int32_t len = vb_linelength(caretline);
        if (caretcolumn > 0 && caretcolumn < len && islow(lines[static_cast<size_t>(caretline)].start[caretcolumn]))
            caretcolumn += lastdir == 1 ? -1 : 1;
        RECT cell;
        if (vb_cell(caretline, caretcolumn, cell)) {
            caretx = cell.left;
            carety = cell.top;
            caretwidth = cell.right - cell.left;
            if (hasfocus && !cmdmode) {
                if (caretkind == 0) {
                    CreateCaret(view, nullptr, caretwidth, lineheight);
                    SetCaretPos(caretx, carety);
                    ShowCaret(view);
                } else {
                    DestroyCaret();
                }
            }
            if (pairstate == 0) {
                const vbmarks::pairrec* p = pairs.at(caretline, caretcolumn);
                RECT pc;
                if (p && vb_cell(p->pline, p->pcolumn, pc)) {
                    partner = {p->pline, p->pcolumn};
                    paircell = pc;
                    pairstate = 2;
                    InvalidateRect(view, &paircell, FALSE);
                }
            }
            if (caretkind == 1 && bandstate == 0) {
                bandtop = carety + lineheight - bandheight;
                bandstate = 2;
                const RECT strip{0, bandtop, viewrect.right, bandtop + bandheight};
                InvalidateRect(view, &strip, FALSE);
            }
        }
    }
    if (status)
        InvalidateRect(status, nullptr, TRUE);
    vb_flush();
}

void viewbox::vb_pairunmark()
{
    if (pairstate == 0)
        return;
    pairstate = 0;
    if (view)
        InvalidateRect(view, &paircell, FALSE);
    vb_flush();
}

void viewbox::vb_bandrestore()
{
    if (bandstate == 0)
        return;
    bandstate = 0;
    const RECT strip{0, bandtop, viewrect.right, bandtop + bandheight};
    if (view)
        InvalidateRect(view, &strip, FALSE);
    vb_flush();
}

void viewbox::vb_takeaway()
{
    vb_pairunmark();
    vb_bandrestore();
}
