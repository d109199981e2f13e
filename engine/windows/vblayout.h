// The ViewBox's layout arithmetic, free of windows so that it can be checked
// with any measure of text: the line table, tab stops, the rows a wrapped line
// takes, the content's width and height, and the column under a point.
#pragma once

#include <cstdint>
#include <vector>

namespace vblayout {

// One line of the text buffer; the length leaves out the line break.
struct lineentry {
    const wchar_t* start;
    uint32_t length;
};

// Cuts `text` (the characters behind the byte-order mark, up to the first 0)
// into lines at LF, CR and CR LF. The result is the line count; `lines` holds
// one entry per line, and a single empty entry for an empty text (count 0).
uint32_t splitlines(const wchar_t* text, std::vector<lineentry>& lines);

// Decimal digits of n; 0 for 0.
uint32_t digits(uint32_t n);

// The gutter that holds the numbers of `count` lines: one character more
// than their digits.
int32_t gutterwidth(uint32_t count, int32_t charwidth);

// Where the digits of line number `number` stand in a gutter of `ndigits`
// digits: the units digit in the last cell, each further digit one cell to
// the left, at most `ndigits` of them; appended to `out` as (x, digit).
struct digitcell {
    int32_t x;
    wchar_t digit;
};
void numbercells(uint32_t number, uint32_t ndigits, int32_t charwidth, std::vector<digitcell>& out);

// The next tab stop after x, stops every `stop` pixels from the margin.
int32_t nexttab(int32_t x, int32_t margin, int32_t stop);

// How text is measured: a device context with the box font, or a stand-in.
class measure {
public:
    virtual ~measure() = default;
    // Width of s[0..n).
    virtual int32_t width(const wchar_t* s, uint32_t n) = 0;
    // How many characters of s[0..n) fit in maxw (above 0); dx[k] receives
    // the extent of s[0..k] for each of them.
    virtual uint32_t fit(const wchar_t* s, uint32_t n, int32_t maxw, int32_t* dx) = 0;
};

struct geometry {
    int32_t margin = 0;   // where every row starts (the gutter with line numbers)
    int32_t width = 0;    // the wrap width
    int32_t tabstop = 1;  // tab-stop distance: character width times tab width
};

// One row of a wrapped line: its first column, how many columns it holds,
// and whether it ends the line.
struct rowspan {
    uint32_t start;
    uint32_t length;
    bool last;
};

struct linelayout {
    std::vector<rowspan> rows;
    // With cells: for each column laid out, its left and right edge in its
    // row (a tab reaches to its stop, a wrapped tab to the wrap width).
    std::vector<int32_t> left;
    std::vector<int32_t> right;
    bool complete = false;  // every column was laid out
};

// Lays out one line: text runs are cut where they stop fitting, a tab goes to
// the next stop or, when that stop is at or past the width, ends its row (the
// tab is the row's last column). A row always takes at least one character,
// so a character wider than the view cannot stall the layout. `maxrows` 0
// lays out the whole line.
void layline(const wchar_t* text, uint32_t len, const geometry& g, measure& m, uint32_t maxrows, bool cells,
             linelayout& out);

// The unwrapped width of a line with its tabs.
int32_t linewidth(const wchar_t* text, uint32_t len, int32_t tabstop, measure& m);

// Height of the wrapped text from its first line, one line height per row;
// `limit` once the sum reaches it.
int32_t textheight(const std::vector<lineentry>& lines, uint32_t count, const geometry& g, measure& m,
                   int32_t lineheight, int32_t limit);

// The column of `row` under x (x measured like the cells): a tab's column
// inside its span, the row's last column beyond its end, its first before it.
uint32_t hitcolumn(const linelayout& lay, const rowspan& row, int32_t x);

// The row of `lay` that holds column `col` (the first row for column 0 and
// for a column past the line's end on an empty line), or -1.
int32_t rowofcolumn(const linelayout& lay, uint32_t col);

}  // namespace vblayout
