// Level 2: the node program of each construct, group numbers, the expansion
// of group calls, and the caps on what a pattern may build.
#include <chrono>

#include "regexp/rxtest.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

namespace {

class Program : public qtest::rxtest {
protected:
    // The program of `pattern` as one line, e.g. "spl>1/3 lit:a ok".
    std::string program(const wchar_t* pattern)
    {
        rx->setsubject(L"");
        if (rx->regexmatch(0, pattern, 0xFFFFFFFF, 0xFFFFFFFF) != 1)
            return "<refused>";
        std::string s;
        for (uint32_t k = 0; k < rx->nodes.count; ++k) {
            const rxnode& n = rx->nodes[k];
            if (k)
                s += ' ';
            const std::string a = std::to_string(n.a), bc = std::to_string(n.b) + "/" + std::to_string(n.c);
            switch (n.kind) {
            case ndliteral: s += n.a < 128 ? "lit:" + std::string(1, char(n.a)) : "lit#" + a; break;
            case ndclass: s += "cls" + a; break;
            case ndend: s += "end"; break;
            case ndsuccess: s += "ok"; break;
            case ndjump: s += "jmp>" + std::to_string(n.b); break;
            case ndsplit: s += "spl>" + bc; break;
            case ndcapture: s += "cap" + a + (n.b ? "c" : "o"); break;
            case ndboundary: s += "bnd"; break;
            case ndnotboundary: s += "nbnd"; break;
            case ndbackref: s += "ref" + a; break;
            case ndlookahead: s += std::string("ahead") + (n.a ? "-" : "+") + ">" + std::to_string(n.b); break;
            case ndlookbehind: s += std::string("behind") + (n.a ? "-" : "+") + ">" + std::to_string(n.b); break;
            case ndstart: s += "start"; break;
            case ndany: s += "any"; break;
            case ndcall: s += "call" + a; break;
            case ndloopback: s += "loop(" + a + ")>" + bc; break;
            default: s += "?" + std::to_string(n.kind); break;
            }
        }
        EXPECT_EQ(rx->nodes[rx->nodes.count].kind, ndempty);
        return s;
    }

    // The working copy as text.
    std::string work() const
    {
        std::string s;
        for (uint32_t i = 0; i < rx->work.count; ++i)
            s += rx->work[i] < 128 ? char(rx->work[i]) : '#';
        return s;
    }
};

TEST_F(Program, AlternativesJumpPastTheGroup)
{
    EXPECT_EQ(program(L"(a|b|c)"), "cap0o spl>2/4 lit:a jmp>8 spl>5/7 lit:b jmp>8 lit:c cap0c ok");
    EXPECT_EQ(program(L"a|"), "spl>1/3 lit:a jmp>3 ok");
    EXPECT_EQ(program(L"(?:|a)b"), "spl>1/2 jmp>3 lit:a lit:b ok");
}

TEST_F(Program, AtomQuantifiers)
{
    EXPECT_EQ(program(L"a?"), "spl>1/2 lit:a ok");
    EXPECT_EQ(program(L"a??"), "spl>2/1 lit:a ok");
    EXPECT_EQ(program(L"a*"), "jmp>2 lit:a spl>1/3 ok");
    EXPECT_EQ(program(L"a*?"), "jmp>2 lit:a spl>3/1 ok");
    EXPECT_EQ(program(L"a+"), "lit:a spl>0/2 ok");
    EXPECT_EQ(program(L"a+?"), "lit:a spl>2/0 ok");
    EXPECT_EQ(program(L"x{2,4}"), "lit:x lit:x spl>3/4 lit:x spl>5/6 lit:x ok");
    EXPECT_EQ(program(L"x{2,4}?"), "lit:x lit:x spl>4/3 lit:x spl>6/5 lit:x ok");
    EXPECT_EQ(program(L"x{2,}"), "lit:x lit:x jmp>4 lit:x spl>3/5 ok");
    EXPECT_EQ(program(L"x{3}"), "lit:x lit:x lit:x ok");
    EXPECT_EQ(program(L"x{0}y"), "lit:y ok");
}

TEST_F(Program, AQuantifierWhereAnAtomBelongsIsALiteral)
{
    EXPECT_EQ(program(L"a**"), "jmp>2 lit:a spl>1/3 lit:* ok");
    EXPECT_EQ(program(L"*a"), "lit:* lit:a ok");
    EXPECT_EQ(program(L"a???"), "spl>2/1 lit:a lit:? ok");
    EXPECT_EQ(program(L"{2}"), "lit#" + std::to_string(tokcount + 512) + " ok");
}

TEST_F(Program, PossessiveForms)
{
    EXPECT_EQ(program(L"(?>a*)"), "spl>1/3 lit:a loop(0)>1/3 ok");
    EXPECT_EQ(program(L"(?>a+)"), "lit:a spl>2/4 lit:a loop(1)>2/4 ok");
    EXPECT_EQ(program(L"(?>a?)"), "spl>1/2 lit:a ok");
    EXPECT_EQ(program(L"(?>a{1,3})"), "lit:a spl>2/5 lit:a loop(1)>4/5 lit:a ok");
    EXPECT_EQ(program(L"(?>a{2,})"), "lit:a lit:a spl>3/5 lit:a loop(2)>3/5 ok");
    // Only the quantifiers written directly in the group.
    EXPECT_EQ(program(L"(?>(?:a*))"), "jmp>2 lit:a spl>1/3 ok");
}

TEST_F(Program, GroupQuantifiers)
{
    EXPECT_EQ(program(L"(a)+"), "cap0o lit:a cap0c spl>0/4 ok");
    EXPECT_EQ(program(L"(a)*"), "jmp>4 cap0o lit:a cap0c spl>1/5 ok");
    EXPECT_EQ(program(L"(?:ab)?"), "spl>1/3 lit:a lit:b ok");
    EXPECT_EQ(program(L"(?>(a)*)"), "spl>1/5 cap1o lit:a cap1c loop(0)>1/5 ok");
    EXPECT_EQ(program(L"(?:a){2}"), "lit:a lit:a ok");
}

TEST_F(Program, GroupNumbersCountEveryBracket)
{
    EXPECT_EQ(program(L"(?:a)(b)(?=c)(d)"), "lit:a cap1o lit:b cap1c ahead+>7 lit:c ok cap3o lit:d cap3c ok");
}

TEST_F(Program, Lookarounds)
{
    EXPECT_EQ(program(L"(?=a)b"), "ahead+>3 lit:a ok lit:b ok");
    EXPECT_EQ(program(L"(?!a)b"), "ahead->3 lit:a ok lit:b ok");
    EXPECT_EQ(program(L"(?<=a)b"), "behind+>4 lit:a end ok lit:b ok");
    EXPECT_EQ(program(L"(?<!a)b"), "behind->4 lit:a end ok lit:b ok");
}

TEST_F(Program, OtherAtoms)
{
    EXPECT_EQ(program(L"^.$\\1\\b\\B"), "start any end ref1 bnd nbnd ok");
    EXPECT_EQ(program(L"(?<n>a)"), "cap0o lit:? lit:< lit:n lit:> lit:a cap0c ok");
}

TEST_F(Program, CallsExpandOneLevelAtATime)
{
    ASSERT_EQ(tokens(L"(a)(?1)"), 1);
    EXPECT_EQ(work(), "(a)(?:a)");
    ASSERT_EQ(tokens(L"a(?R)b"), 1);
    EXPECT_EQ(work(), "a(?:a(?R)b)b");
    ASSERT_EQ(tokens(L"a(?0)"), 1);
    EXPECT_EQ(work(), "a(?:a(?0))");
    EXPECT_EQ(rx->explevel, 1u);
    // A call past the groups stops the expansion, silently.
    ASSERT_EQ(tokens(L"(a)(?5)(?1)"), 1);
    EXPECT_EQ(work(), "(a)(?5)(?1)");
}

TEST_F(Program, CallsOfGroupsWithAHeadCopyTheWholeGroup)
{
    ASSERT_EQ(tokens(L"(?:ab)(?1)"), 1);
    EXPECT_EQ(work(), "(?:ab)(?:ab)");
    EXPECT_EQ(match(L"(?:ab)(?1)", L"xabab"), 1);
    EXPECT_EQ(matched(), L"abab");
    ASSERT_EQ(tokens(L"(?=a)(?1)"), 1);
    EXPECT_EQ(work(), "(?=a)(?=a)");
    EXPECT_EQ(match(L"(?!a)(?1)b", L"ab"), 1);
    EXPECT_EQ(matchoffset(), 1u);
}

TEST_F(Program, QuantifiedCallsLeftByTheExpansionStayCalls)
{
    EXPECT_EQ(program(L"a(?R)?b"), "lit:a spl>2/6 lit:a spl>4/5 call0 lit:b lit:b ok");
    EXPECT_EQ(program(L"(?R)*"), "jmp>4 jmp>3 call0 spl>2/4 spl>1/5 ok");
}

TEST_F(Program, AMissingBracketAfterACallIsLogged)
{
    qtest::logpane pane;
    eng.logon = 1;
    EXPECT_EQ(match(L"(a)(?1b)", L"a?1b"), 1);
    EXPECT_EQ(matched(), L"a?1b");
    EXPECT_EQ(pane.text(), L"missing ) for ?(num) error\r\n");
}

TEST_F(Program, CallsInsideLookaroundsAreRefused)
{
    EXPECT_EQ(match(L"(?=a(?R)?)a", L"aa"), rxbad2);
    // A call the first expansion removes is fine.
    EXPECT_EQ(match(L"(a)(?=(?1))", L"aa"), 1);
}

TEST_F(Program, AnExpansionPastTheGroupTableIsRefused)
{
    // Every expansion doubles the calls; it ends at the 256th group instead
    // of writing group numbers past the table.
    EXPECT_EQ(match(L"(a|(?R)(?R))", L"b"), rxdeep);
    std::wstring many;
    for (int i = 0; i < 200; ++i)
        many += L"()";
    many += L"(?R)";
    EXPECT_EQ(match(many.c_str(), L""), rxdeep);
    EXPECT_EQ(match(L"(a)", L"a"), 1);  // the object is fine afterwards
}

TEST_F(Program, ProgramSizeIsCapped)
{
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(match(L"((a{255}){255}){255}", L"a"), rxbad2);
    EXPECT_EQ(match(L"(?:(?:(?:(?:a{255}){255}){255}){255}){255}", L"a"), rxbad2);
    std::wstring brackets;
    for (int i = 0; i < 300; ++i)
        brackets += L"[ab]";
    EXPECT_EQ(match(brackets.c_str(), L"ab"), rxbad2);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    // Just under the caps is fine.
    EXPECT_EQ(match(L"(a{255}){255}", std::wstring(255 * 255, L'a').c_str()), 1);
    EXPECT_EQ(rx->ncaps, 255u);
}

TEST_F(Program, AnUnbalancedHexBracketIsAFatalMismatch)
{
    EXPECT_EQ(match(L"\\u{28}a", L"a"), rxfatal);
    ASSERT_EQ(fatals.size(), 1u);
    EXPECT_EQ(fatals[0], L"combination mismatch of ()  \n");
    fatals.clear();
    EXPECT_EQ(match(L"\\u{28}a\\u{29}", L"a"), 1);
    EXPECT_EQ(rx->ncaps, 1u);
}

TEST_F(Program, StrategyChoice)
{
    struct { const wchar_t* pattern; uint32_t strategy; } cases[] = {
        {L"", RegExp::simplerestart},        {L"ab", RegExp::simplerestart},
        {L"(a)\\bb", RegExp::simplerestart}, {L"abc", RegExp::quicksearch},
        {L"\\d\\d\\d", RegExp::quicksearch}, {L"a(b)[cd]", RegExp::quicksearch},
        {L"a.b", RegExp::general},           {L"$", RegExp::general},
        {L"^abc", RegExp::general},          {L"ab*c", RegExp::general},
    };
    for (const auto& c : cases) {
        program(c.pattern);
        EXPECT_EQ(rx->strategy, c.strategy) << qtest::narrow(c.pattern);
    }
    std::wstring big(256, L'a');
    program(big.c_str());
    EXPECT_EQ(rx->strategy, RegExp::quicksearch);
    big += L'a';
    program(big.c_str());
    EXPECT_EQ(rx->strategy, RegExp::general);
}

}  // namespace
