// The argument splitter, sub-command words, and the order of the word table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/wordtable.h"
#include "runtime/exescr.h"
#include "support/frontend.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;
using qtest::fronterror;
using qtest::frontrun;

namespace {

// The arguments `splitargs` leaves, first to last, and its count.
std::vector<std::wstring> split(const std::wstring& text, int32_t maxargs = 0)
{
    ExeScr e;
    std::wstring buf = text;
    const int32_t n = e.splitargs(buf.data(), maxargs);
    std::vector<std::wstring> args(static_cast<size_t>(n));
    for (int32_t k = n - 1; k >= 0; --k)
        args[static_cast<size_t>(k)] = buf.data() + e.mypop();
    EXPECT_TRUE(e.offsets.empty()) << "one offset per argument";
    e.freemypush();
    return args;
}

using list = std::vector<std::wstring>;

}  // namespace

TEST(SplitArgs, CommasSplitOnlyOutsideLiteralsParenthesesAndComments)
{
    EXPECT_EQ(split(L"s, 1"), (list{L"s", L" 1"})) << "blanks stay with the argument";
    EXPECT_EQ(split(L""), (list{L""})) << "an empty text is one empty argument";
    EXPECT_EQ(split(L"\"a,b\", 1"), (list{L"\"a,b\"", L" 1"}));
    EXPECT_EQ(split(L"'it''s, ok', 2"), (list{L"'it''s, ok'", L" 2"}));
    EXPECT_EQ(split(L"\"say \\\", then\", x"), (list{L"\"say \\\", then\"", L" x"})) << "an escaped quote";
    EXPECT_EQ(split(L"f(a, b), c"), (list{L"f(a, b)", L" c"}));
    EXPECT_EQ(split(L"a /* x, y */, b"), (list{L"a /* x, y */", L" b"}));
    EXPECT_EQ(split(L"a / b, c"), (list{L"a / b", L" c"})) << "a lone slash is ordinary";
    EXPECT_EQ(split(L"a), b, c").size(), 1u) << "below depth 0 commas no longer split";
    EXPECT_EQ(split(L"\"\", x"), (list{L"\"\"", L" x"})) << "an empty literal is stepped over";
}

TEST(SplitArgs, ALimitLeavesTheRestToTheLastArgument)
{
    EXPECT_EQ(split(L"a, b, c", 2), (list{L"a", L" b, c"}));
    EXPECT_EQ(split(L"a", 2), (list{L"a"}));
}

TEST(SplitArgs, UnendedLiteralsAndCommentsAreCompileErrors)
{
    for (const auto& [text, message] : std::initializer_list<std::pair<const wchar_t*, const wchar_t*>>{
             {L"\"abc, 1", L"no end mark of string.:abc, 1:"},
             {L"'abc", L"no end mark of string.:abc:"},
             {L"\"abc\\", L"no end mark of string.:abc\\:"},
             {L"\"", L"no end mark of string.::"},
             {L"a /* b, c", L"no */ for the comment.: b, c:"}}) {
        const std::wstring t = text;
        EXPECT_EQ(expectfatal(fatalengine(),
                              [t](ExeScr& x) {
                                  std::wstring buf = t;
                                  x.splitargs(buf.data());
                              }),
                  message)
            << t;
    }
}

TEST(SubCommand, WordsAreTrimmedAndCompareExactly)
{
    static const ExeScr::subword words[] = {{L"open", 0}, {L"close", 1}, {nullptr, 0}};
    ExeScr e;
    std::wstring t = L" \tclose  ";
    EXPECT_EQ(e.subcommand(t.data(), words), 1);
    EXPECT_EQ(expectfatal(fatalengine(),
                          [](ExeScr& x) {
                              std::wstring b = L"Close";
                              x.subcommand(b.data(), words);
                          }),
              L"Not supported parameter.");
    EXPECT_EQ(expectfatal(fatalengine(),
                          [](ExeScr& x) {
                              std::wstring b = L"width";
                              x.subcommand(b.data(), words, true);
                          }),
              L"Not supported parameter.:width:");
    EXPECT_EQ(expectfatal(fatalengine(),
                          [](ExeScr& x) {
                              std::wstring b = L"  ";
                              x.subcommand(b.data(), words);
                          }),
              L"invalid name.");
}

TEST(WordTable, PrefixesComeFirstAndLettersStayApart)
{
    // Every entry sits under its own first letter, and a prefix entry stands
    // before each word of its letter that it begins.
    for (wchar_t letter = L'a'; letter <= L'y'; ++letter) {
        const wordrange r = wordsof(letter);
        for (const wordentry* e = r.first; e && e != r.last; ++e) {
            EXPECT_EQ(e->word[0], letter) << e->word;
            if (!e->prefix)
                continue;
            for (const wordentry* before = r.first; before != e; ++before)
                EXPECT_NE(std::wstring(before->word).compare(0, static_cast<size_t>(e->prefix), e->word), 0)
                    << before->word << " hides behind prefix " << e->word;
        }
    }
    for (wchar_t letter : {L'j', L'o', L'z', L'A', L'_'})
        EXPECT_EQ(wordsof(letter).first, nullptr) << static_cast<char>(letter);
    const wordrange s = wordsof(L's');
    EXPECT_LE(s.last - s.first, 35) << "the longest chain of comparisons";
}

TEST(ArgRoutines, ThreadControlWordsAndCounts)
{
    EXPECT_TRUE(frontrun(&ExeScr::threadctl_comp, L" count ").lastop(&ExeScr::threadctl_exec, 5));
    EXPECT_TRUE(frontrun(&ExeScr::threadctl_comp, L"join, 7").lastop(&ExeScr::threadctl_exec, 0));
    EXPECT_TRUE(frontrun(&ExeScr::threadctl_comp, L"sendkey, 1, 27").lastop(&ExeScr::threadctl_exec, 1));
    EXPECT_EQ(fronterror(&ExeScr::threadctl_comp, L"join"), L"the number of argument mismatch.");
    EXPECT_EQ(fronterror(&ExeScr::threadctl_comp, L"sendkey, 1"), L"the number of argument mismatch.");
    EXPECT_EQ(fronterror(&ExeScr::threadctl_comp, L"Join, 1"), L"Not supported parameter.");
    EXPECT_EQ(fronterror(&ExeScr::threadctl_comp, L" , 1"), L"invalid name.");
}

TEST(ArgRoutines, MonitorSidesPlainAndIndexed)
{
    EXPECT_TRUE(frontrun(&ExeScr::monrect_comp, L"0, top").lastop(&ExeScr::monrect_exec, 2));
    EXPECT_TRUE(frontrun(&ExeScr::monrect_comp, L"1, bottom ").lastop(&ExeScr::monrect_exec, 4));
    EXPECT_EQ(fronterror(&ExeScr::monrect_comp, L"0, width"), L"Not supported parameter.:width:");
    EXPECT_EQ(fronterror(&ExeScr::monrect_comp, L"0"), L"the number of argument mismatch.");
    EXPECT_TRUE(frontrun(&ExeScr::monrectidx_comp, L"monrect[1 + 1].left").lastop(&ExeScr::monrect_exec, 1));
    EXPECT_EQ(fronterror(&ExeScr::monrectidx_comp, L"monrect[0.left"), L"Cannot find ] error");
    EXPECT_EQ(fronterror(&ExeScr::monrectidx_comp, L"monrect[0].side"), L"Not supported parameter.:side:");
}

TEST(ArgRoutines, NumStrAndIaddCounts)
{
    EXPECT_EQ(fronterror(&ExeScr::num_comp, L"1, 2"), L"the number of argument mismatch.") << "fatal, no line";
    EXPECT_EQ(fronterror(&ExeScr::iadd_comp, L"1"), L"the number of argument mismatch.");
    frontrun iadd(&ExeScr::iadd_comp, L"1, 2");
    EXPECT_TRUE(iadd.e.code[iadd.e.codecount() - 1].op == static_cast<execfn>(&ExeScr::iadd_exec));
    EXPECT_EQ(fronterror(&ExeScr::str_comp, L"12"), L"syntax error:NUMINT:invalid token in string mode.")
        << "a number where a string must stand";
}

TEST(ArgRoutines, PrintfFormatsAreCheckedAndCounted)
{
    EXPECT_EQ(frontrun(&ExeScr::printf_comp, L"'%d items', 3").e.codecount() > 0, true);
    frontrun percent(&ExeScr::printf_comp, L"\"100%% %05d %-8s %.3d\", 1, \"s\", 2");
    EXPECT_TRUE(percent.e.code[percent.e.codecount() - 1].op == static_cast<execfn>(&ExeScr::printf_exec));
    EXPECT_EQ(fronterror(&ExeScr::printf_comp, L"'%d items', 1, 2"), L"number of arguments mismatch.");
    EXPECT_EQ(fronterror(&ExeScr::printf_comp, L"'%00d', 1"), L"field length 0 error.");
    EXPECT_EQ(fronterror(&ExeScr::printf_comp, L"'%ld', 1"), L"unsupportrd format.:ld");
    EXPECT_EQ(fronterror(&ExeScr::printf_comp, L"'%+d', 1"), L"unsupportrd format.:+d");
    EXPECT_EQ(fronterror(&ExeScr::printf_comp, L"fmt, 1"), L"format string error in printf.");
    EXPECT_EQ(fronterror(&ExeScr::printf_comp, L"'%d' n, 1"), L"format string error in printf.");
}
