// Level 1: the predefined tables, token encodings, escapes, counted
// quantifiers, bracket expressions, the class cache and the parse messages.
#include "regexp/rxtest.h"
#include "support/scriptrun.h"
#include "support/testenv.h"
#include "regexp/unicodetables.h"

namespace {

using qtest::rxtest;

uint32_t runs(const classrec& r)
{
    uint32_t n = 0;
    for (uint32_t cp = 0; cp < cplimit; ++cp)
        n += r.has(cp) && (cp == 0 || !r.has(cp - 1));
    return n;
}

TEST(PredefinedTables, DigitsAreUnicode11Nd)
{
    const classrec& d = predefclass(tbldigit);
    EXPECT_EQ(d.count, 610u);
    EXPECT_EQ(runs(d), 57u);
    EXPECT_TRUE(d.has(L'0') && d.has(L'9') && !d.has(L'a'));
    for (uint32_t cp = 0x1D7CE; cp <= 0x1D7FF; ++cp)
        EXPECT_TRUE(d.has(cp)) << std::hex << cp;
    EXPECT_TRUE(d.has(0x1E950) && d.has(0x1E959) && !d.has(0x1E95A));
    EXPECT_FALSE(d.has(0x2160));  // Nl
}

TEST(PredefinedTables, WordIsLettersMarksDigitsAndConnectors)
{
    const classrec& w = predefclass(tblword);
    EXPECT_EQ(w.count, 127604u);
    EXPECT_EQ(runs(w), 798u);
    EXPECT_TRUE(w.has(L'_') && w.has(0x203F));  // Pc
    EXPECT_TRUE(w.has(0x300));                  // Mn
    EXPECT_TRUE(w.has(0xE9) && w.has(0x4E00));
    EXPECT_FALSE(w.has(0x903));   // Mc
    EXPECT_FALSE(w.has(0x20DD));  // Me
    EXPECT_FALSE(w.has(0x2160));  // Nl
    EXPECT_FALSE(w.has(0xB2));    // No
    EXPECT_FALSE(w.has(L' ') || w.has(L'-'));
}

TEST(PredefinedTables, SpaceIsTheWhiteSpaceList)
{
    const classrec& s = predefclass(tblspace);
    EXPECT_EQ(s.count, 25u);
    const uint32_t members[] = {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20, 0x85, 0xA0, 0x1680,
                                0x2000, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    for (uint32_t cp : members)
        EXPECT_TRUE(s.has(cp)) << std::hex << cp;
    EXPECT_FALSE(s.has(0x200B) || s.has(0x180E) || s.has(0xFEFF));
}

TEST(PredefinedTables, ComplementsHoldCodePointZeroAndStopBelow0x30000)
{
    for (uint32_t t : {tbldigit, tblspace, tblword}) {
        const classrec& on = predefclass(t);
        const classrec& off = predefclass(t + 1);
        EXPECT_EQ(on.count + off.count, cplimit);
        EXPECT_TRUE(off.has(0));
        EXPECT_TRUE(off.has(0x2FFFF));
        EXPECT_FALSE(off.has(0x30000));
        for (uint32_t cp = 0; cp < cplimit; cp += 97)
            EXPECT_NE(on.has(cp), off.has(cp));
    }
    EXPECT_EQ(predefescape(L'W'), tblnotword);
    EXPECT_EQ(predefescape(L'x'), tblcount);
}

class Tokens : public rxtest {
protected:
    std::vector<uint32_t> list() const
    {
        return std::vector<uint32_t>(rx->tokens.base, rx->tokens.base + rx->tokens.count);
    }
    uint32_t cls(uint32_t token) const { return token - tokclass; }
};

TEST_F(Tokens, LiteralsOperatorsAndControlEscapes)
{
    ASSERT_EQ(tokens(L"a.(b)|\\t\\n\\r\\f\\v"), 1);
    EXPECT_EQ(list(), (std::vector<uint32_t>{'a', '.', '(', 'b', ')', '|', 9, 10, 13, 12, 11}));
    EXPECT_EQ(rx->altflag, 1u);
    EXPECT_EQ(rx->tokens[rx->tokens.count], 0u);
}

TEST_F(Tokens, BackReferencesTakeEveryDigit)
{
    ASSERT_EQ(tokens(L"\\12\\10x\\1"), 1);
    EXPECT_EQ(list(), (std::vector<uint32_t>{tokbackref + 12, tokbackref + 10, 'x', tokbackref + 1}));
    // A number past every record stays a reference that never matches.
    ASSERT_EQ(tokens(L"\\99999999999"), 1);
    EXPECT_EQ(list(), (std::vector<uint32_t>{tokbackref + 0xFFFF}));
}

TEST_F(Tokens, HexEscapesActLikeTheCharacter)
{
    ASSERT_EQ(tokens(L"\\u{28}a\\u{29}\\u{2A}\\u{1F600}"), 1);
    EXPECT_EQ(list(), (std::vector<uint32_t>{'(', 'a', ')', '*', 0x1F600}));
    ASSERT_EQ(tokens(L"\\("), 1);
    ASSERT_EQ(rx->tokens.count, 1u);
    EXPECT_TRUE(rx->cls(cls(rx->tokens[0])).has('('));
    EXPECT_EQ(rx->cls(cls(rx->tokens[0])).count, 1u);
}

TEST_F(Tokens, HexEscapeZeroIsInvalidInsteadOfEndingThePattern)
{
    EXPECT_EQ(tokens(L"a\\u{0}b"), 0);
    EXPECT_EQ(tokens(L"a\\u{}b"), 0);
    EXPECT_EQ(match(L"a\\u{0}b", L"a"), rxbad1);
    EXPECT_EQ(match(L"a\\u{00}", L"a"), rxbad1);
}

TEST_F(Tokens, BadHexEscapesAreInvalid)
{
    EXPECT_EQ(tokens(L"\\u28"), 0);
    EXPECT_EQ(tokens(L"\\u{2g}"), 0);
    EXPECT_EQ(tokens(L"\\u{28"), 0);
    EXPECT_EQ(tokens(L"\\u{30000}"), 0);
    EXPECT_EQ(tokens(L"\\u{000000000000000041}"), 1);
    EXPECT_EQ(tokens(L"\\u{FFFFFFFFFFFF}"), 0);
    EXPECT_EQ(tokens(L"\\u{2ffff}"), 1);
    EXPECT_EQ(tokens(L"ab\\"), 0);  // a lone "\" at the end
}

TEST_F(Tokens, SurrogatePairsAreOneCodePoint)
{
    ASSERT_EQ(tokens(L"\xD83D\xDE00"), 1);
    EXPECT_EQ(list(), (std::vector<uint32_t>{0x1F600}));
    EXPECT_EQ(tokens(L"\xDB40\xDC00"), 0);  // U+E0000 is above 0x2FFFF
}

TEST_F(Tokens, CountedQuantifiers)
{
    struct { const wchar_t* pattern; uint32_t token; } cases[] = {
        {L"a{3}", tokcount + 3 * 256},        {L"a{3,0}", tokcount + 3 * 256},
        {L"a{,2}", tokcount + 2},             {L"a{2,}", tokcount + 2 * 256 + 255},
        {L"a{2,5}", tokcount + 2 * 256 + 5},  {L"a{255}", tokcount + 255 * 256},
        {L"a{0,255}", tokcount + 255},        {L"a{3,3}", tokcount + 3 * 256 + 3},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(tokens(c.pattern), 1) << qtest::narrow(c.pattern);
        EXPECT_EQ(rx->tokens[1], c.token) << qtest::narrow(c.pattern);
    }
    for (const wchar_t* bad : {L"a{300}", L"a{2,300}", L"a{300,}", L"a{", L"a{3,2}", L"a{}", L"a{,}",
                               L"a{1,2,3}", L"a{x}", L"a{2 }", L"{"})
        EXPECT_EQ(tokens(bad), 0) << qtest::narrow(bad);
}

TEST_F(Tokens, BracketNesting)
{
    EXPECT_EQ(tokens(L")("), 0);
    EXPECT_EQ(tokens(L"(()"), 0);
    EXPECT_EQ(tokens(L"a)"), 0);
    std::wstring deep = std::wstring(255, L'(') + L"a" + std::wstring(255, L')');
    EXPECT_EQ(tokens(deep.c_str()), 1);
    deep = std::wstring(256, L'(') + L"a" + std::wstring(256, L')');
    EXPECT_EQ(tokens(deep.c_str()), 0);
    EXPECT_EQ(rx->npairs1, 0u);
}

TEST_F(Tokens, PairTableHoldsEveryGroupInOrder)
{
    ASSERT_EQ(tokens(L"(a(b))(c)"), 1);
    ASSERT_EQ(rx->npairs1, 3u);
    EXPECT_EQ(rx->pairs1[0].open, 0u);
    EXPECT_EQ(rx->pairs1[0].close, 5u);
    EXPECT_EQ(rx->pairs1[1].open, 2u);
    EXPECT_EQ(rx->pairs1[1].close, 4u);
    EXPECT_EQ(rx->pairs1[2].open, 6u);
    std::wstring many;
    for (int i = 0; i < 255; ++i)
        many += L"(a)";
    EXPECT_EQ(tokens(many.c_str()), 1);
    many += L"(a)";
    EXPECT_EQ(tokens(many.c_str()), 0);
}

TEST_F(Tokens, CacheSharesPredefinedAndEscapedClasses)
{
    ASSERT_EQ(tokens(L"\\d\\.\\d\\.\\w\\b\\B\\-"), 1);
    EXPECT_EQ(rx->classes.count, 4u);  // \d, \., \w (with \b \B), \-
    EXPECT_EQ(rx->tokens[0], rx->tokens[2]);
    EXPECT_EQ(rx->tokens[1], rx->tokens[3]);
    EXPECT_EQ(rx->tokens[5] - tokboundary, rx->tokens[4] - tokclass);
    EXPECT_EQ(rx->tokens[6] - toknotboundary, rx->tokens[4] - tokclass);
    // Brackets are never shared.
    ASSERT_EQ(tokens(L"[a][a]"), 1);
    EXPECT_EQ(rx->classes.count, 2u);
}

TEST_F(Tokens, ANewPatternDiscardsTheOldRecords)
{
    ASSERT_EQ(tokens(L"[a][b][c]"), 1);
    ASSERT_EQ(tokens(L"\\s"), 1);
    EXPECT_EQ(rx->classes.count, 1u);
    EXPECT_EQ(rx->cls(0).count, 25u);
}

class Brackets : public rxtest {
protected:
    // The class of a one-bracket pattern, or null when it is refused.
    const classrec* set(const wchar_t* pattern)
    {
        if (tokens(pattern) != 1 || rx->tokens.count != 1)
            return nullptr;
        return &rx->cls(rx->tokens[0] - tokclass);
    }
};

TEST_F(Brackets, SinglesRangesAndEscapes)
{
    const classrec* c = set(L"[a-cx\\]\\t\\u{1F600}]");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->count, 7u);
    for (uint32_t cp : {uint32_t('a'), uint32_t('b'), uint32_t('c'), uint32_t('x'), uint32_t(']'),
                        uint32_t(9), uint32_t(0x1F600)})
        EXPECT_TRUE(c->has(cp));
    c = set(L"[\\u{41}-\\u{43}\\.-\\/]");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->count, 5u);
}

TEST_F(Brackets, RangesMustRise)
{
    EXPECT_FALSE(set(L"[a-a]"));
    EXPECT_FALSE(set(L"[z-a]"));
    EXPECT_TRUE(set(L"[a-b]"));
}

TEST_F(Brackets, DashFirstOrLastIsLiteral)
{
    for (const wchar_t* p : {L"[-a]", L"[a-]", L"[^-a]"}) {
        const classrec* c = set(p);
        ASSERT_TRUE(c) << qtest::narrow(p);
        if (p[1] == L'^') {
            EXPECT_FALSE(c->has('-') || c->has('a'));
            EXPECT_EQ(c->count, cplimit - 2);
        } else {
            EXPECT_EQ(c->count, 2u);
            EXPECT_TRUE(c->has('-') && c->has('a'));
        }
    }
}

TEST_F(Brackets, EmptySetsAndUnclosedSetsFail)
{
    EXPECT_FALSE(set(L"[]"));
    EXPECT_FALSE(set(L"[^]"));
    EXPECT_FALSE(set(L"[abc"));
    EXPECT_FALSE(set(L"[a\\"));
    EXPECT_FALSE(set(L"[a-z-[a-z]]"));  // nothing left
}

TEST_F(Brackets, NestedSetsUniteAndSubtract)
{
    const classrec* c = set(L"[a-z-[aeiou]]");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->count, 21u);
    EXPECT_FALSE(c->has('e'));
    c = set(L"[[ab]c[^\\w]]");
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->has('a') && c->has('c') && c->has(' ') && !c->has('d'));
    c = set(L"[\\w-\\d]");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->count, 127604u - 610u);
    c = set(L"[0-9a-\\d]");  // "a" then minus the digits
    ASSERT_TRUE(c);
    EXPECT_EQ(c->count, 1u);
    EXPECT_TRUE(c->has('a'));
    // The nested records are given back once used.
    EXPECT_EQ(rx->classes.count, 1u);
}

TEST_F(Brackets, NegationComplementsAfterTheSet)
{
    const classrec* c = set(L"[^a-c]");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->count, cplimit - 3);
    EXPECT_TRUE(c->has(0) && c->has(0x2FFFF) && !c->has('b'));
}

TEST_F(Brackets, SurrogateHalvesAreMembersOneByOne)
{
    const classrec* c = set(L"[\xD83D\xDE00]");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->count, 2u);
    EXPECT_TRUE(c->has(0xD83D) && c->has(0xDE00) && !c->has(0x1F600));
}

TEST_F(Brackets, DeepNestingIsRefusedNotOverflowed)
{
    std::wstring deep = std::wstring(100000, L'[') + L"a" + std::wstring(100000, L']');
    EXPECT_EQ(match(deep.c_str(), L"a"), rxbad2);
}

class Messages : public rxtest {
protected:
    qtest::logpane pane;
    void SetUp() override
    {
        rxtest::SetUp();
        eng.logon = 1;
        eng.logsupfile = eng.logsupwin = 2;  // forced lines pass even so
    }
};

TEST_F(Messages, ParseMessagesAreForcedPastSuppression)
{
    tokens(L"\\u28");
    tokens(L"\\u{30000}");
    std::wstring many;
    for (int i = 0; i < 256; ++i)
        many += L"()";
    tokens(many.c_str());
    EXPECT_EQ(pane.text(), L"invalid char error,\r\nabove 0x2ffff are not supported,\r\n"
                           L"too many round bracket pairs error. \r\n");
    EXPECT_EQ(eng.logsupfile, 2u);
    EXPECT_EQ(eng.logsupwin, 2u);
}

TEST_F(Messages, NothingIsLoggedWhileTheLogIsOff)
{
    eng.logon = 0;
    tokens(L"\\u28");
    EXPECT_EQ(match(L"(", L"subject"), rxbad1);
    EXPECT_EQ(pane.text(), L"");
}

TEST_F(Messages, CompileFailuresNameTheSubject)
{
    EXPECT_EQ(match(L"a{", L"the subject"), rxbad1);
    EXPECT_EQ(match(L"((a{255}){255}){255}", L"other"), rxbad2);
    EXPECT_EQ(pane.text(), L"parser 1st level error:the subject \r\nparser 2nd level error.:other:\r\n");
}

}  // namespace
