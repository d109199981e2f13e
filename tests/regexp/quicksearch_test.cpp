// The quick search of patterns made of literals and classes: the shift of
// every code point, checked against a table of one entry per code point built
// here from the program, and the searches checked against general
// backtracking of the same program.
#include <random>
#include <vector>

#include "regexp/rxtest.h"
#include "support/rxgen.h"
#include "support/scriptrun.h"

namespace {

class Quick : public qtest::rxtest {
protected:
    // Compiles only; true when the pattern was taken.
    bool compile(const std::wstring& pattern)
    {
        rx->setsubject(L"");
        return rx->regexmatch(0, pattern.c_str(), 0xFFFFFFFF, 0xFFFFFFFF) == 1;
    }

    // The shift table of the compiled program, one entry per code point below
    // 0x30000: count + 1, then count - k for each code point that the k-th
    // literal or class node accepts, node by node.
    std::vector<uint32_t> fulltable() const
    {
        std::vector<uint32_t> listed;
        for (uint32_t k = 0; rx->nodes[k].kind != ndempty; ++k)
            if (rx->nodes[k].kind == ndliteral || rx->nodes[k].kind == ndclass)
                listed.push_back(k);
        const uint32_t m = uint32_t(listed.size());
        std::vector<uint32_t> t(cplimit, m + 1);
        for (uint32_t k = 0; k < m; ++k) {
            const rxnode& n = rx->nodes[listed[k]];
            if (n.kind == ndliteral) {
                if (n.a < cplimit)
                    t[n.a] = m - k;
                continue;
            }
            for (uint32_t c = 0; c < cplimit; ++c)
                if (rx->classes[n.a].has(c))
                    t[c] = m - k;
        }
        return t;
    }

    // Every code point's shift against the full table; the first difference.
    void expectshifts(const std::wstring& pattern)
    {
        ASSERT_TRUE(compile(pattern)) << qtest::narrow(pattern);
        ASSERT_EQ(rx->strategy, RegExp::quicksearch) << qtest::narrow(pattern);
        const std::vector<uint32_t> t = fulltable();
        for (uint32_t c = 0; c < cplimit; ++c)
            if (rx->shiftof(c) != t[c]) {
                ADD_FAILURE() << qtest::narrow(pattern) << ": code point " << std::hex << c << std::dec
                              << " shifts " << rx->shiftof(c) << ", the table says " << t[c];
                return;
            }
        const uint32_t none = rx->quickcount + 1;
        for (uint32_t c : {0x30000u, 0x3FFFFu, 0xE0001u, 0x10FFFFu})
            EXPECT_EQ(rx->shiftof(c), none) << qtest::narrow(pattern) << " " << std::hex << c;
    }

    struct outcome {
        int r;
        int32_t from, to;  // -1 without a match end
        std::wstring caps;
        bool operator==(const outcome&) const = default;
    };

    outcome run(uint32_t flags, const std::wstring& pattern, uint32_t start, uint32_t end)
    {
        outcome o;
        o.r = rx->regexmatch(flags, pattern.c_str(), start, end);
        o.from = rx->mend ? int32_t(rx->mstart - rx->subject) : -1;
        o.to = rx->mend ? int32_t(rx->mend - rx->subject) : -1;
        o.caps = captures();
        return o;
    }

    // The quick search (or the simple restart, for a pattern whose count
    // copies a boundary) and general backtracking of the same program agree
    // on the result, the match and the captures.
    void expectsameasgeneral(const std::wstring& pattern, const std::wstring& subject, uint32_t start = 0,
                             uint32_t end = 0xFFFFFFFF)
    {
        rx->setsubject(subject.c_str());
        const outcome quick = run(0, pattern, start, end);
        ASSERT_NE(rx->strategy, RegExp::general) << qtest::narrow(pattern);
        rx->strategy = RegExp::general;
        const outcome general = run(1, pattern, start, end);
        EXPECT_TRUE(quick == general)
            << qtest::narrow(pattern) << " on \"" << qtest::narrow(subject) << "\" from " << start << " cut "
            << end << ": quick " << quick.r << " " << quick.from << "-" << quick.to << " [" << qtest::narrow(quick.caps)
            << "], general " << general.r << " " << general.from << "-" << general.to << " ["
            << qtest::narrow(general.caps) << "]";
    }
};

// Literal and class atoms of every kind the shift must tell apart: both ends
// of the small range, pairs, the last code point a class may hold, negated
// and predefined classes, a count that stands where an atom belongs.
const wchar_t* const atoms[] = {
    L"a", L"b", L"d", L" ", L"\\u{7F}", L"\\u{FF}", L"\\u{100}", L"\\u{7FF}", L"\\u{800}", L"\\u{FFFF}",
    L"\\u{10000}", L"\\u{1F600}", L"\\u{2FFFF}", L"[ab]", L"[^a]", L"[^\\u{2FFFF}]", L"[a-c-[b]]",
    L"[\\u{F0}-\\u{10F}]", L"[\\u{FFF0}-\\u{10010}]", L"[\\u{2FFF0}-\\u{2FFFF}]", L"\\d", L"\\D", L"\\w", L"\\W",
    L"\\s", L"\\S", L"\\.", L"\\a", L"[\\d_]", L"[^\\w]", L"\xE9", L"\xD83D\xDE00", L"{2}",
};

// A pattern of `count` listed nodes at random, with captures and boundaries
// between them, which the strategy passes over. A count after an atom copies
// it: long patterns leave it out to keep their count.
std::wstring listedpattern(qtest::rxgen& g, size_t count)
{
    const size_t kinds = std::size(atoms) - (count > 128 ? 1 : 0);
    std::wstring p;
    size_t open = 0;
    for (size_t i = 0; i < count; ++i) {
        if (g.chance(10)) {
            p += L"(";
            ++open;
        }
        if (g.chance(5))
            p += g.chance(50) ? L"\\b" : L"\\B";
        p += atoms[g.pick(kinds)];
        if (open && g.chance(15)) {
            p += L")";
            --open;
        }
    }
    return p + std::wstring(open, L')');
}

TEST_F(Quick, ShiftsAsTheFullTable)
{
    for (const wchar_t* p : {
             L"done in", L"d[o]ne in", L"job",
             L"aba", L"abab", L"aaa",                  // a later node overrides an earlier one
             L"a[a-z]a", L"[a-z]a[a-z]", L"\\wx\\w",  // classes over literals and back
             L"[^a]a[^b]", L"\\D\\d\\D", L"\\W\\w\\s\\S",
             L"x\\u{1F600}\\u{2FFFF}", L"\xD83D\xDE00\xD83D\xDE01\xD83D\xDE00",
             L"[\\u{FFFF}-\\u{10001}]ab", L"[^\\u{2FFFF}]zz", L"[\\u{2FFF0}-\\u{2FFFF}]yy",
             L"\\u{FF}\\u{100}\\u{FF}", L"[\\u{FE}-\\u{101}]xy", L"[\\u{F0}-\\u{2FF}]\\u{FF}\\u{100}",
             L"{2}ab", L"a{2}b", L"a(b)\\bc", L"(a)(b)(c)", L"\\ba\\Bbc\\b",
         })
        expectshifts(p);
}

TEST_F(Quick, ShiftsAtTheStrategyBounds)
{
    qtest::rxgen g(7);
    expectshifts(L"abc");
    std::wstring big;
    for (int i = 0; i < 256; ++i)
        big += atoms[i % (std::size(atoms) - 1)];
    expectshifts(big);
    EXPECT_EQ(rx->quickcount, 256u);
    expectshifts(std::wstring(256, L'a'));
    expectshifts(std::wstring(255, L'a') + L"\\W");
    expectshifts(listedpattern(g, 256));

    ASSERT_TRUE(compile(big + L"a"));
    EXPECT_EQ(rx->strategy, RegExp::general);
    ASSERT_TRUE(compile(L"ab"));
    EXPECT_EQ(rx->strategy, RegExp::simplerestart);
    // A pattern after one of 256 nodes starts from a clean table.
    expectshifts(L"xyz");
    expectshifts(L"\\u{1F600}\\u{1F600}\\u{1F600}");
}

TEST_F(Quick, ShiftsOfRandomPatterns)
{
    qtest::rxgen g(20240612);
    int quick = 0;
    for (int i = 0; i < 150; ++i) {
        expectshifts(listedpattern(g, 3 + g.pick(g.chance(80) ? 8 : 60)));
        if (HasFailure())
            return;
    }
    // The general generator's patterns that happen to be quick searches, on
    // the same object between others of every strategy.
    for (int i = 0; i < 3000 && quick < 100; ++i) {
        const std::wstring p = g.pattern();
        if (!compile(p) || rx->strategy != RegExp::quicksearch)
            continue;
        ++quick;
        expectshifts(p);
        if (HasFailure())
            return;
    }
    EXPECT_GT(quick, 10);
}

TEST_F(Quick, SearchesAsGeneralBacktracking)
{
    expectsameasgeneral(L"done in", L"job 4711 done in 32 ms, status.");
    expectsameasgeneral(L"d[o]ne in", L"job 4711 done in 32 ms, status.");
    expectsameasgeneral(L"aab", L"aaaaaaab");
    expectsameasgeneral(L"abab", L"abaababab");
    expectsameasgeneral(L"(a)(b)c", L"xabxabc");
    expectsameasgeneral(L"\\u{1F600}b\\W", L"\xD83D\xDE00\xD83D\xDE00" L"b\xD800");
    expectsameasgeneral(L"xyz", L"\xDB40\xDC01xyz\xDB40\xDC01xyz", 1);
    expectsameasgeneral(L"abc", L"abcabc", 1, 5);
    expectsameasgeneral(L"\\ba\\Bbc", L"xabc abc");

    qtest::rxgen g(99);
    static const wchar_t* const units[] = {L"a", L"b", L"d", L" ", L"_", L"1", L"\xE9", L"\xFF", L"\x100",
                                           L"\xFFFF", L"\xD83D\xDE00", L"\xD800", L"\xDC00", L"\xDB40\xDC01",
                                           L"\xD87F\xDFFF", L"\xD87F\xDFF0", L"\xD800\xDC00"};
    for (int i = 0; i < 400; ++i) {
        const std::wstring p = listedpattern(g, 3 + g.pick(5));
        for (int j = 0; j < 10; ++j) {
            std::wstring s;
            for (size_t n = g.pick(40); n > 0; --n)
                s += units[g.pick(std::size(units))];
            if (g.chance(30))
                s += qtest::rxgen(uint32_t(i * 10 + j)).subject();
            const uint32_t start = g.chance(80) ? 0 : uint32_t(g.pick(s.size() + 2));
            const uint32_t end = g.chance(80) ? 0xFFFFFFFF : uint32_t(g.pick(s.size() + 2));
            expectsameasgeneral(p, s, start, end);
            if (HasFailure())
                return;
        }
    }
}

TEST_F(Quick, AMatchOfTheSamePatternTextAgainFindsWhatANewObjectFinds)
{
    // Compiled again on the object that ran it, after a general and a
    // refused pattern: the same match, captures and shifts as the first time.
    rx->setsubject(L"xx (ab)c (ab)c");
    ASSERT_EQ(rx->regexmatch(0, L"(ab)\\)c", 5, 0xFFFFFFFF), 1);
    EXPECT_EQ(matchoffset(), 10u);
    EXPECT_EQ(captures(), L"ab");
    ASSERT_EQ(rx->regexmatch(0, L"(q)*", 0, 0xFFFFFFFF), 1);
    ASSERT_EQ(rx->regexmatch(0, L"(ab", 0, 0xFFFFFFFF), rxbad1);
    ASSERT_EQ(rx->regexmatch(0, L"(ab)\\)c", 5, 0xFFFFFFFF), 1);
    EXPECT_EQ(matchoffset(), 10u);
    EXPECT_EQ(captures(), L"ab");
    expectshifts(L"(ab)\\)c");
}

TEST_F(Quick, ALiteralPatternFillsNothingOfTheCodeSpacesSize)
{
    // A match of a pattern compiled in the call would pay for it every time.
    rx->setsubject(L"job 4711 done in 32 ms, status.");
    EXPECT_EQ(rx->regexmatch(0, L"done in", 0, 0xFFFFFFFF), 1);
    EXPECT_EQ(rx->strategy, RegExp::quicksearch);
    uint64_t held = 0;
    for (const memrec& r : eng.allocs)
        held += r.size;
    EXPECT_LT(held, uint64_t(cplimit));
}

}  // namespace
