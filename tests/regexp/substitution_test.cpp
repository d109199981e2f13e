// Substitution: templates and their references, every match or the first,
// empty matches and surrogate pairs, what the object keeps between calls,
// and the limits.
#include "regexp/rxtest.h"
#include "support/scriptrun.h"

namespace {

constexpr uint32_t keepprogram = 1, keeptemplate = 2, keepsubject = 4, firstonly = 16;

class Subs : public qtest::rxtest {
protected:
    // Replaces in `subject` from `start`; the result text as a string.
    int subs(const wchar_t* pattern, const wchar_t* templ, const wchar_t* subject, uint32_t flags = 0,
             uint32_t start = 0)
    {
        return rx->regexsubs(flags, pattern, templ, subject, start);
    }
    std::wstring result() const { return std::wstring(rx->resulttext(), rx->resultlength()); }
};

TEST_F(Subs, ReferencesInsertCaptures)
{
    EXPECT_EQ(subs(L"(\\w+):(\\w+)", L"\\2 at \\1", L"ann:host"), 1);
    EXPECT_EQ(result(), L"host at ann");
    EXPECT_EQ(subs(L"x(ab)y", L"\\1\\1", L"-xaby-"), 1);
    EXPECT_EQ(result(), L"-abab-");
    // Not references: "\0", other escapes, a lone "\" at the end.
    EXPECT_EQ(subs(L"b", L"\\0\\n\\x\\", L"abc"), 1);
    EXPECT_EQ(result(), L"a\\0\\n\\x\\c");
    // All the digits after "\" make the number.
    EXPECT_EQ(subs(L"(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)", L"\\10|\\1", L"abcdefghij"), 1);
    EXPECT_EQ(result(), L"j|a");
    // Records count in closing order: the inner group closes first.
    EXPECT_EQ(subs(L"((a)b)", L"\\1-\\2", L"ab"), 1);
    EXPECT_EQ(result(), L"a-ab");
    EXPECT_TRUE(fatals.empty());
}

TEST_F(Subs, EveryMatchOrTheFirst)
{
    EXPECT_EQ(subs(L"a", L"b", L"banana"), 1);
    EXPECT_EQ(result(), L"bbnbnb");
    EXPECT_EQ(subs(L"a", L"b", L"banana", firstonly), 1);
    EXPECT_EQ(result(), L"bbnana");
    EXPECT_EQ(rx->afterpos, 2u);
    // From a start offset: the text before it stays, and positions count
    // from the start of the result.
    EXPECT_EQ(subs(L"a", L"<>", L"banana", firstonly, 2), 1);
    EXPECT_EQ(result(), L"ban<>na");
    EXPECT_EQ(rx->afterpos, 5u);
    EXPECT_EQ(subs(L"a", L"", L"banana", 0, 2), 1);
    EXPECT_EQ(result(), L"bann");
    // A match that ends the subject, then the search at the very end.
    EXPECT_EQ(subs(L"a$", L"!", L"aa"), 1);
    EXPECT_EQ(result(), L"a!");
}

TEST_F(Subs, EmptyMatchesStepOneCodePoint)
{
    EXPECT_EQ(subs(L"x*", L"-", L"ab"), 1);
    EXPECT_EQ(result(), L"-a-b-");
    EXPECT_EQ(subs(L"a*", L"-", L"baaac"), 1);
    EXPECT_EQ(result(), L"-b--c-");
    // A pair is one step: neither half is left alone.
    EXPECT_EQ(subs(L"x*", L"-", L"\xD83D\xDE00z\xD83D\xDE01"), 1);
    EXPECT_EQ(result(), L"-\xD83D\xDE00-z-\xD83D\xDE01-");
    // Lone halves are a unit each.
    EXPECT_EQ(subs(L"x*", L"-", L"\xDE00\xD800"), 1);
    EXPECT_EQ(result(), L"-\xDE00-\xD800-");
    // First only: the position is right behind the inserted text.
    EXPECT_EQ(subs(L"x*", L"--", L"\xD83D\xDE00z", firstonly, 0), 1);
    EXPECT_EQ(result(), L"--\xD83D\xDE00z");
    EXPECT_EQ(rx->afterpos, 2u);
    EXPECT_EQ(subs(L"", L"+", L""), 1);
    EXPECT_EQ(result(), L"+");
}

TEST_F(Subs, TheTemplateKeepsItsFirst256Units)
{
    std::wstring longtemplate;
    for (int k = 0; k < 30; ++k)
        longtemplate += L"0123456789";
    EXPECT_EQ(subs(L"x", longtemplate.c_str(), L"x"), 1);
    EXPECT_EQ(result(), longtemplate.substr(0, 256));
    // A pair across the cut is left out whole.
    std::wstring pair = std::wstring(255, L't') + L"\xD83D\xDE00" + L"tail";
    EXPECT_EQ(subs(L"x", pair.c_str(), L"x"), 1);
    EXPECT_EQ(result(), std::wstring(255, L't'));
    // A reference cut in the middle of its digits is read as cut.
    std::wstring ref = std::wstring(254, L'r') + L"\\12";
    EXPECT_EQ(subs(L"(x)", ref.c_str(), L"x"), 1);
    EXPECT_EQ(result(), std::wstring(254, L'r') + L"x");
}

TEST_F(Subs, TheObjectKeepsTemplateSubjectAndProgram)
{
    EXPECT_EQ(subs(L"\\d+", L"#", L"a1b22"), 1);
    EXPECT_EQ(result(), L"a#b#");
    EXPECT_EQ(subs(nullptr, nullptr, L"n 333", keepprogram | keeptemplate), 1);
    EXPECT_EQ(result(), L"n #");
    EXPECT_EQ(subs(L"[a-z]", nullptr, nullptr, keeptemplate | keepsubject), 1);
    EXPECT_EQ(result(), L"# 333");
    // No match: 0, and the last result stays.
    EXPECT_EQ(subs(L"q", L"Q", L"none"), 0);
    EXPECT_EQ(result(), L"# 333");
    // The subject is the object's own copy.
    std::wstring text = L"copy me";
    EXPECT_EQ(subs(L"c", L"C", text.c_str()), 1);
    text.assign(L"gone");
    EXPECT_EQ(subs(nullptr, nullptr, nullptr, keepprogram | keeptemplate | keepsubject), 1);
    EXPECT_EQ(result(), L"Copy me");
}

TEST_F(Subs, AFreshObjectUsesTheEmptyPatternAndSubject)
{
    EXPECT_EQ(result(), L"");
    EXPECT_EQ(subs(nullptr, L"+", nullptr, keepprogram | keepsubject), 1);
    EXPECT_EQ(result(), L"+");
    EXPECT_EQ(subs(nullptr, nullptr, L"ab", keepprogram | keeptemplate), 1);
    EXPECT_EQ(result(), L"+a+b+");
}

TEST_F(Subs, CompileOnlyAndRefusedPatterns)
{
    EXPECT_EQ(subs(L"(", L"x", L"s", 0, 0xFFFFFFFF), rxbad1);
    EXPECT_EQ(subs(L"a", L"x", L"a", 0, 0xFFFFFFFF), 0);
    EXPECT_EQ(result(), L"");  // nothing was replaced
    EXPECT_EQ(subs(nullptr, nullptr, nullptr, keepprogram | keeptemplate | keepsubject), 1);
    EXPECT_EQ(result(), L"x");
    // A refused pattern gives 0 in a normal call, and so does its reuse.
    EXPECT_EQ(subs(L"(", L"x", L"(", 0), 0);
    EXPECT_EQ(subs(nullptr, L"x", L"(", keepprogram), 0);
    EXPECT_EQ(subs(nullptr, L"x", L"(", keepprogram, 0xFFFFFFFF), 0);
    std::wstring many;
    for (int k = 0; k < 257; ++k)
        many += L"[a]";
    EXPECT_EQ(subs(many.c_str(), L"x", L"a", 0, 0xFFFFFFFF), rxbad2);
    EXPECT_EQ(subs(many.c_str(), L"x", L"a"), 0);
}

TEST_F(Subs, SearchResultsOtherThanAMatch)
{
    // The first search decides when nothing was replaced.
    EXPECT_EQ(subs(L"^b", L"x", L"ab"), rxanchor);
    EXPECT_EQ(subs(L"a(?R)", L"x", std::wstring(100, L'a').c_str()), rxdeep);
    EXPECT_EQ(subs(L"b", L"x", L"abc", 0, 9), 0);
    // Later ones only end the loop.
    EXPECT_EQ(subs(L"^a", L"-", L"aaa"), 1);
    EXPECT_EQ(result(), L"-aa");
    // Group calls expand as the search meets them, also between passes.
    EXPECT_EQ(subs(L"(a(?R)?b)", L"<>", L"xaabby ab"), 1);
    EXPECT_EQ(result(), L"x<>y <>");
    // The inner group closes first: record 1 of "aabb" is "ab".
    EXPECT_EQ(subs(L"(a(?R)?b)", L"<\\1>", L"xaabby", firstonly), 1);
    EXPECT_EQ(result(), L"x<ab>y");
}

TEST_F(Subs, AReferenceBeyondTheCapturesIsFatal)
{
    EXPECT_EQ(subs(L"(a)(b)", L"\\3", L"ab"), rxfatal);
    ASSERT_EQ(fatals.size(), 1u);
    EXPECT_EQ(fatals[0], L"invalid capref number error.\n");
    fatals.clear();
    // A number too large for any count is still just beyond them.
    EXPECT_EQ(subs(L"(a)", L"\\99999999999999999999", L"a"), rxfatal);
    ASSERT_EQ(fatals.size(), 1u);
    fatals.clear();
    // No captures at all: "\1" is beyond them.
    EXPECT_EQ(subs(L"a", L"\\1", L"xa"), rxfatal);
    EXPECT_EQ(fatals.size(), 1u);
}

TEST_F(Subs, TheMatcherLimitsAreFatalHereToo)
{
    EXPECT_EQ(subs(L"(a)*", L"", std::wstring(256, L'a').c_str()), rxfatal);
    ASSERT_EQ(fatals.size(), 1u);
    EXPECT_EQ(fatals[0], L"Too much restore number error.");
    fatals.clear();
    EXPECT_EQ(subs(L"(?:a|b)*", L"", std::wstring(1000, L'a').c_str()), rxfatal);
    ASSERT_EQ(fatals.size(), 1u);
    EXPECT_EQ(fatals[0], L"split table overflow error");
}

TEST_F(Subs, LongResultsGrowAndAreGivenBack)
{
    const std::wstring subject(20000, L'a');
    EXPECT_EQ(subs(L"(a)", L"\\1\\1\\1", subject.c_str()), 1);
    EXPECT_EQ(result(), std::wstring(60000, L'a'));
    EXPECT_EQ(rx->resulttext()[60000], 0);
    EXPECT_EQ(subs(L"a", L"", subject.c_str()), 1);
    EXPECT_EQ(result(), L"");
    // The blocks are given back by TearDown's destroy: no record stays.
}

class Subject : public qtest::rxtest {};

// A failed search may stop inside an attempt that had closed a group.
TEST_F(Subject, AFailedSearchLeavesNoCaptures)
{
    EXPECT_EQ(match(L"(a)bcd", L"axxxxxx"), 0);
    EXPECT_EQ(rx->ncaps, 0u);
    EXPECT_EQ(rx->mend, nullptr);
    EXPECT_EQ(match(L"(a)(b)c", L"ab"), 0);
    EXPECT_EQ(rx->ncaps, 0u);
}

// A new subject drops the match found in the old one, whose text it overwrites.
TEST_F(Subject, ANewSubjectDropsTheOldMatch)
{
    EXPECT_EQ(match(L"(b+)", L"abbbc"), 1);
    EXPECT_EQ(capture(1), L"bbb");
    rx->setsubject(std::wstring(1000, L'z').c_str());
    EXPECT_EQ(rx->mend, nullptr);
    EXPECT_EQ(rx->ncaps, 0u);
    // A refused pattern then leaves nothing to read either.
    EXPECT_EQ(match(L"(", L"x"), rxbad1);
    EXPECT_EQ(rx->mend, nullptr);
}

}  // namespace
