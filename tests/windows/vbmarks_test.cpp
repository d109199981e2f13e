// The ViewBox's marks, pairs, colour stacks and selection, without a window.
#include <gtest/gtest.h>

#include "windows/vbmarks.h"

using namespace vbmarks;

namespace {

std::vector<int32_t> columns(const markstore& s, uint32_t line)
{
    std::vector<int32_t> out;
    if (const linemarks* lm = s.find(line))
        for (const markrec& r : lm->recs)
            out.push_back(r.column * 10 + static_cast<int32_t>(r.flags));
    return out;
}

}  // namespace

TEST(ViewBoxMarks, StartsGoAfterAndEndsBeforeTheirColumn)
{
    markstore s;
    EXPECT_TRUE(s.add(4, 2, 0, 0x11, 0x22, 2));       // "marks" at 2
    EXPECT_TRUE(s.add(4, 0, 2, 0, 0, 1));             // "marke" at 2
    EXPECT_TRUE(s.add(4, 2, 0, 0x33, 0x44, 2 | 4));   // "marksb" at 2
    EXPECT_TRUE(s.add(4, 1, 5, 0x55, 0x66, 3));       // "markse" 1 to 5
    EXPECT_EQ(columns(s, 4), (std::vector<int32_t>{10, 21, 20, 22, 51}))
        << "an end before the starts of its column, a start after them";
    const markrec& fill = s.find(4)->recs[3];
    EXPECT_EQ(fill.text, 0x33u);
    EXPECT_EQ(fill.back, 0x44u);
    EXPECT_EQ(s.find(4)->recs[1].text, 0u) << "end records carry no colours";

    EXPECT_TRUE(s.add(9, 0, 0, 1, 2, 6));
    EXPECT_TRUE(s.add(1, 3, 0, 1, 2, 2));
    ASSERT_EQ(s.all().size(), 3u);
    EXPECT_EQ(s.all()[0].line, 1u) << "entries stay sorted by line";
    EXPECT_EQ(s.all()[2].line, 9u);
    EXPECT_EQ(s.find(5), nullptr);
}

TEST(ViewBoxMarks, NegativePositionsAreRefused)
{
    markstore s;
    EXPECT_FALSE(s.add(-1, 0, 0, 1, 2, 2));
    EXPECT_FALSE(s.add(0, -3, 0, 1, 2, 2));
    EXPECT_FALSE(s.add(0, 0, -3, 0, 0, 1));
    EXPECT_TRUE(s.all().empty()) << "nothing was entered for them";
}

TEST(ViewBoxMarks, DeletingTakesTheEndThenTheLastStartOfItsRun)
{
    markstore s;
    s.add(0, 1, 6, 0xA, 0xB, 3);
    s.add(0, 1, 0, 0xC, 0xD, 2);
    EXPECT_EQ(s.remove(0, 1, 6), 1);
    ASSERT_EQ(s.find(0)->recs.size(), 1u);
    EXPECT_EQ(s.find(0)->recs[0].text, 0xAu) << "the later start of column 1 went";
    EXPECT_EQ(s.remove(0, 1, 7), 0) << "no record at the end column: nothing removed";
    EXPECT_EQ(s.find(0)->recs.size(), 1u);
    EXPECT_EQ(s.remove(0, 9, 1), 0) << "the end's record goes even without a start";
    EXPECT_TRUE(s.find(0)->recs.empty());
    EXPECT_EQ(s.remove(3, 0, 0), 0);
}

TEST(ViewBoxPairs, BothDirectionsSorted)
{
    pairstore p;
    p.add(10, 4, 2, 0);
    p.add(5, 1, 7, 3);
    ASSERT_EQ(p.size(), 4u);
    const pairrec* a = p.at(2, 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->pline, 10);
    EXPECT_EQ(a->pcolumn, 4);
    const pairrec* b = p.at(10, 4);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->pline, 2);
    EXPECT_EQ(p.at(7, 3)->pline, 5);
    EXPECT_EQ(p.at(7, 4), nullptr);
    EXPECT_EQ(p.at(0, 0), nullptr);
}

TEST(ViewBoxColours, MarksPushAndPopColoursAndBrushes)
{
    const colours cfg{0xFFFFFF, 0x000000};
    markstate st(cfg);
    st.apply({0, 0, 0x0000FF, keepcolour});
    EXPECT_EQ(st.text, 0x0000FFu);
    EXPECT_EQ(st.back, 0x000000u) << "-1 keeps the colour in force";
    EXPECT_FALSE(st.brush);
    st.apply({1, markfill, keepcolour, 0x00FF00});
    EXPECT_EQ(st.text, 0x0000FFu);
    EXPECT_TRUE(st.brush);
    EXPECT_EQ(st.brushcolour, 0x00FF00u);
    st.apply({2, markend | markfill, 0, 0});
    EXPECT_EQ(st.back, 0x000000u);
    EXPECT_FALSE(st.brush) << "the fill ends with its end record";
    st.apply({3, markend, 0, 0});
    EXPECT_EQ(st.text, 0xFFFFFFu);
    st.apply({4, markend, 0, 0});
    EXPECT_EQ(st.text, 0xFFFFFFu) << "an empty stack gives the configured colour";

    // Line numbers set the colours back, the fill goes on.
    st.apply({0, markfill, 0x111111, 0x222222});
    st.numberreset();
    EXPECT_EQ(st.text, 0xFFFFFFu);
    EXPECT_EQ(st.back, 0x000000u);
    EXPECT_TRUE(st.brush);
}

TEST(ViewBoxColours, SixtyFourNestedMarksAreKept)
{
    const colours cfg{1, 2};
    markstate st(cfg);
    for (uint32_t k = 0; k < 70; ++k)
        st.apply({0, 0, 100 + k, 200 + k});
    EXPECT_EQ(st.text, 169u);
    st.apply({0, markend, 0, 0});
    EXPECT_EQ(st.text, 162u) << "the pushes past 64 overwrote the slot above the kept ones";
    for (int k = 0; k < 63; ++k)
        st.apply({0, markend, 0, 0});
    EXPECT_EQ(st.text, 1u);
    EXPECT_EQ(st.back, 2u);
}

TEST(ViewBoxColours, ApplyLineStopsAtTheFirstRecordPastItsEnd)
{
    markstore s;
    s.add(0, 2, 0, 0xAA, 0xBB, 2);
    s.add(0, 9, 0, 0xCC, 0xDD, 2);
    s.add(0, 0, 3, 0, 0, 1);
    markstate st(colours{1, 2});
    st.applyline(s.find(0), 5);
    EXPECT_EQ(st.text, 1u) << "start at 2, end at 3; the start at 9 lies past the line";
}

TEST(ViewBoxSelection, ByCharactersAndByLines)
{
    std::vector<vblayout::lineentry> lines;
    const wchar_t* text = L"zero\r\none\r\n\r\nthree\r\nfour";
    const uint32_t count = vblayout::splitlines(text, lines);
    ASSERT_EQ(count, 5u);

    selection sel;
    sel.on = true;
    sel.anchor = {1, 1};
    sel.caret = {3, 2};
    EXPECT_EQ(sel.text(lines, count), L"ne\r\n\r\nthr") << "the last position's character included";
    EXPECT_TRUE(sel.holds(1, 1));
    EXPECT_FALSE(sel.holds(1, 0));
    EXPECT_TRUE(sel.holds(2, 0));
    EXPECT_FALSE(sel.holds(3, 3));
    EXPECT_TRUE(sel.holdsbreak(1, 3));
    EXPECT_TRUE(sel.holdsbreak(2, 0));
    EXPECT_FALSE(sel.holdsbreak(3, 5));

    std::swap(sel.anchor, sel.caret);
    EXPECT_EQ(sel.text(lines, count), L"ne\r\n\r\nthr") << "either way round";

    sel.linewise = true;
    sel.anchor = {3, 0};
    sel.caret = {1, 2};
    EXPECT_EQ(sel.text(lines, count), L"one\r\n\r\nthree") << "whole lines, no break after the last";
    EXPECT_TRUE(sel.holds(2, 7));
    EXPECT_FALSE(sel.holds(4, 0));

    sel.linewise = false;
    sel.anchor = {2, 0};
    sel.caret = {2, 0};
    EXPECT_EQ(sel.text(lines, count), L"") << "an empty line holds no character";
    sel.anchor = {4, 0};
    sel.caret = {4, 3};
    EXPECT_EQ(sel.text(lines, count), L"four");
    sel.on = false;
    EXPECT_FALSE(sel.holds(4, 0));
}
