// The ViewBox's layout arithmetic without a window: the line table, line
// numbers, tab stops, where lines wrap, the content's size and hit columns,
// measured with a stand-in font of fixed cells.
#include <gtest/gtest.h>

#include <string>

#include "windows/vblayout.h"

using namespace vblayout;

namespace {

// Every character `cell` pixels wide, except the wide ones of `wide`.
class cells : public measure {
public:
    explicit cells(int32_t cell = 10, wchar_t wide = 0, int32_t widew = 0) : c(cell), w(wide), ww(widew) {}
    int32_t width(const wchar_t* s, uint32_t n) override
    {
        int32_t x = 0;
        for (uint32_t k = 0; k < n; ++k)
            x += s[k] == w ? ww : c;
        return x;
    }
    uint32_t fit(const wchar_t* s, uint32_t n, int32_t maxw, int32_t* dx) override
    {
        int32_t x = 0;
        uint32_t k = 0;
        for (; k < n; ++k) {
            x += s[k] == w ? ww : c;
            if (x > maxw)
                break;
            dx[k] = x;
        }
        ++calls;
        return k;
    }
    int32_t c;
    wchar_t w;
    int32_t ww;
    int calls = 0;
};

geometry geom(int32_t margin, int32_t width, int32_t tabstop)
{
    geometry g;
    g.margin = margin;
    g.width = width;
    g.tabstop = tabstop;
    return g;
}

std::wstring rowtext(const std::wstring& line, const linelayout& lay)
{
    std::wstring out;
    for (const rowspan& r : lay.rows) {
        out += L"[" + line.substr(r.start, r.length) + (r.last ? L"]" : L">");
    }
    return out;
}

}  // namespace

TEST(ViewBoxLines, BreaksAtLfCrAndCrLf)
{
    std::vector<lineentry> lines;
    const wchar_t* text = L"ab\r\ncd\nef\rgh";
    ASSERT_EQ(splitlines(text, lines), 4u) << "CR LF is one break, a lone CR one too";
    EXPECT_EQ(std::wstring(lines[0].start, lines[0].length), L"ab");
    EXPECT_EQ(std::wstring(lines[2].start, lines[2].length), L"ef");
    EXPECT_EQ(std::wstring(lines[3].start, lines[3].length), L"gh") << "the piece after the last break";

    EXPECT_EQ(splitlines(L"a\nb\n", lines), 2u) << "a final break makes no empty line";
    EXPECT_EQ(splitlines(L"a\r\rb", lines), 3u) << "two CRs are two breaks";
    EXPECT_EQ(lines[1].length, 0u);
    EXPECT_EQ(splitlines(L"\n\r\n", lines), 2u);
    EXPECT_EQ(splitlines(L"x\r", lines), 1u);

    EXPECT_EQ(splitlines(L"", lines), 0u);
    ASSERT_EQ(lines.size(), 1u) << "an empty text still has one (empty) entry";
    EXPECT_EQ(lines[0].length, 0u);
}

TEST(ViewBoxLines, LineNumbersAndGutter)
{
    EXPECT_EQ(digits(0), 0u);
    EXPECT_EQ(digits(9), 1u);
    EXPECT_EQ(digits(10), 2u);
    EXPECT_EQ(digits(300), 3u);
    EXPECT_EQ(gutterwidth(0, 8), 8) << "an empty text: a gutter of one cell";
    EXPECT_EQ(gutterwidth(300, 8), 32);

    std::vector<digitcell> d;
    numbercells(7, 3, 8, d);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].x, 16) << "the units digit in the last cell";
    EXPECT_EQ(d[0].digit, L'7');
    numbercells(250, 3, 8, d);
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].digit, L'0');
    EXPECT_EQ(d[1].x, 8);
    EXPECT_EQ(d[1].digit, L'5');
    EXPECT_EQ(d[2].x, 0);
    EXPECT_EQ(d[2].digit, L'2');
    numbercells(12345, 3, 8, d);
    EXPECT_EQ(d.size(), 3u) << "no more digits than the gutter holds";
}

TEST(ViewBoxLayout, TabStopsCountFromTheMargin)
{
    EXPECT_EQ(nexttab(0, 0, 40), 40) << "a tab at 0 goes to the first stop";
    EXPECT_EQ(nexttab(39, 0, 40), 40);
    EXPECT_EQ(nexttab(40, 0, 40), 80) << "a tab on a stop goes to the next one";
    EXPECT_EQ(nexttab(30, 30, 40), 70) << "with a gutter the stops move with it";
    EXPECT_EQ(nexttab(75, 30, 40), 110);

    cells m;
    EXPECT_EQ(linewidth(L"ab\tc", 4, 40, m), 50);
    EXPECT_EQ(linewidth(L"\t\t", 2, 40, m), 80);
    EXPECT_EQ(linewidth(L"abcdef\tx", 8, 40, m), 90);
}

TEST(ViewBoxLayout, LongLinesWrapAtTheWidth)
{
    cells m;
    linelayout lay;
    const std::wstring line = L"abcdefghijkl";
    layline(line.c_str(), 12, geom(0, 100, 40), m, 0, true, lay);
    EXPECT_EQ(rowtext(line, lay), L"[abcdefghij>[kl]");
    EXPECT_TRUE(lay.complete);
    ASSERT_EQ(lay.left.size(), 12u);
    EXPECT_EQ(lay.left[9], 90);
    EXPECT_EQ(lay.left[10], 0) << "the second row starts at the margin";

    // Line numbers: every row starts at the gutter.
    layline(line.c_str(), 12, geom(30, 100, 40), m, 0, true, lay);
    EXPECT_EQ(rowtext(line, lay), L"[abcdefg>[hijkl]");
    EXPECT_EQ(lay.left[0], 30);
    EXPECT_EQ(lay.left[7], 30);

    layline(L"", 0, geom(0, 100, 40), m, 0, true, lay);
    ASSERT_EQ(lay.rows.size(), 1u) << "an empty line is one empty row";
    EXPECT_TRUE(lay.rows[0].last);
}

TEST(ViewBoxLayout, TabsFillToTheirStopOrEndTheRow)
{
    cells m;
    linelayout lay;
    const std::wstring line = L"\tab";
    layline(line.c_str(), 3, geom(0, 100, 40), m, 0, true, lay);
    EXPECT_EQ(rowtext(line, lay), L"[\tab]");
    EXPECT_EQ(lay.left[0], 0);
    EXPECT_EQ(lay.right[0], 40);
    EXPECT_EQ(lay.left[1], 40);

    // The tab at 90 would reach 120: it ends its row, and the next row
    // starts behind it.
    const std::wstring wrapped = L"abcdefghi\txy";
    layline(wrapped.c_str(), 12, geom(0, 100, 40), m, 0, true, lay);
    EXPECT_EQ(rowtext(wrapped, lay), L"[abcdefghi\t>[xy]");
    EXPECT_EQ(lay.right[9], 100) << "the wrapped tab fills to the width";
    EXPECT_EQ(lay.left[10], 0);

    // A wrapped tab that ends the line leaves no empty row behind.
    const std::wstring last = L"abcdefghi\t";
    layline(last.c_str(), 10, geom(0, 100, 40), m, 0, false, lay);
    EXPECT_EQ(rowtext(last, lay), L"[abcdefghi\t]");
}

TEST(ViewBoxLayout, WideCharactersAndRowLimits)
{
    // A character wider than the view still takes a row of its own.
    cells wide(10, L'W', 150);
    linelayout lay;
    const std::wstring line = L"aWWb";
    layline(line.c_str(), 4, geom(0, 100, 40), wide, 0, true, lay);
    EXPECT_EQ(rowtext(line, lay), L"[a>[W>[W>[b]");

    // Surrogate pairs are not cut between rows.
    cells m;
    const std::wstring pairs = L"abcdefghi\xD83D\xDE00z";
    layline(pairs.c_str(), 12, geom(0, 100, 40), m, 0, false, lay);
    EXPECT_EQ(rowtext(pairs, lay), L"[abcdefghi>[\xD83D\xDE00z]");

    // With a row limit the layout stops early.
    const std::wstring longline(95, L'x');
    layline(longline.c_str(), 95, geom(0, 100, 40), m, 3, false, lay);
    EXPECT_EQ(lay.rows.size(), 3u);
    EXPECT_FALSE(lay.complete);
    layline(longline.c_str(), 95, geom(0, 100, 40), m, 10, false, lay);
    EXPECT_EQ(lay.rows.size(), 10u);
    EXPECT_TRUE(lay.complete) << "exactly as many rows as the limit";

    // A long line without tabs is measured a run at a time, not again for
    // every row from its start.
    const std::wstring huge(100000, L'x');
    cells counted;
    layline(huge.c_str(), 100000, geom(0, 100, 40), counted, 0, false, lay);
    EXPECT_EQ(lay.rows.size(), 10000u);
    EXPECT_LE(counted.calls, 10001);
}

TEST(ViewBoxLayout, TextHeightCountsRowsUpToTheLimit)
{
    cells m;
    std::vector<lineentry> lines;
    const std::wstring text = L"short\nabcdefghijklmnopqrstuvwxy\n\n";
    const uint32_t count = splitlines(text.c_str(), lines);
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(textheight(lines, count, geom(0, 100, 40), m, 16, 1000), 5 * 16) << "1 + 3 + 1 rows";
    EXPECT_EQ(textheight(lines, count, geom(0, 100, 40), m, 16, 40), 40) << "the limit, once reached";
    EXPECT_EQ(textheight(lines, 0, geom(0, 100, 40), m, 16, 1000), 0);
}

TEST(ViewBoxLayout, HitColumnsAndRowsOfColumns)
{
    cells m;
    linelayout lay;
    const std::wstring line = L"ab\tcdefghijklm";
    layline(line.c_str(), 14, geom(30, 100, 40), m, 0, true, lay);
    EXPECT_EQ(rowtext(line, lay), L"[ab\tcde>[fghijkl>[m]");
    const rowspan& first = lay.rows[0];
    EXPECT_EQ(hitcolumn(lay, first, 35), 0u);
    EXPECT_EQ(hitcolumn(lay, first, 49), 1u);
    EXPECT_EQ(hitcolumn(lay, first, 55), 2u) << "inside the tab's span";
    EXPECT_EQ(hitcolumn(lay, first, 69), 2u);
    EXPECT_EQ(hitcolumn(lay, first, 70), 3u);
    EXPECT_EQ(hitcolumn(lay, first, 99), 5u);
    EXPECT_EQ(hitcolumn(lay, first, 150), 5u) << "past the row's end: its last column";
    EXPECT_EQ(hitcolumn(lay, lay.rows[1], 0), 6u) << "before the text: the row's first";

    EXPECT_EQ(rowofcolumn(lay, 0), 0);
    EXPECT_EQ(rowofcolumn(lay, 5), 0);
    EXPECT_EQ(rowofcolumn(lay, 6), 1);
    EXPECT_EQ(rowofcolumn(lay, 13), 2);
    EXPECT_EQ(rowofcolumn(lay, 14), -1);
    layline(L"", 0, geom(0, 100, 40), m, 0, true, lay);
    EXPECT_EQ(rowofcolumn(lay, 0), 0) << "an empty line's caret";
}
