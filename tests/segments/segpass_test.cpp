// The segment pass: which cells become segments and nodes, only first cells
// change, and a cell that a jump enters is never inside a segment or the loop
// superinstruction.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "segments/segtest.h"
#include "runtime/numrules.h"
#include "support/codelist.h"

using qtest::packword;
using namespace segtest;
using namespace numrules;

namespace {

// getc and strlen of every kind of text are nodes that read the text in
// place, and cutstr a piece of a join; none of them leaves the work to the
// cells.
TEST(SegmentPass, TextReadersOfEveryKindAreNodes)
{
    compiled c(L"function f(str t)\n{\n    localvar(n, w)\n    n = getc(t, 1) + strlen(t)\n    w = cutstr(t, n, 4)\n"
               L"    return(n)\n}\nmain\n{\n"
               L"    s = \"abc\"\n    a[1] = \"xy\"\n    i = 1\n    n = getc(s, i + 1) + getc(\"q\", 0) + getc(a[i], i)\n"
               L"    n = strlen(s) + strlen(a[i])\n    r = \"<\" cutstr(s, i) cutstr(a[i], 0, i)\n    f(s)\n}\n");
    for (int k : {seg::kglobal, seg::klocal, seg::kconst, seg::knode})
        EXPECT_TRUE(c.hasnode(seg::textchar(k))) << "no getc node of text kind " << k;
    for (int k : {seg::kglobal, seg::klocal, seg::knode})
        EXPECT_TRUE(c.hasnode(seg::textlength(k))) << "no strlen node of text kind " << k;
    bool cut[seg::kinds] = {};
    for (const auto& r : c.e.segranges)
        for (const seg::segment& s : r->segments)
            for (int j = 0; s.what == seg::ttext && j < s.npend; ++j)
                if (s.pendk[j] == seg::kcut)
                    cut[s.pend[j].n->ka] = true;
    for (int k : {seg::kglobal, seg::klocal, seg::knode})
        EXPECT_TRUE(cut[k]) << "no cut piece of text kind " << k;
}

// idiv of two numbers of every kind is a node; with a flag or a high half
// it stays a cell.
TEST(SegmentPass, TwoNumberIdivIsANode)
{
    compiled c(L"function f(n)\n{\n    localvar(k)\n    k = idiv(n, 3) + idiv(7, n)\n    return(k)\n}\nmain\n{\n"
               L"    x = 50\n    a[1] = 4\n    y = idiv(x, a[1]) + idiv(a[x - 49], x + 1) + idiv(x, 7)\n"
               L"    f(x)\n}\n");
    EXPECT_TRUE(c.hasnode(seg::quotient(seg::kglobal, seg::knode)));
    EXPECT_TRUE(c.hasnode(seg::quotient(seg::knode, seg::knode)));
    EXPECT_TRUE(c.hasnode(seg::quotient(seg::kglobal, seg::kint)));
    EXPECT_TRUE(c.hasnode(seg::quotient(seg::klocal, seg::kint)));
    EXPECT_TRUE(c.hasnode(seg::quotient(seg::kint, seg::klocal)));

    // The cell of the form with a flag takes the three values a segment
    // leaves, and the assignment after it the quotient the cell leaves.
    compiled d(L"x = 50\nz = idiv(x, 2, 0)\n");
    const std::vector<const seg::segment*> segs = d.segments();
    ASSERT_EQ(segs.size(), 3u);
    EXPECT_EQ(segs[1]->what, seg::tnone);
    EXPECT_EQ(segs[1]->npend, 3);
    EXPECT_EQ(segs[2]->what, seg::tassign);
    EXPECT_EQ(segs[2]->pops, 1);
}

// A loop's step (an increment, a compound assignment, an assignment) runs
// with the test of the same variable that follows it; a test of another
// variable does not.
TEST(SegmentPass, AStepRunsWithTheTestOfItsVariable)
{
    compiled c(L"function f(n)\n{\n    localvar(k)\n    for (k = 0; k < n; k++)\n        g += k\n    return(k)\n}\n"
               L"main\n{\n    g = 0\n    v[0] = 3\n    n = 50\n    for (i = 0; i < strlen(\"abc\"); i++)\n        g += v[0]\n"
               L"    while (n >= v[0])\n        n -= v[0]\n    y = 1\n    while (y < 1000)\n        y = y * 3\n"
               L"    k = 0\n    while (n > 0) {\n        n--\n        k++\n    }\n    f(3)\n}\n");
    int with[4] = {};  // by term: assignments, compound assignments, increments
    bool down = false;
    for (const auto& r : c.e.segranges)
        for (const seg::segment& s : r->segments) {
            // n-- is followed by k++, not by a test.
            if (s.what == seg::tincdec && s.mode >= 2) {
                down = true;
                EXPECT_FALSE(seg::runswithtest(s));
            }
            if (!seg::runswithtest(s))
                continue;
            ++with[s.what == seg::tassign ? 0 : s.what == seg::tcompound ? 1 : 2];
            const seg::node& t = *s.next->value.n;
            EXPECT_EQ(t.ka, s.tkind);
            EXPECT_EQ(t.a.i, s.target.i);
        }
    EXPECT_TRUE(down);
    // k = 0 in f (its loop of one compound assignment is a superinstruction
    // of its own), i = 0, y = 1 and y = y * 3; n -= v[0]; i++.
    EXPECT_EQ(with[0], 4);
    EXPECT_EQ(with[1], 1);
    EXPECT_EQ(with[2], 1);
}

// The loop superinstruction takes a loop whose body is its one compound
// assignment; a loop with more statements is left to the segments (each round
// would otherwise go through the code loop between them). A loop's change and
// test know which of their ways go back into the loop, and a segment made
// right after the one before it is marked so.
TEST(SegmentPass, LoopsOfSeveralStatementsAreSegmentsAndTheirWaysBackAreMarked)
{
    const execfn loop = E::segloopfn(E::rightvar, boplt, E::rightint, false);
    EXPECT_TRUE(compiled(L"s = 0\nfor (k = 0; k < 9; k++)\n    s += k\n").has(loop));
    compiled c(L"s = 0\nfor (k = 0; k < 9; k++) {\n    x = k % 4\n    s += k\n}\ny = 0\nwhile (y < 10)\n    y++\n");
    EXPECT_FALSE(c.has(loop));
    int steps = 0, loops = 0, adjacent = 0;
    for (const auto& r : c.e.segranges)
        for (const seg::segment& s : r->segments) {
            adjacent += s.adjacent;
            if (s.adjacent) {
                EXPECT_EQ(&s + 1, s.next);
            }
            if (!seg::runswithtest(s))
                continue;
            // k = 0, k++, y = 0, y++: each with the test after it. Only a
            // way back into the loop (to the loop's body, or to the change
            // itself) chains; a loop's first test goes on forward.
            ++steps;
            const seg::segment& t = *s.next;
            if (s.chained & 1) {
                EXPECT_LE(t.jump->cell, s.cell);
            }
            if (s.chained & 2) {
                EXPECT_LE(t.next->cell, s.cell);
            }
            loops += s.chained != 0;
        }
    EXPECT_EQ(steps, 4);
    EXPECT_EQ(loops, 2);
    EXPECT_GT(adjacent, 2);
}

// A loop's rounds are steady when none of their segments calls, moves datd
// or comes round again without the change: their room is found once, for
// the most any of them needs, and the checks between segments are made once
// a round. A call, values left for a command, or an inner loop that does
// not pass the change keep the checks segment by segment.
TEST(SegmentPass, SteadyRoundsAreThoseThatCannotCallMoveDatdOrComeRoundInside)
{
    // The chained changes of a script, in code order: steady or not.
    auto steadiness = [](const wchar_t* text) {
        compiled c(text);
        std::vector<int> marks;
        for (const seg::segment* s : c.segments())
            if (s->chained) {
                marks.push_back(s->steady);
                if (s->steady) {
                    EXPECT_GE(s->roundroom, s->roombytes);
                }
            }
        return marks;
    };
    using v = std::vector<int>;
    EXPECT_EQ(steadiness(L"s = 0\nfor (k = 0; k < 9; k++) {\n    x = k % 16\n    s += x\n}\n"), v{1});
    EXPECT_EQ(steadiness(L"s = 0\nfor (k = 0; k < 9; k++)\n    if (k % 3 == 0)\n        s++\n    else\n        s = s + 2\n"),
              v{1});
    EXPECT_EQ(steadiness(L"function g(n)\n{\n    x = n\n    return(x)\n}\n"
                         L"main\n{\n    s = 0\n    for (k = 0; k < 9; k++)\n        s += g(k)\n}\n"),
              v{0});
    EXPECT_EQ(steadiness(L"s = 0\nfor (k = 0; k < 9; k++)\n    printf(\"%d\", k)\n"), v{0});
    // An inner loop of one compound assignment is the loop superinstruction,
    // cells to the outer round, which leaves the segments there.
    EXPECT_EQ(steadiness(L"t = 0\nfor (i = 0; i < 7; i++)\n    for (j = i; j < 9; j++)\n        t += i * j\n"), v{1});
    // A way to the function's end cell, which leaves the function's frame
    // for its caller's segments.
    EXPECT_EQ(steadiness(L"function f(n)\n{\n    for (k = 0; k < n; k++) {\n        x = k\n        if (k == 3)\n            goto(out)\n"
                         L"    }\n:out\n}\nmain\n{\n    f(5)\n}\n"),
              v{0});
    // An inner loop of segments is a way round that does not pass the
    // outer change.
    EXPECT_EQ(steadiness(L"i = 0\nfor (j = 0; j < 5; j++)\n    while (i < j * 3) {\n        i = i + 1\n        x = 1\n    }\n"), v{0});

    // The room found once covers the deepest branch of a round.
    compiled deep(L"s = 0\nfor (k = 0; k < 4; k++)\n    if (k == 2)\n        s = ((k + 1) * (k + 2)) * ((k + 3) * (k + 4))\n"
                  L"    else\n        s = k\n");
    uintptr_t most = 0;
    const seg::segment* change = nullptr;
    for (const seg::segment* s : deep.segments()) {
        most = std::max(most, s->roombytes);
        if (s->chained)
            change = s;
    }
    ASSERT_TRUE(change);
    EXPECT_EQ(change->steady, 1);
    EXPECT_EQ(change->roundroom, most);
    EXPECT_GT(most, change->roombytes) << "the deep branch needs more than the change";
}

// An integer literal is an operand of its own kind, a double literal a
// constant datum.
TEST(SegmentPass, IntegerLiteralsAreOperandsOfTheirOwnKind)
{
    compiled c(L"k = 3\nx = k + 1\ny = k + 0.5\n");
    const std::vector<const seg::segment*> segs = c.segments();
    ASSERT_EQ(segs.size(), 3u);
    EXPECT_EQ(segs[0]->vkind, seg::kint);
    ASSERT_EQ(segs[1]->vkind, seg::knode);
    EXPECT_EQ(segs[1]->value.n->kb, seg::kint);
    ASSERT_EQ(segs[2]->vkind, seg::knode);
    EXPECT_EQ(segs[2]->value.n->kb, seg::kconst);
}

// A switch ends a segment that goes straight to its cases' segments.
TEST(SegmentPass, ASwitchIsASegmentWhoseCasesAreSegments)
{
    compiled c(L"n = 1\nt = 0\nswitch (n % 3) {\ncase 1:\n    t = 5\n    break\ndefault:\n    t = 6\n}\n");
    const seg::segment* sw = nullptr;
    for (const auto& r : c.e.segranges)
        for (const seg::segment& s : r->segments)
            if (s.what == seg::tswitch)
                sw = &s;
    ASSERT_NE(sw, nullptr);
    EXPECT_EQ(sw->vkind, seg::knode);
    for (int64_t value : {1, 0}) {
        const size_t cell = static_cast<size_t>(sw->unitbase + c.e.casetarget(sw->casetable, value));
        ASSERT_LT(cell, c.e.segat.size());
        ASSERT_NE(c.e.segat[cell], nullptr) << "case " << value;
        EXPECT_EQ(c.e.segat[cell]->what, seg::tassign);
    }
}

TEST(SegmentPass, OnlyFirstCellsOfSequencesChange)
{
    compiled c(L"function f(a, b)\n{\n    return(a + b)\n}\nfunction g(n)\n{\n    return(g(n - 1) + g(n - 2))\n}\n"
               L"function h(n)\n{\n    if (n < 2)\n        return(n)\n    return(0)\n}\nmain\n{\n"
               L"    i = 0\n    n = 10\n    s = \"\"\n    t = \"x\"\n    y = 0\n    while (i < n) {\n"
               L"        x = i % 3\n        if (i % 3 == 0)\n            y += i\n        y -= 2\n        s = s \"ab\"\n"
               L"        z = f(i, n)\n        z = g(n - 1)\n        f(i - 1, 2)\n        i++\n    }\n"
               L"    for (k = 0; k < 3; k++)\n        y += k\n}\n");
    // Every changed cell is an operation: a segment's first cell (with its
    // segment), or the first cell of a superinstruction.
    int segments = 0;
    for (int32_t k : c.replacedcells()) {
        EXPECT_EQ(c.e.opmarks[static_cast<size_t>(k)], 1) << "cell " << k << " is an operand";
        if (c.e.code[k].op == &E::segment_exec) {
            ++segments;
            ASSERT_NE(c.e.segat[static_cast<size_t>(k)], nullptr);
            EXPECT_EQ(c.e.segat[static_cast<size_t>(k)]->cell, k);
        }
    }
    EXPECT_TRUE(c.has(E::segloopfn(E::rightvar, boplt, E::rightint, false)));
    EXPECT_EQ(c.replacedcells().size(), static_cast<size_t>(segments) + 1);
    // A segment of each kind: assignments, compound assignments, increments,
    // conditional jumps, calls, values left for the cells after them, and the
    // append (a join into its own first text).
    bool seen[seg::tswitch + 1] = {};
    for (const auto& r : c.e.segranges)
        for (const seg::segment& s : r->segments)
            if (s.run != seg::exitrun() && s.run != seg::returnrun())
                seen[s.what] = true;
    for (int w : {seg::tnone, seg::tassign, seg::tcompound, seg::tincdec, seg::tcjump, seg::tcall, seg::tdrop, seg::ttext})
        EXPECT_TRUE(seen[w]) << "no segment of kind " << w;
}

// A call of a function that is "return(expression)" of numeric parameters is
// read as that expression; a recursion, a function with other statements, or
// one that leaves an argument unread that could fail, is called.
TEST(SegmentPass, OneExpressionFunctionsAreReadInPlace)
{
    // The call nodes the segments reach.
    auto inlined = [](const std::wstring& text) {
        compiled c(text);
        int n = 0;
        std::function<void(int, const seg::opnd&)> visit = [&](int k, const seg::opnd& o) {
            if (k != seg::knode || !o.n)
                return;
            n += o.n->eval == seg::callvalue();
            visit(o.n->ka, o.n->a);
            visit(o.n->kb, o.n->b);
            visit(o.n->kc, o.n->c);
        };
        for (const auto& r : c.e.segranges)
            for (const seg::segment& s : r->segments) {
                visit(s.tkind, s.target);
                visit(s.vkind, s.value);
                for (int j = 0; j < s.npend; ++j)
                    visit(s.pendk[j], s.pend[j]);
                for (int j = 0; j < s.nargs; ++j)
                    visit(s.argk[j], s.args[j]);
            }
        return n;
    };
    EXPECT_EQ(inlined(L"function k(a, b)\n{\n    return(a * 2 + b)\n}\nmain\n{\n    x = 1\n    y = k(x, 3) + 1\n}\n"), 1);
    EXPECT_EQ(inlined(L"function k(a, b)\n{\n    return(b * 2)\n}\nmain\n{\n    x = 1\n    z = 0\n    y = k(x / z, 3) + 1\n    y + 0\n}\n"), 0);
    EXPECT_EQ(inlined(L"function k(a, b)\n{\n    return(a * 2)\n}\nmain\n{\n    x = 1\n    y = k(x, 7) + 1\n}\n"), 1);
    EXPECT_EQ(inlined(L"function k(a)\n{\n    return(k(a - 1))\n}\nmain\n{\n    x = 1\n    y = k(x) + 1\n}\n"), 0);
    EXPECT_EQ(inlined(L"function k(a)\n{\n    a++\n    return(a)\n}\nmain\n{\n    x = 1\n    y = k(x) + 1\n}\n"), 0);
    // Locals it never reads cost nothing in place; one it reads is undefined
    // at the call, so the call is made and fails as its cells fail.
    EXPECT_EQ(inlined(L"function k(a, b)\n{\n    localvar(u, w)\n    return(a * 2 + b)\n}\nmain\n{\n    x = 1\n    y = k(x, 3) + 1\n}\n"), 1);
    EXPECT_EQ(inlined(L"function k(a)\n{\n    localvar(u)\n    return(a + u)\n}\nmain\n{\n    x = 1\n    y = k(x) + 1\n}\n"), 0);
}

// Eight levels of helpers that call helpers: read in place, one call would
// be 4^7 leaves; a call site costs the pass a bounded number of nodes
// however its callees call, so calls past the budget stay calls and the
// pass stays linear.
std::wstring helpers(int sites)
{
    std::wstring text = helperchain(8) + L"main\n{\n    t = 0\n    y = 1\n    if (y == 2) {\n";
    for (int k = 0; k < sites; ++k)
        text += L"        t = t + f1(y)\n";
    return text + L"    }\n    t + 0\n}\n";
}

TEST(SegmentPass, ReadingCallsInPlaceCostsABoundedAmountPerCallSite)
{
    size_t nodes[2] = {};
    const int sites[2] = {10, 160};
    for (int j = 0; j < 2; ++j) {
        compiled c(helpers(sites[j]));
        for (const auto& r : c.e.segranges)
            nodes[j] += r->nodes.size();
    }
    // What 150 more call sites add is a few nodes each, not thousands.
    EXPECT_LT(nodes[1] - nodes[0], 150u * 8) << nodes[0] << " " << nodes[1];
    // The small helpers deep down are still read in place where they are
    // called: f7 is four calls of f8 read as "n + 1".
    compiled c(L"function f8(n)\n{\n    return(n + 1)\n}\nfunction f7(n)\n{\n    return(f8(n) + f8(n) + f8(n) + f8(n))\n}\n"
               L"main\n{\n    y = 1\n    t = f7(y) + 1\n}\n");
    bool readcall = false;
    for (const auto& r : c.e.segranges)
        for (const seg::node& n : r->nodes)
            readcall = readcall || n.eval == seg::callvalue();
    EXPECT_TRUE(readcall);
}

// A long chain of operators is cut into segments of bounded height: their
// nodes evaluate recursively on the script thread's stack. The nodes of a
// segment never stand on more levels than the bound (plus the few that
// calls read in place may add), and nested "&&" are read to a bounded depth.
TEST(SegmentPass, ChainsOfNodesHaveABoundedHeight)
{
    std::wstring sum = L"x = 1\nt = x";
    for (int k = 0; k < 3000; ++k)
        sum += L" + x";
    std::wstring ands = L"x = 1\nt = x";
    for (int k = 0; k < 1000; ++k)
        ands += L" && (x";
    ands += std::wstring(1000, L')');
    for (const std::wstring& text : {sum, ands}) {
        compiled c(text + L"\n");
        int tallest = 0;
        for (const auto& r : c.e.segranges)
            for (const seg::node& n : r->nodes)
                tallest = std::max(tallest, int{n.height});
        EXPECT_GT(tallest, 50);
        EXPECT_LE(tallest, 210);
    }
}

// Cells that exeline or call load run once for each load: without a jump back
// among them the pass leaves them as compiled; a loop among them is worth
// its segments.
TEST(SegmentPass, ALoadWithoutALoopIsLeftAsCompiled)
{
    for (const bool loop : {false, true}) {
        compiled c(L"main\n{\n    x = 1\n    y = x + 2\n}\n");
        const size_t ranges = c.e.segranges.size();
        const ExeScr::loadmark mark = c.e.markload();
        c.e.unitbase = static_cast<uint32_t>(mark.codeend);
        std::wstring text = loop ? L"for (i = 0; i < 3; i++)\n    z = z + i * 2" : L"z = x * 2 + 1";
        c.e.lexorigin = text.c_str();
        c.e.compscr(text.data(), 13);
        c.e.emitcell(nullptr);
        c.e.segpass(mark.codeend, true);
        EXPECT_EQ(c.e.segranges.size(), ranges + (loop ? 1 : 0)) << "loop " << loop;
        c.e.cutload(mark);
    }
}

// A loaded file without a loop whose functions recurse (directly, or one
// through another) runs its cells many times: it gets segments. One whose
// calls only go down runs each function once a call and gets none.
TEST(SegmentPass, ALoadThatRecursesGetsSegments)
{
    const std::wstring fib = L"function fib(n)\n{\n    if (n < 2)\n        return(n)\n    return(fib(n - 1) + fib(n - 2))\n}\n";
    const std::wstring even = L"function ev(n)\n{\n    if (n == 0)\n        return(1)\n    return(od(n - 1))\n}\n"
                              L"function od(n)\n{\n    if (n == 0)\n        return(0)\n    return(ev(n - 1))\n}\n";
    const std::wstring down = L"function g(n)\n{\n    return(n * 2 + 1)\n}\nfunction f(n)\n{\n    x = g(n) + g(n + 1)\n"
                              L"    return(x)\n}\n";
    const struct {
        std::wstring text;
        bool segments;
    } loads[] = {
        {fib + L"main\n{\n    y = fib(20)\n}\n", true},
        {even + L"main\n{\n    y = ev(30)\n}\n", true},
        {down + L"main\n{\n    y = f(3)\n}\n", false},
    };
    for (const auto& l : loads) {
        compiled c(L"main\n{\n    z = 1\n}\n");
        const size_t ranges = c.e.segranges.size();
        const ExeScr::loadmark mark = c.e.markload();
        qtest::scriptsource src(crlf(l.text));
        c.e.loadscript(src.text());
        c.e.segpass(mark.codeend, true);
        EXPECT_EQ(c.e.segranges.size(), ranges + (l.segments ? 1 : 0)) << qtest::narrow(l.text);
        c.e.cutload(mark);
    }
}

// Code that "call" or "exeline" loads behind the running code gets segments
// of its own (here with a call read in place), and gives them back with the
// code when the load is cut.
TEST(SegmentPass, ALoadCutGivesItsSegmentsBack)
{
    compiled c(L"function k(a)\n{\n    return(a * 2)\n}\nmain\n{\n    x = 1\n    y = x + 2\n}\n");
    const size_t ranges = c.e.segranges.size();
    const ExeScr::loadmark mark = c.e.markload();
    c.e.unitbase = static_cast<uint32_t>(mark.codeend);
    std::wstring text = L"z = k(x) + 1";
    c.e.lexorigin = text.c_str();
    c.e.compscr(text.data(), 13);
    c.e.emitcell(nullptr);
    c.e.segpass(mark.codeend);
    ASSERT_EQ(c.e.segranges.size(), ranges + 1);
    EXPECT_FALSE(c.e.segranges.back()->nodes.empty());
    EXPECT_NE(c.e.segat[static_cast<size_t>(mark.codeend)], nullptr);
    c.e.cutload(mark);
    EXPECT_EQ(c.e.segranges.size(), ranges);
    EXPECT_LE(c.e.segat.size(), static_cast<size_t>(mark.codeend));
}

TEST(SegmentPass, ElementsOfOneTwoAndThreeIndexes)
{
    compiled c(L"i = 1\nj = 2\na[i] = 5\ns = 0\ns += a[i]\nx = a[i] + 1\na[i]++\nm[i][j] = 1\nm[i][j]++\n"
               L"q[i][j][i] = 2\ns += m[i][j]\n");
    // Every statement is one segment, whatever the count of indexes.
    int segments = 0;
    for (int32_t k : c.replacedcells())
        segments += c.e.code[k].op == &E::segment_exec;
    EXPECT_EQ(segments, 11);
}

TEST(SegmentPass, TextJoinsAndTextNumbersAreSegments)
{
    // A join of literals and variables into a variable, strlen and strstr
    // inside a sum, strstr with a start: one segment each, the cells of all
    // wholly taken.
    compiled c(L"i = 1\ns = \"item\" i \"x\"\nn = strlen(s) + strstr(s, \"x\")\nm = strstr(s, \"x\", 1)\n");
    std::vector<const seg::segment*> segs = c.segments();
    ASSERT_EQ(segs.size(), 4u);
    EXPECT_EQ(segs[1]->what, seg::ttext);
    EXPECT_EQ(segs[1]->npend, 3);
    EXPECT_EQ(segs[2]->what, seg::tassign);
    EXPECT_EQ(segs[2]->pops, 0);
    EXPECT_EQ(segs[2]->value.n->ka, seg::knode);
    EXPECT_EQ(segs[3]->what, seg::tassign);
    EXPECT_EQ(segs[3]->pops, 0);
    ASSERT_EQ(segs[3]->vkind, seg::knode);
    EXPECT_EQ(segs[3]->value.n->eval, seg::textfindfrom(seg::kglobal, seg::kconst));
    EXPECT_EQ(segs[3]->value.n->kc, seg::kint) << "an integer start";

    // Elements as texts and as the target of a join.
    compiled d(L"i = 1\nnames[i] = \"n\" i\nw = 0\nw += strlen(names[i])\nt = names[i] \"-\"\n");
    segs = d.segments();
    ASSERT_EQ(segs.size(), 5u);
    EXPECT_EQ(segs[1]->what, seg::ttext);
    EXPECT_EQ(segs[1]->tkind, seg::knode);
    EXPECT_EQ(segs[3]->what, seg::tcompound);
    EXPECT_EQ(segs[4]->what, seg::ttext);
    EXPECT_EQ(segs[4]->pendk[0], seg::knode);

    // The empty literals between texts are left out; one stays of a join of
    // nothing else.
    compiled e(L"s = \"a\"\nt = \"b\"\ns = s \"\" t\ns = \"\" s \"\" t \"\"\nu = \"\" \"\"\n");
    segs = e.segments();
    ASSERT_EQ(segs.size(), 5u);
    EXPECT_EQ(segs[2]->npend, 2);
    EXPECT_EQ(segs[3]->npend, 2);
    EXPECT_EQ(segs[3]->pendk[0], seg::kglobal);
    EXPECT_EQ(segs[4]->npend, 1);
}

TEST(SegmentPass, OffLeavesTheCodeAsCompiled)
{
    ExeScr& e = *new ExeScr();
    auto& src = *new qtest::scriptsource(crlf(L"i = 0\nwhile (i < 5)\n    i++\n"));
    e.segon = 0;
    e.loadscript(src.text());
    const std::vector<codecell> before(e.code, e.codeend);
    e.segpass(0);
    EXPECT_EQ(memcmp(before.data(), e.code, before.size() * sizeof(codecell)), 0);
}

TEST(SegmentPass, NoSequenceAJumpLandsInside)
{
    // The loop head's right operand is also the target of a jump: the segment
    // that begins before it ends there, and another begins there.
    handcode h;
    h.op(&E::pushvar_exec).i(0);
    const int64_t inside = h.here();
    h.op(&E::pushint_exec).i(5).op(&E::lt_exec).op(&E::loopexit_exec).i(20);
    h.op(&E::jump_exec).i(inside);
    // Here a sequence of the same kind no jump enters: one segment.
    const int64_t other = h.here();
    h.op(&E::pushvar_exec).i(0).op(&E::pushint_exec).i(5).op(&E::lt_exec).op(&E::loopexit_exec).i(20);
    h.pass();
    ASSERT_TRUE(h.cells[0].op == &E::segment_exec);
    EXPECT_EQ(h.e.segat[0]->next->cell, inside);
    EXPECT_EQ(h.e.segat[0]->npend, 1);
    ASSERT_TRUE(h.cells[static_cast<size_t>(inside)].op == &E::segment_exec);
    EXPECT_EQ(h.e.segat[static_cast<size_t>(inside)]->pops, 1);
    ASSERT_TRUE(h.cells[static_cast<size_t>(other)].op == &E::segment_exec);
    EXPECT_EQ(h.e.segat[static_cast<size_t>(other)]->what, seg::tcjump);
    EXPECT_EQ(h.e.segat[static_cast<size_t>(other)]->npend, 0);
}

TEST(SegmentPass, OperandsThatLookLikeOperationsAreLeft)
{
    // An operand cell holding the bits of an operation is never taken for one.
    handcode h;
    codecell fake = {};
    fake.op = &E::pushvar_exec;
    h.op(&E::pushint_exec).i(static_cast<int64_t>(fake.ref.fn));
    h.i(0).op(&E::pushint_exec).i(5).op(&E::lt_exec).op(&E::loopexit_exec).i(20);
    h.e.opmarks[1] = 0;
    h.pass();
    EXPECT_EQ(h.cells[1].ref.fn, fake.ref.fn);
}

}  // namespace
