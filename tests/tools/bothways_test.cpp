// The in-process runner of the both-ways fuzzer (support/bothways.h): its
// log must be the log a run writes, its state must show what the runs left,
// its bound must stop a run, and its comparison and minimiser must say and
// keep what differs.
#include <gtest/gtest.h>

#include <string>

#include "segments/segtest.h"
#include "support/bothways.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

namespace {

using qtest::narrow;
using qtest::runresult;
using segtest::crlf;

// Both ways through the runner, each on a fresh script stack.
struct pair {
    runresult with, without;
};
pair runboth(const std::wstring& text, DWORD bound = 5000)
{
    pair p;
    qtest::onscriptstack([&] {
        qtest::inprocess runner(qtest::scratchdir() + L"bothways.log");
        p.with = runner.run(crlf(text), true, bound);
        p.without = runner.run(crlf(text), false, bound);
    });
    return p;
}

TEST(BothWaysRunner, WritesTheLogARunWritesWithItsFatalLine)
{
    const wchar_t* const scripts[] = {
        L"x = 1 + 2\nprintf(\"%D\\n\", x * 2)\n\"t\" x\n",
        // A run-time error in a function a loop calls: the line of its cell.
        L"function f(n)\n{\n    return(10 / n)\n}\nmain\n{\n    for (i = 3; i >= 0; i--)\n        x = f(i)\n}\n",
        L"s = \"ab\"\ns++\n",
        L"a[-1] = 2\n",
        // A compile error: no line of a cell.
        L"x = (1 +\n",
        // More lines than one burst: the gathered ones arrive too.
        L"for (i = 0; i < 300; i++) \"line \" i\n",
    };
    for (const wchar_t* s : scripts) {
        const pair p = runboth(s);
        for (bool pass : {true, false}) {
            std::wstring want;
            {
                qtest::segpasson = pass;
                want = qtest::runscript(L"bothways", crlf(s));
                qtest::segpasson = true;
            }
            const runresult& got = pass ? p.with : p.without;
            EXPECT_EQ(narrow(want), narrow(got.log)) << narrow(s);
            EXPECT_EQ(want.find(L"Exiting...") != std::wstring::npos, got.fatal) << narrow(s);
            EXPECT_FALSE(got.stopped);
        }
        EXPECT_EQ(L"", qtest::difference(p.with, p.without)) << narrow(s);
    }
}

TEST(BothWaysRunner, StateShowsGlobalsElementsTextsAndSideValues)
{
    const pair p = runboth(L"x = 3\nd = 2.5\ns = \"a\\tb\"\nu = 1\nundef(u)\na[2] = 7\nm[1][0] = \"t\"\n"
                           L"c[0][1][2] = -1\nq = def(a[5])\nr = idiv(7, 2)\n");
    const std::wstring& st = p.without.state;
    for (const wchar_t* line : {L"x int 3\n", L"d double 2.5 (4004000000000000)\n", L"s text \"a\\x09b\"\n",
                                L"u state 0\n", L"a[2] int 7\n", L"m[1][0] text \"t\"\n", L"c[0][1][2] int -1\n",
                                L"r int 3\n", L"left: datd 0 dats 0 stackdd 0\n"})
        EXPECT_NE(std::wstring::npos, st.find(line)) << narrow(line) << " missing in\n" << narrow(st);
    // An element made without a value is listed too, and the elements in
    // the order they were made.
    EXPECT_NE(std::wstring::npos, st.find(L"a[5] state 0\n")) << narrow(st);
    EXPECT_NE(std::wstring::npos, st.find(L"elements made: a[2] m[1][0] c[0][1][2] a[5]\n")) << narrow(st);
    EXPECT_NE(std::wstring::npos, st.find(L"idivrem 1 ")) << narrow(st);
    EXPECT_EQ(narrow(p.with.state), narrow(st));
}

TEST(BothWaysRunner, TheBoundStopsALoopAndTheNextRunIsItsOwn)
{
    runresult looped, next;
    ULONGLONG took = 0;
    qtest::onscriptstack([&] {
        qtest::inprocess runner(qtest::scratchdir() + L"bothways.log");
        const ULONGLONG start = GetTickCount64();
        looped = runner.run(crlf(L"\"start\"\nx = 0\nwhile (1) x++\n"), true, 200);
        took = GetTickCount64() - start;
        next = runner.run(crlf(L"\"next\"\n"), true, 5000);
    });
    EXPECT_TRUE(looped.stopped);
    EXPECT_LT(took, 3000u);
    EXPECT_EQ("\tstart\n", narrow(looped.log));
    EXPECT_FALSE(next.stopped);
    EXPECT_EQ("\tnext\n", narrow(next.log));  // nothing of the stopped run's log, nor its stop
}

TEST(BothWaysRunner, DifferenceSaysWhereTheRunsPart)
{
    runresult a, b;
    a.log = b.log = L"one\ntwo\n";
    a.state = b.state = L"x int 1\n";
    EXPECT_EQ(L"", qtest::difference(a, b));
    b.log = L"one\nTWO\n";
    std::wstring d = qtest::difference(a, b);
    EXPECT_EQ(0u, d.find(L"the logs part at line 2: \"two\" with the segment pass, \"TWO\" without")) << narrow(d);
    EXPECT_NE(std::wstring::npos, d.find(L"---- log without\none\nTWO\n")) << narrow(d);
    b.log = a.log;
    b.state = L"x int 2\n";
    d = qtest::difference(a, b);
    EXPECT_EQ(0u, d.find(L"the variables part at line 1")) << narrow(d);
    b.state = a.state;
    a.fatal = true;
    d = qtest::difference(a, b);
    EXPECT_EQ(0u, d.find(L"a fatal exit only with the segment pass")) << narrow(d);
}

TEST(BothWaysRunner, MinimiseKeepsWhatStillHoldsAndUnwrapsBlocks)
{
    const std::wstring text = L"a = 1\r\nif (a) {\r\n    b = 2\r\n    KEEP\r\n}\r\nc = 3\r\nd = 4";
    const auto keep = [](const std::wstring& t) { return t.find(L"KEEP") != std::wstring::npos; };
    EXPECT_EQ("    KEEP", narrow(qtest::minimise(text, keep, GetTickCount64() + 10000)));
    // Two lines that must stay together, far apart: both stay, nothing else.
    const auto both = [](const std::wstring& t) {
        return t.find(L"a = 1") != std::wstring::npos && t.find(L"d = 4") != std::wstring::npos;
    };
    EXPECT_EQ("a = 1\r\nd = 4", narrow(qtest::minimise(text, both, GetTickCount64() + 10000)));
    // Past its deadline it gives the text back as it was.
    EXPECT_EQ(narrow(text), narrow(qtest::minimise(text, keep, GetTickCount64() - 1)));
}

}  // namespace
