// Segments read their operands in the order their cells evaluate them: an
// element is made where it is first located, so a run that fails at an
// operand leaves the elements made before it, and only those, both ways.
// Compared in process (support/bothways.h): the log, the variables, every
// element made and the order of their making.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "segments/segtest.h"
#include "support/bothways.h"
#include "support/testenv.h"

using namespace segtest;

namespace {

// The runs' difference (empty when none), and whether the run with the pass
// ended in a fatal error.
std::wstring bothways(const std::wstring& text, bool& fatal)
{
    qtest::runresult with, without;
    qtest::onscriptstack([&] {
        qtest::inprocess runner(qtest::scratchdir() + L"segorder.log");
        with = runner.run(crlf(text), true, 5000);
        without = runner.run(crlf(text), false, 5000);
    });
    fatal = with.fatal;
    return qtest::difference(with, without);
}

// Gives datd and dats their blocks, so that the statements after it run as
// segments (on a stack without one the cells run).
const std::wstring warm = L"w = 1 + 2\nw = \"w\" w\n";

// Each fails at an operand its cells evaluate before an element that is not
// made yet (its array exists, the first level long enough).
void expectfailsalike(std::initializer_list<std::wstring> texts)
{
    for (const std::wstring& t : texts) {
        bool fatal = false;
        EXPECT_EQ("", qtest::narrow(bothways(t, fatal))) << qtest::narrow(t);
        EXPECT_TRUE(fatal) << qtest::narrow(t);
    }
}

TEST(SegmentOrder, TextFormsReadTheirOperandsInTheCellsOrder)
{
    expectfailsalike({
        // getc: the position, then the text.
        warm + L"t[0] = \"ab\"\nn = getc(t[1], q)\n",
        warm + L"t[0] = \"ab\"\nu[0] = 1\nn = getc(t[1], u[1])\n",
        // cutstr: the end, the start, then the text.
        warm + L"s[0] = \"abc\"\nr = \"<\" cutstr(s[1], 0, q)\n",
        warm + L"s[0] = \"abc\"\nr = \"<\" cutstr(s[1], q)\n",
        warm + L"s[0] = \"abc\"\nk[0] = 1\nr = \"<\" cutstr(s[1], k[1], 2)\n",
        warm + L"s[0] = \"abc\"\nk[0] = 1\nr = \"<\" cutstr(s[1], 0, k[1])\n",
        // strstr and strpbrk: the start, the needle, then the haystack.
        warm + L"h[0] = \"x\"\nn = strstr(h[1], \"a\", q)\n",
        warm + L"h[0] = \"x\"\nk[0] = 1\nn = strstr(h[1], \"a\", k[1])\n",
        warm + L"h[0] = \"x\"\nv[0] = \"y\"\nn = strstr(h[1], v[1])\n",
        warm + L"h[0] = \"x\"\nv[0] = \"y\"\nn = strpbrk(h[1], v[1], 0)\n",
        warm + L"h[0] = \"x\"\nv[0] = \"y\"\nn = strstr(h[1], v[1], 0)\n",
        // strcmp: the second text, then the first.
        warm + L"a[0] = \"x\"\nb[0] = \"y\"\nn = strcmp(a[1], b[1])\n",
        // A join: its texts from the first on; strlen of one.
        warm + L"p[0] = \"x\"\nq[0] = \"y\"\nr = p[1] q[1]\n",
        warm + L"p[0] = \"x\"\nq[0] = \"y\"\nr = p[1] cutstr(q[1], 0)\n",
        warm + L"p[0] = \"x\"\nn = strlen(p[1]) + strlen(p[2])\n",
    });
}

// Numbers: the operands of an operator from the left, an idiv's divisor
// before its dividend, an element's indexes from the first, the value before
// the element it is stored into.
TEST(SegmentOrder, NumberFormsReadTheirOperandsInTheCellsOrder)
{
    expectfailsalike({
        warm + L"a[0] = 1\nb[0] = 2\nn = a[1] + b[1]\n",
        warm + L"a[0] = 1\nb[0] = 2\nn = idiv(a[1], b[1])\n",
        warm + L"m[0][0] = 1\nb[0] = 2\nn = m[b[1]][b[2]]\n",
        warm + L"a[0] = 1\nb[0] = 2\na[b[1]] = b[2]\n",
        warm + L"a[0] = 1\nb[0] = 2\ni = 1\na[i] += b[1]\n",
        warm + L"a[0] = 1\nb[0] = 2\nif (a[1] < b[1])\n    n = 1\n",
    });
}

// A call read in place of its function reads its arguments where the
// function reads its parameters, where the cells evaluate them first, from
// the last: where reading them so, or an element of the function's own,
// would make an element before an argument that the cells evaluate first
// fails, the call stays a call.
TEST(SegmentOrder, CallsReadInPlaceFailAsTheirCells)
{
    const std::wstring main = L"main\n{\n    w = 1 + 2\n    x[0] = 1\n    y[0] = 2\n    t[0] = 3\n";
    expectfailsalike({
        L"function f(a, b)\n{\n    return(a - b)\n}\n" + main + L"    n = f(x[1], y[1])\n}\n",
        L"function h(a, b)\n{\n    return(a * 2 + b)\n}\n" + main + L"    n = h(x[1], q)\n}\n",
        L"function g(k)\n{\n    return(t[1] + k)\n}\n" + main + L"    n = g(q)\n}\n",
        L"function g(k)\n{\n    return(t[1] + k)\n}\n" + main + L"    n = g(x[1])\n}\n",
        // Read in their order, the last first: the same elements either way.
        L"function f(a, b)\n{\n    return(b - a)\n}\n" + main + L"    n = f(x[1], y[1])\n}\n",
    });
}

}  // namespace
