// The matcher: anchors, end cuts, captures, lookarounds, boundaries,
// surrogate pairs, group calls, the fixed limits, and the faults mended.
#include <chrono>

#include "regexp/rxtest.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

namespace {

using qtest::rxtest;

// A text that ends right before an inaccessible page: reading one unit past
// its terminator faults, and the test binary fails.
class guarded {
public:
    explicit guarded(const std::wstring& s)
    {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        page = si.dwPageSize;
        mem = static_cast<char*>(VirtualAlloc(nullptr, page * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(mem + page, page, PAGE_NOACCESS, &old);
        text = reinterpret_cast<wchar_t*>(mem + page) - (s.size() + 1);
        wmemcpy(text, s.c_str(), s.size() + 1);
    }
    ~guarded() { VirtualFree(mem, 0, MEM_RELEASE); }
    guarded(const guarded&) = delete;
    guarded& operator=(const guarded&) = delete;
    wchar_t* text;

private:
    char* mem;
    size_t page;
};

class Match : public rxtest {
protected:
    // Searches a guarded copy of `subject`, used in place.
    int guardedmatch(const wchar_t* pattern, const guarded& g, uint32_t start = 0,
                     uint32_t end = 0xFFFFFFFF)
    {
        rx->usesubject(g.text);
        return rx->regexmatch(0, pattern, start, end);
    }
};

TEST_F(Match, StartAnchorMeansTheSubjectStart)
{
    EXPECT_EQ(match(L"^b", L"ab"), rxanchor);
    EXPECT_EQ(match(L"^a", L"ab"), 1);
    EXPECT_EQ(match(L"^b", L"ab", 1), rxanchor);
    EXPECT_EQ(match(L"x|^b", L"ab"), 0);  // "^" is not the first node there
    EXPECT_EQ(match(L"(^a)", L"a"), 1);
}

TEST_F(Match, StartOffsetAndEndCut)
{
    EXPECT_EQ(match(L"a$", L"ba", 0, 1), 0);
    EXPECT_EQ(match(L"a$", L"xa", 0, 2), 1);
    EXPECT_EQ(match(L"c", L"abc", 0, 2), 0);
    EXPECT_EQ(match(L"b", L"abcb", 2), 1);
    EXPECT_EQ(matchoffset(), 3u);
    EXPECT_EQ(match(L"b$", L"abcb", 0, 2), 1);
    EXPECT_EQ(matchoffset(), 1u);
    EXPECT_EQ(match(L"", L"abc", 2), 1);
    EXPECT_EQ(matchoffset(), 2u);
    EXPECT_EQ(matched(), L"");
}

TEST_F(Match, AFailedSearchLeavesNoMatchEnd)
{
    EXPECT_EQ(match(L"a", L"a"), 1);
    EXPECT_EQ(match(L"z", L"abc"), 0);
    EXPECT_EQ(rx->mend, nullptr);
}

TEST_F(Match, CapturesAreNumberedInClosingOrder)
{
    EXPECT_EQ(match(L"((a)b)", L"ab"), 1);
    EXPECT_EQ(captures(), L"a|ab");
    EXPECT_EQ(rx->caps[0].group, 1u);
    EXPECT_EQ(rx->caps[1].group, 0u);
    EXPECT_EQ(match(L"(a|b)*", L"abba"), 1);
    EXPECT_EQ(captures(), L"a|b|b|a");
    EXPECT_EQ(match(L"(\\d+)-(\\d+)", L"tel 12-345"), 1);
    EXPECT_EQ(matched(), L"12-345");
    EXPECT_EQ(captures(), L"12|345");
}

TEST_F(Match, BackReferences)
{
    EXPECT_EQ(match(L"(a)(b)\\2", L"abb"), 1);
    EXPECT_EQ(match(L"((a)b)\\1", L"aba"), 1);
    EXPECT_EQ(match(L"((a)b)\\1", L"abab"), 1);
    EXPECT_EQ(matched(), L"aba");
    EXPECT_EQ(match(L"(a)\\2", L"aa"), 0);   // no second record
    EXPECT_EQ(match(L"()x\\1", L"x"), 1);   // an empty record always follows
    EXPECT_EQ(match(L"(ab)\\1", L"aba"), 0);  // not past the end
}

TEST_F(Match, TheFirstAlternativeIsTriedFirst)
{
    EXPECT_EQ(match(L"(a|ab)(c|bcd)(d*)", L"abcd"), 1);
    EXPECT_EQ(matched(), L"abcd");
    EXPECT_EQ(captures(), L"a|bcd|");
}

TEST_F(Match, LazyGreedyAndCounted)
{
    EXPECT_EQ(match(L"a.*?b", L"aXbYb"), 1);
    EXPECT_EQ(matched(), L"aXb");
    EXPECT_EQ(match(L"a.*b", L"aXbYb"), 1);
    EXPECT_EQ(matched(), L"aXbYb");
    EXPECT_EQ(match(L"x{2,4}", L"xxxxx"), 1);
    EXPECT_EQ(matched(), L"xxxx");
    EXPECT_EQ(match(L"x{2,4}?", L"xxxxx"), 1);
    EXPECT_EQ(matched(), L"xx");
    EXPECT_EQ(match(L"x{3}", L"xxy"), 0);
    EXPECT_EQ(match(L"(ab){2,}", L"abababx"), 1);
    EXPECT_EQ(matched(), L"ababab");
    EXPECT_EQ(match(L"a{,2}b", L"aaab"), 1);
    EXPECT_EQ(matched(), L"aab");
}

TEST_F(Match, EmptyLoopsEnd)
{
    EXPECT_EQ(match(L"(a*)*b", L"aab"), 1);
    EXPECT_EQ(matched(), L"aab");
    EXPECT_EQ(match(L"(?:)*x", L"x"), 1);
    EXPECT_EQ(match(L"(a?)+?b", L"b"), 1);
}

TEST_F(Match, Lookarounds)
{
    EXPECT_EQ(match(L"(?<=ab)c", L"abc"), 1);
    EXPECT_EQ(matchoffset(), 2u);
    EXPECT_EQ(match(L"(?<!a)b", L"ab"), 0);
    EXPECT_EQ(match(L"(?<!a)b", L"ab cb"), 1);
    EXPECT_EQ(matchoffset(), 4u);
    EXPECT_EQ(match(L"(?<=^a)b", L"ab"), 1);
    EXPECT_EQ(match(L"(?<=^a)b", L"cab"), 0);
    EXPECT_EQ(match(L"\\w+(?=;)", L"ab cd;"), 1);
    EXPECT_EQ(matched(), L"cd");
    EXPECT_EQ(match(L"^(?=ab(de))(abd)(e)", L"abde"), 1);
    EXPECT_EQ(captures(), L"de|abd|e");
    EXPECT_EQ(match(L"a(?!b)", L"abac"), 1);
    EXPECT_EQ(matchoffset(), 2u);
}

TEST_F(Match, WordBoundaries)
{
    EXPECT_EQ(match(L"\\bcat\\b", L"a cat."), 1);
    EXPECT_EQ(matchoffset(), 2u);
    EXPECT_EQ(match(L"\\bcat\\b", L"concat"), 0);
    EXPECT_EQ(match(L"\\Bcat", L"concat"), 1);
    EXPECT_EQ(match(L"\\b", L""), 0);
    EXPECT_EQ(match(L"x\\b", L"x"), 1);
    EXPECT_EQ(match(L"\\bé", L" é"), 1);  // the tables are Unicode
}

TEST_F(Match, SurrogatePairsAreOneCharacter)
{
    EXPECT_EQ(match(L".", L"\xD83D\xDE00"), 1);
    EXPECT_EQ(matched(), L"\xD83D\xDE00");
    EXPECT_EQ(match(L"a.c", L"a\xD83D\xDE00" L"c"), 1);
    EXPECT_EQ(match(L"\\u{1F600}+", L"x\xD83D\xDE00\xD83D\xDE00"), 1);
    EXPECT_EQ(matched().size(), 4u);
    EXPECT_EQ(match(L"\\w", L"\xD835\xDC00"), 1);  // U+1D400, a letter
    EXPECT_EQ(matched().size(), 2u);
    // The empty end behind a final pair is not a start position.
    EXPECT_EQ(match(L"$", L"a\xD83D\xDE00"), 0);
    EXPECT_EQ(match(L"$", L"ab"), 1);
    EXPECT_EQ(matchoffset(), 2u);
}

TEST_F(Match, CompileOnlyAndReuse)
{
    rx->setsubject(L"xaby");
    EXPECT_EQ(rx->regexmatch(0, L"ab", 0xFFFFFFFF, 0xFFFFFFFF), 1);
    EXPECT_EQ(rx->regexmatch(1, nullptr, 0xFFFFFFFF, 0xFFFFFFFF), 0);
    EXPECT_EQ(rx->regexmatch(1, nullptr, 0, 0xFFFFFFFF), 1);
    EXPECT_EQ(matchoffset(), 1u);
    EXPECT_EQ(rx->regexmatch(0, L"(", 0xFFFFFFFF, 0xFFFFFFFF), rxbad1);
}

TEST_F(Match, GroupCallsExpandAsTheSearchMeetsThem)
{
    EXPECT_EQ(match(L"(a)(?1)", L"aa"), 1);
    EXPECT_EQ(match(L"(a(?R)?b)", L"aabb"), 1);
    EXPECT_EQ(matched(), L"aabb");
    EXPECT_EQ(match(L"(a(?R)?b)", L"xaaabbb"), 1);
    EXPECT_EQ(matched(), L"aaabbb");
    EXPECT_GT(rx->explevel, 1u);
    EXPECT_EQ(match(L"\\((?:[^()]|(?R))*\\)", L"x(a(b)c)"), 1);
    EXPECT_EQ(matched(), L"(a(b)c)");
    // The search starts again from the offset it was given.
    EXPECT_EQ(match(L"(a(?R)?b)", L"abaabb", 2), 1);
    EXPECT_EQ(matchoffset(), 2u);
    EXPECT_EQ(matched(), L"aabb");
}

TEST_F(Match, GroupCallsNestedTooDeeply)
{
    EXPECT_EQ(match(L"a(?R)", std::wstring(100, L'a').c_str()), rxdeep);
    EXPECT_EQ(rx->explevel, rxmaxexpand);
    // A call that cannot be expanded is the same failure.
    EXPECT_EQ(match(L"x|(?9)", L"y"), rxdeep);
}

class Limits : public rxtest {};

TEST_F(Limits, VisitedSplitsOverflow)
{
    EXPECT_EQ(match(L"(?:a|b)*", std::wstring(1000, L'a').c_str()), rxfatal);
    ASSERT_EQ(fatals.size(), 1u);
    EXPECT_EQ(fatals[0], L"split table overflow error");
    fatals.clear();
    EXPECT_EQ(match(L"(?:a|b)*", std::wstring(998, L'a').c_str()), 1);  // 1998 visits
    EXPECT_TRUE(fatals.empty());
    // The object works after a limit was reported.
    EXPECT_EQ(match(L"b+", L"abbc"), 1);
    EXPECT_EQ(matched(), L"bb");
}

TEST_F(Limits, CaptureRecordsOverflow)
{
    EXPECT_EQ(match(L"(a)*", std::wstring(255, L'a').c_str()), 1);
    EXPECT_EQ(rx->ncaps, 255u);
    EXPECT_TRUE(fatals.empty());
    EXPECT_EQ(match(L"(a)*", std::wstring(256, L'a').c_str()), rxfatal);
    ASSERT_EQ(fatals.size(), 1u);
    EXPECT_EQ(fatals[0], L"Too much restore number error.");
}

TEST(LimitsThroughTheExit, AnOverflowEndsTheScriptInTheFatalExit)
{
    ExeScr& engine = qtest::fatalengine();
    const std::wstring text = qtest::expectfatal(engine, [](ExeScr& e) {
        RegExp* rx = RegExp::make(e);
        rx->setsubject(std::wstring(1000, L'a').c_str());
        rx->regexmatch(0, L"(?:a|b)*", 0, 0xFFFFFFFF);
    });
    EXPECT_EQ(text, L"split table overflow error");
}

TEST_F(Limits, PathologicalPatternsEndQuickly)
{
    const std::wstring as(100000, L'a');
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(match(L"(a*)*b", as.c_str()), rxfatal);
    EXPECT_EQ(match(L"(?:a|aa)*c", as.c_str()), rxfatal);
    EXPECT_EQ(match(L".*.*.*=.*", as.c_str()), rxfatal);
    EXPECT_EQ(match(L"(?:x+x+)+y", std::wstring(40, L'x').c_str()), 0);
    EXPECT_EQ(match(L"a{0,30}b", as.substr(0, 20000).c_str()), 0);
    // Each copy's choice can come back at every earlier position: fatal.
    EXPECT_EQ(match(L"a{0,200}b", as.c_str()), rxfatal);
    EXPECT_EQ(match(L"(?>a*)*b", as.substr(0, 2000).c_str()), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    EXPECT_EQ(fatals.size(), 4u);
}

class Faults : public Match {};

TEST_F(Faults, AStartPastTheEndFindsNothing)
{
    const guarded g(L"ab");
    for (const wchar_t* p : {L"b", L"bcd", L"b*", L"", L"^", L"$"})
        for (uint32_t start : {3u, 100u, 0xFFFFFFFEu})
            EXPECT_EQ(guardedmatch(p, g, start), 0) << qtest::narrow(p) << " " << start;
    EXPECT_EQ(guardedmatch(L"$", g, 2), 1);
    EXPECT_EQ(guardedmatch(L"x*", g, 2), 1);
    EXPECT_EQ(guardedmatch(L"b", g, 2, 1), 0);  // past the cut
}

TEST_F(Faults, TheSimpleRestartEmptiesTheCaptures)
{
    EXPECT_EQ(match(L"()ef", L"def"), 1);
    EXPECT_EQ(rx->ncaps, 1u);
    EXPECT_EQ(match(L"(x)\\by", L"x xy x y"), 0);
    EXPECT_EQ(match(L"()\\bb", L"a ab b"), 1);
    EXPECT_EQ(matchoffset(), 5u);
    EXPECT_EQ(rx->ncaps, 1u);
}

TEST_F(Faults, TheQuickSearchStopsAtTheTerminator)
{
    for (const wchar_t* s : {L"xx\xD83D\xDE00", L"\xD83D\xDE00\xD83D\xDE00", L"ab\xD83D\xDE00\xD800",
                             L"\xD800", L"abab\xDBFF"}) {
        const guarded g(s);
        EXPECT_EQ(guardedmatch(L"abc", g), 0);
        EXPECT_EQ(guardedmatch(L"\\D\\D\\D\\D\\D\\D", g), 0);
        const int r = guardedmatch(L"[^a][^a][^a]\\W", g);
        EXPECT_TRUE(r == 0 || r == 1);
    }
    const guarded h(L"abcab\xDBFF");
    EXPECT_EQ(guardedmatch(L"cab\\W", h), 1);  // the lone half at the end is code point 0
    EXPECT_EQ(matchoffset(), 2u);
    const guarded g(L"xab\xD83D\xDE00" L"c");
    EXPECT_EQ(guardedmatch(L"b\\u{1F600}c", g), 1);
    EXPECT_EQ(matchoffset(), 2u);
}

TEST_F(Faults, AClassTestAtAFinalHighSurrogateStaysInside)
{
    const guarded g(L"a\xD800");
    EXPECT_EQ(guardedmatch(L"a\\W", g), 1);  // the lone half is tested as code point 0
    EXPECT_EQ(matched(), L"a\xD800");
    EXPECT_EQ(guardedmatch(L"a.", g), 1);
    EXPECT_EQ(guardedmatch(L"a\\b", g), 1);
    EXPECT_EQ(guardedmatch(L"\\u{10000}", g), 0);
    const guarded h(L"a\xD83D\xDE00");
    EXPECT_EQ(guardedmatch(L"\\u{1F600}", h, 0, 2), 0);  // the cut splits the pair
    EXPECT_EQ(guardedmatch(L"a.$", h, 0, 2), 1);
}

TEST_F(Faults, ABlankPatternAfterAFailedCompilationRunsNothing)
{
    rx->setsubject(L"abc");
    EXPECT_EQ(rx->regexmatch(1, nullptr, 0, 0xFFFFFFFF), 1);  // never compiled: the empty pattern
    EXPECT_EQ(matchoffset(), 0u);
    EXPECT_EQ(rx->regexmatch(0, L"(b", 0, 0xFFFFFFFF), rxbad1);
    EXPECT_EQ(rx->regexmatch(1, nullptr, 0, 0xFFFFFFFF), rxbad1);
    EXPECT_EQ(rx->regexmatch(0, L"((a{255}){255}){255}", 0, 0xFFFFFFFF), rxbad2);
    EXPECT_EQ(rx->regexmatch(1, nullptr, 0, 0xFFFFFFFF), rxbad2);
    EXPECT_EQ(rx->regexmatch(0, L"c", 0, 0xFFFFFFFF), 1);
    EXPECT_EQ(rx->regexmatch(1, nullptr, 0, 0xFFFFFFFF), 1);
    EXPECT_EQ(matchoffset(), 2u);
}

TEST_F(Faults, APossessiveLoopCutsBackToItsOwnSplit)
{
    EXPECT_EQ(match(L"(?>(a|b)*)a", L"aa"), 0);
    EXPECT_EQ(match(L"(?>(a|b)*)c", L"abac"), 1);
    EXPECT_EQ(matched(), L"abac");
    EXPECT_EQ(match(L"(?>a*)a", L"aaa"), 0);
    EXPECT_EQ(match(L"(?>a+)b", L"aaab"), 1);
    EXPECT_EQ(matched(), L"aaab");
    EXPECT_EQ(match(L"(?>(?:ab|a){1,3})b", L"aabab"), 1);
    EXPECT_EQ(matched(), L"aabab");
}

TEST_F(Faults, APossessiveLoopWithAnEmptyTurnEnds)
{
    EXPECT_EQ(match(L"(?>(a?)*)b", L"aab"), 1);
    EXPECT_EQ(matched(), L"aab");
    EXPECT_EQ(match(L"(?>\\b*)x", L"x"), 1);
    EXPECT_EQ(match(L"(?>(|a)+)b", L"ab"), 1);
    EXPECT_EQ(match(L"(?>()*)", L"z"), 1);
}

TEST_F(Faults, ALazyLoopWithAnEmptyTurnEnds)
{
    EXPECT_EQ(match(L"^*?\\(", L"cx("), 1);
    EXPECT_EQ(matchoffset(), 2u);
    EXPECT_EQ(match(L"(?:)*?x", L"ax"), 1);
    EXPECT_EQ(match(L"(a?)*?b", L"aab"), 1);
    EXPECT_EQ(matched(), L"aab");
    EXPECT_EQ(match(L"\\b+?x", L"x"), 1);
    EXPECT_EQ(match(L"(?:\\b|a){2,}?c", L"aab"), 0);
}

TEST_F(Faults, CodePointsFrom0x30000OnAreNoMembers)
{
    const guarded g(L"xyz\xDB40\xDC01" L"abc\xDB40\xDC01");
    EXPECT_EQ(guardedmatch(L"abc", g), 1);  // the quick search shifts past a tag character
    EXPECT_EQ(matchoffset(), 5u);
    EXPECT_EQ(guardedmatch(L"bc\\W", g), 0);
    EXPECT_EQ(guardedmatch(L"z\\W", g), 0);
    EXPECT_EQ(guardedmatch(L"z.a", g), 1);
    EXPECT_EQ(guardedmatch(L"{2}", g), 0);  // a count where an atom belongs matches nothing
    const guarded h(L"\xDFC0\xDE00");
    EXPECT_EQ(guardedmatch(L"{2}", h), 0);
}

TEST_F(Faults, DeepLookaroundsStayOffTheNativeStack)
{
    std::wstring ahead = std::wstring();
    for (int i = 0; i < 255; ++i)
        ahead += L"(?=";
    ahead += L"a" + std::wstring(255, L')') + L"a";
    EXPECT_EQ(match(ahead.c_str(), L"ba"), 1);
    EXPECT_EQ(matchoffset(), 1u);
    std::wstring behind = L"a";
    for (int i = 0; i < 255; ++i)
        behind += L"(?<=";
    behind += L"a" + std::wstring(255, L')');
    EXPECT_EQ(match(behind.c_str(), L"a"), 1);
}

TEST_F(Faults, FailedLookaroundRunsLeaveNoRecords)
{
    EXPECT_EQ(match(L"(?!(a)b)a", L"ac"), 1);
    EXPECT_EQ(rx->ncaps, 0u);
    // Every start of the lookbehind's body would otherwise add a record.
    const std::wstring s = std::wstring(300, L'a') + L"bc";
    EXPECT_EQ(match(L"(?<=(a)b)c", s.c_str()), 1);
    EXPECT_EQ(matchoffset(), 301u);
    EXPECT_EQ(captures(), L"a");
    EXPECT_TRUE(fatals.empty());
}

TEST_F(Faults, AStartAnchorInsideALookaroundIsAPlainFailure)
{
    EXPECT_EQ(match(L"b(?=^a)", L"ba"), 0);
    EXPECT_EQ(match(L"(?!^)b", L"bb"), 1);
    EXPECT_EQ(matchoffset(), 1u);
}

TEST_F(Faults, ABoundaryAfterASupplementaryLetter)
{
    EXPECT_EQ(match(L"\\u{1D400}\\b", L"\xD835\xDC00 "), 1);
    EXPECT_EQ(match(L"\\b\\u{1D400}", L"\xD835\xDC00\xD835\xDC00"), 1);
    EXPECT_EQ(matchoffset(), 0u);
    EXPECT_EQ(match(L"a\\B\\u{1D400}", L"a\xD835\xDC00"), 1);
}

}  // namespace
