// Layout arithmetic of the ViewBox, window-free.
#include "windows/vblayout.h"

#include <algorithm>

#include "runtime/utf16.h"

namespace vblayout {

uint32_t splitlines(const wchar_t* text, std::vector<lineentry>& lines)
{
    lines.clear();
    const wchar_t* start = text;
    const wchar_t* p = text;
    for (; *p; ++p) {
        if (*p != L'\n' && *p != L'\r')
            continue;
        lines.push_back({start, static_cast<uint32_t>(p - start)});
        if (p[0] == L'\r' && p[1] == L'\n')
            ++p;
        start = p + 1;
    }
    if (p > start)
        lines.push_back({start, static_cast<uint32_t>(p - start)});
    const auto count = static_cast<uint32_t>(lines.size());
    if (count == 0)
        lines.push_back({text, 0});
    return count;
}

uint32_t digits(uint32_t n)
{
    uint32_t d = 0;
    for (; n; n /= 10)
        ++d;
    return d;
}

int32_t gutterwidth(uint32_t count, int32_t charwidth)
{
    return static_cast<int32_t>(digits(count) + 1) * charwidth;
}

void numbercells(uint32_t number, uint32_t ndigits, int32_t charwidth, std::vector<digitcell>& out)
{
    out.clear();
    for (int32_t d = static_cast<int32_t>(ndigits) - 1; d >= 0 && number; --d, number /= 10)
        out.push_back({d * charwidth, static_cast<wchar_t>(L'0' + number % 10)});
}

int32_t nexttab(int32_t x, int32_t margin, int32_t stop)
{
    if (stop <= 0)
        stop = 1;
    return ((x - margin) / stop + 1) * stop + margin;
}

namespace {

// A run measured at once: at most this many characters, or the wrap width
// when larger (no character is narrower than a pixel that matters here), so a
// long line without tabs costs the same per row.
uint32_t runcap(int32_t width) { return static_cast<uint32_t>(std::max<int32_t>(256, width)); }

}  // namespace

void layline(const wchar_t* text, uint32_t len, const geometry& g, measure& m, uint32_t maxrows, bool cells,
             linelayout& out)
{
    out.rows.clear();
    out.left.clear();
    out.right.clear();
    out.complete = false;
    if (cells) {
        out.left.reserve(len);
        out.right.reserve(len);
    }
    std::vector<int32_t> dx;
    int32_t x = g.margin;
    uint32_t rowstart = 0;
    uint32_t col = 0;
    // Ends the current row before `next`; false when the row limit is reached.
    const auto endrow = [&](uint32_t next, bool last) {
        out.rows.push_back({rowstart, next - rowstart, last});
        rowstart = next;
        x = g.margin;
        return maxrows == 0 || out.rows.size() < maxrows;
    };
    while (col < len) {
        if (text[col] == L'\t') {
            const int32_t next = nexttab(x, g.margin, g.tabstop);
            if (cells) {
                out.left.push_back(x);
                out.right.push_back(std::min(next, std::max(x, g.width)));
            }
            ++col;
            if (next < g.width) {
                x = next;
            } else {
                if (col == len)
                    break;  // the tab ends the line's last row
                if (!endrow(col, false))
                    return;
            }
            continue;
        }
        uint32_t n = col;
        while (n < len && text[n] != L'\t')
            ++n;
        n = std::min(n - col, runcap(g.width));
        const int32_t room = g.width - x;
        uint32_t fit = 0;
        if (room > 0) {
            if (dx.size() < n)
                dx.resize(n);
            fit = std::min(m.fit(text + col, n, room, dx.data()), n);
        }
        if (fit < n) {
            // A surrogate pair stays on one row.
            if (fit > 0 && ishigh(text[col + fit - 1]))
                --fit;
            if (fit == 0 && col == rowstart) {
                // Not even one character fits an empty row: it takes it anyway.
                fit = (n > 1 && ishigh(text[col])) ? 2 : 1;
                if (dx.size() < fit)
                    dx.resize(fit);
                dx[fit - 1] = m.width(text + col, fit);
                if (fit == 2)
                    dx[0] = dx[1];
            }
        }
        if (cells)
            for (uint32_t k = 0; k < fit; ++k) {
                out.left.push_back(x + (k ? dx[k - 1] : 0));
                out.right.push_back(x + dx[k]);
            }
        if (fit)
            x += dx[fit - 1];
        col += fit;
        if (fit < n && !endrow(col, false))
            return;
    }
    out.rows.push_back({rowstart, len - rowstart, true});
    out.complete = true;
}

int32_t linewidth(const wchar_t* text, uint32_t len, int32_t tabstop, measure& m)
{
    if (tabstop <= 0)
        tabstop = 1;
    int32_t x = 0;
    uint32_t from = 0;
    for (uint32_t k = 0; k < len; ++k) {
        if (text[k] != L'\t')
            continue;
        x = ((x + m.width(text + from, k - from)) / tabstop + 1) * tabstop;
        from = k + 1;
    }
    return x + m.width(text + from, len - from);
}

int32_t textheight(const std::vector<lineentry>& lines, uint32_t count, const geometry& g, measure& m,
                   int32_t lineheight, int32_t limit)
{
    int64_t sum = 0;
    linelayout lay;
    for (uint32_t k = 0; k < count && k < lines.size(); ++k) {
        // Rows past what the limit can hold change nothing.
        const int64_t room = lineheight > 0 ? (limit - sum) / lineheight + 1 : 0;
        layline(lines[k].start, lines[k].length, g, m, static_cast<uint32_t>(std::max<int64_t>(room, 1)), false,
                lay);
        sum += static_cast<int64_t>(lay.rows.size()) * lineheight;
        if (sum >= limit)
            return limit;
    }
    return static_cast<int32_t>(sum);
}

uint32_t hitcolumn(const linelayout& lay, const rowspan& row, int32_t x)
{
    if (row.length == 0)
        return row.start;
    const uint32_t end = std::min<uint32_t>(row.start + row.length, static_cast<uint32_t>(lay.left.size()));
    if (end <= row.start)
        return row.start;
    if (x < lay.left[row.start])
        return row.start;
    for (uint32_t c = row.start; c < end; ++c)
        if (x < lay.right[c])
            return c;
    return end - 1;
}

int32_t rowofcolumn(const linelayout& lay, uint32_t col)
{
    for (size_t k = 0; k < lay.rows.size(); ++k) {
        const rowspan& r = lay.rows[k];
        if (col < r.start + r.length || (col == 0 && k == 0))
            return static_cast<int32_t>(k);
    }
    return -1;
}

}  // namespace vblayout
