// Inputs that once overflowed the script thread's stack, piled values up on the
// datum stacks or ended in an internal error: each now ends in a clear message
// or runs as written.
#include <gtest/gtest.h>

#include <string>

#include "runtime/exescr.h"
#include "support/scriptrun.h"

namespace {

std::wstring repeat(const wchar_t* s, int n)
{
    std::wstring out;
    for (int k = 0; k < n; ++k)
        out += s;
    return out;
}

// `levels` nested calls of `open` around `inner`, assigned on line 2.
std::wstring nested(const wchar_t* open, const wchar_t* close, int levels, const wchar_t* inner)
{
    return L"y = 0\r\nx = " + repeat(open, levels) + inner + repeat(close, levels) + L"\r\n";
}

const std::wstring toodeep = L"Exiting... Expression nested too deeply. at line 2 \n";

}  // namespace

// The statement is one level of text, each argument or index one more: at
// most maxcompdepth levels in all.
TEST(CompileNesting, BoundHoldsOnBothSidesForEveryWayOfNesting)
{
    const int most = ExeScr::maxcompdepth - 1;
    EXPECT_EQ(qtest::runscript(L"nest_ok", nested(L"sqrt(", L")", most, L"0") + L"printf(\"%D\\n\", x)\r\n"),
              L"0\n");
    EXPECT_EQ(qtest::runscript(L"nest_sqrt", nested(L"sqrt(", L")", most + 1, L"0")), toodeep);
    EXPECT_EQ(qtest::runscript(L"nest_issue", nested(L"sqrt(", L")", 3000, L"0")), toodeep);
    EXPECT_EQ(qtest::runscript(L"nest_index", L"a[0] = 0\r\n" + nested(L"a[", L"]", 3000, L"0").substr(7)), toodeep);
    EXPECT_EQ(qtest::runscript(L"nest_lower", nested(L"tolowerstr(", L")", 3000, L"\"A\"")), toodeep);
    EXPECT_EQ(qtest::runscript(L"nest_idxok", L"a[0] = 0\r\n" + nested(L"a[", L"]", most, L"0").substr(7) +
                                                  L"printf(\"%D\\n\", x)\r\n"),
              L"0\n");
}

// Parentheses nest on the compiler's own item stack, not through front ends.
TEST(CompileNesting, ParenthesesAreNoTextLevels)
{
    EXPECT_EQ(qtest::runscript(L"nest_paren", nested(L"(", L")", 4000, L"7") + L"printf(\"%D\\n\", x)\r\n"), L"7\n");
}

TEST(RunNesting, ExelineOfItselfStopsAtTheCallDepth)
{
    const std::wstring log = qtest::runscript(L"exeline_self", L"t = \"exeline(t)\"\r\nexeline(t)\r\n");
    EXPECT_EQ(log.substr(0, 49), L"Exiting... Function calls nested too deeply.:2000") << qtest::narrow(log);
}

// Every statement's value but the last is dropped in text run by exeline: a
// loop of many-statement texts must not fill the datum stacks.
TEST(RunNesting, ExelineKeepsOnlyTheLastStatementsValue)
{
    EXPECT_EQ(qtest::runscript(L"exeline_many",
                               L"exeline(\"a = 1\\nb = 2\")\r\n"
                               L"exeline(\"a = 1\\nb = 2\")\r\n"
                               L"for (k = 0; k < 300; k++) exeline(\"p = 1; q = \\\"s\\\"; r = 3; if (r) r = 4\")\r\n"
                               L"exeline(\"s = \\\"x\\\"\\ndone = 1\")\r\n"
                               L"printf(\"%D %s %D %s\\n\", a + b, q, r, s)\r\n"),
              L"3 s 4 x\n");
}

TEST(UnitKeywords, BehindOtherTextOnALineAreAClearError)
{
    const std::wstring msg = L"Exiting... main, function, functstr and thread must begin a line. at line ";
    EXPECT_EQ(qtest::runscript(L"semi_main", L"x = 1; main {\r\n}\r\n"), msg + L"1 \n");
    EXPECT_EQ(qtest::runscript(L"semi_main2", L"x = 1\r\n;main{\r\nprintf(\"in\")\r\n}\r\n"), msg + L"2 \n");
    EXPECT_EQ(qtest::runscript(L"semi_ok", L"x = 1\r\n main {\r\nprintf(\"in\\n\")\r\n}\r\n"), L"in\n")
        << "blanks before the keyword are fine";
}

TEST(CompileErrors, DetailsEndAtTheirLine)
{
    // Inside a call the comment must end on its line; the detail stopped at
    // the LF and kept the CR.
    EXPECT_EQ(qtest::runscript(L"comment_cr", L"x = sqrt(1 /* open\r\n)\r\n"),
              L"Exiting... no */ for the comment. at line 1: open: \n");
}

// A statement's compile time grows with its length, not with its square:
// 200,000 terms took some 40 s when every reduction passed over the finished
// operators again. The bound is loose (a quadratic compile is minutes away);
// the result is the same with the segment pass and without it.
TEST(CompileLength, ALongSumCompilesInTimeLinearInItsLength)
{
    const std::wstring text = L"x = 1\r\nt = x" + repeat(L" + x", 199999) + L"\r\nprintf(\"%D\\n\", t)\r\n";
    for (const bool pass : {true, false}) {
        qtest::segpasson = pass;
        const ULONGLONG started = GetTickCount64();
        EXPECT_EQ(qtest::runscript(L"longsum", text), L"200000\n") << "pass " << pass;
        EXPECT_LT(GetTickCount64() - started, 10000u) << "pass " << pass;
    }
    qtest::segpasson = true;
}
