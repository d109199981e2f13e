// The code the statement and expression compiler emits, where a script's log
// cannot show it, and units run one by one.
#include <gtest/gtest.h>

#include "compiler/scriptsource.h"
#include "runtime/exescr.h"
#include "support/scriptrun.h"

using qtest::scriptsource;

namespace {

// A script compiled into a fresh engine (kept for the checks; never run through
// the whole lifecycle, so its blocks are simply left behind).
struct compiled {
    ExeScr& e = *new ExeScr();
    scriptsource& src;
    explicit compiled(const std::wstring& text) : src(*new scriptsource(text)) { e.loadscript(src.text()); }

    int32_t func(const wchar_t* name) const
    {
        for (size_t k = 0; k < e.functable.size(); ++k)
            if (std::wstring(e.functable[k].name) == name)
                return static_cast<int32_t>(k);
        ADD_FAILURE() << "no function " << qtest::narrow(name);
        return 0;
    }
    // The cells from a unit's first to the end of the code (an operand 0
    // looks like an end cell, so the unit's end cannot be found by scanning).
    std::vector<codecell> cellsfrom(const wchar_t* name) const
    {
        return std::vector<codecell>(e.code + e.functable[func(name)].codestart, e.codeend);
    }
    // Runs one unit as a call would, without arguments.
    void run(const wchar_t* name)
    {
        e.curfunc = func(name);
        e.unitbase = static_cast<uint32_t>(e.functable[e.curfunc].codestart);
        e.runcode(e.unitbase);
    }
};

// Expected cells: an operation, or an operand value.
struct cell {
    execfn op = nullptr;
    int64_t value = 0;
    cell(execfn f) : op(f) {}
    cell(int64_t v) : value(v) {}
    cell(int v) : value(v) {}
};

int64_t word(int32_t index, uint32_t sub, bool noresult)
{
    return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(index)) << 32) | (sub << 16) | (noresult ? 1u : 0u));
}

void expectcode(const std::wstring& statement, std::initializer_list<cell> want)
{
    compiled c(L"x = 0\r\ny = 0\r\n" + statement + L"\r\n");
    std::vector<codecell> got = c.cellsfrom(L"null");
    // The two set-up statements take three cells each.
    got.erase(got.begin(), got.begin() + 6);
    ASSERT_GE(got.size(), want.size()) << qtest::narrow(statement);
    size_t k = 0;
    for (const cell& w : want) {
        if (w.op)
            EXPECT_TRUE(got[k].op == w.op) << qtest::narrow(statement) << ": cell " << k << " is another operation";
        else
            EXPECT_EQ(got[k].i, w.value) << qtest::narrow(statement) << ": operand cell " << k;
        ++k;
    }
    // Then the top level ends: an end cell and noop2_exec.
    EXPECT_EQ(got.size(), want.size() + 2) << qtest::narrow(statement);
}

TEST(ExpressionCode, OperandsOperatorsAndAssignments)
{
    using E = ExeScr;
    // x is global 0, y global 1.
    expectcode(L"x + y * 2", {&E::pushvar_exec, 0, &E::pushvar_exec, 1, &E::pushint_exec, 2, &E::mul_exec,
                              &E::add_exec, &E::printnum_exec});
    expectcode(L"(x + y) * 2", {&E::pushvar_exec, 0, &E::pushvar_exec, 1, &E::add_exec, &E::pushint_exec, 2,
                                &E::mul_exec, &E::printnum_exec});
    expectcode(L"x = 5", {&E::setintconst_exec, 5, word(0, 0, true)});
    expectcode(L"x = (7)", {&E::setintconst_exec, 7, word(0, 0, true)});
    expectcode(L"x = 7 + 0", {&E::pushint_exec, 7, &E::pushint_exec, 0, &E::add_exec, &E::assignnum_exec, word(0, 0, true)});
    expectcode(L"x = y = 3", {&E::setintconst_exec, 3, word(1, 0, false), &E::assignnum_exec, word(0, 0, true)});
    expectcode(L"x += 2", {&E::pushint_exec, 2, &E::compoundassign_exec, word(0, 269, true)});
    expectcode(L"x++", {&E::incdec_exec, word(0, 1, true)});
    expectcode(L"--y", {&E::incdec_exec, word(1, 2, true)});
    expectcode(L"-x", {&E::pushneg_exec, 0, &E::datddrop});
    expectcode(L"!x", {&E::pushvar_exec, 0, &E::lnot_exec, &E::datddrop});
    expectcode(L"-(x)", {&E::pushvar_exec, 0, &E::pushint_exec, -1, &E::mul_exec, &E::printnum_exec});
    expectcode(L"x && y", {&E::pushvar_exec, 0, &E::andjump_exec, 13, &E::pushvar_exec, 1, &E::noop_exec, &E::datddrop});
    expectcode(L"-LLONG_MIN", {&E::pushnum_exec, static_cast<int64_t>(0x43E0000000000000), &E::datddrop});
    expectcode(L"~5", {&E::pushint_exec, -6, &E::datddrop});
    expectcode(L"!2.5", {&E::pushint_exec, 0, &E::datddrop});
    expectcode(L"!0", {&E::pushint_exec, 1, &E::datddrop});
}

TEST(StatementCode, ConstantLoopConditions)
{
    using E = ExeScr;
    // No test at all for a true constant; a jump over the body for 0. Jump
    // targets count from the unit's first cell; the set-up takes cells 0 to 5.
    expectcode(L"while (1) x++", {&E::incdec_exec, word(0, 1, true), &E::jump_exec, 6});
    expectcode(L"while (0) x++", {&E::jump_exec, 12, &E::incdec_exec, word(0, 1, true), &E::jump_exec, 6});
    expectcode(L"while (x) x++", {&E::pushvar_exec, 0, &E::loopexit_exec, 14, &E::incdec_exec, word(0, 1, true),
                                  &E::jump_exec, 6});
}

// Two units may use one label name: each goto finds its own unit's label.
TEST(Units, LabelsBelongToTheirUnit)
{
    compiled c(L"function g()\r\n{\r\n  goto(l)\r\n  n = 100\r\n:l\r\n  return(n)\r\n}\r\n"
               L"function f()\r\n{\r\n  n = 0\r\n:l\r\n  n++\r\n  if (n < 3) goto(l)\r\n  return(n)\r\n}\r\n"
               L"main {\r\n}\r\n");
    c.run(L"f");
    ASSERT_EQ(c.e.datd.count(), 1);
    EXPECT_EQ(c.e.datd.top[-1].i, 3);
    c.run(L"g");
    ASSERT_EQ(c.e.datd.count(), 2);
    EXPECT_EQ(c.e.datd.top[-1].i, 3);  // n = 100 was jumped over
}

// Without a value, a string function returns the empty string, a number function 0.
TEST(Units, ReturnWithoutValueKeepsTheFunctionsKind)
{
    compiled c(L"functstr s()\r\n{\r\n  if (1) return\r\n  retstr(\"no\")\r\n}\r\n"
               L"functstr t()\r\n{\r\n}\r\n"
               L"function n()\r\n{\r\n  return\r\n}\r\nmain {\r\n}\r\n");
    c.run(L"s");
    c.run(L"t");
    EXPECT_EQ(c.e.datd.count(), 0);
    ASSERT_EQ(c.e.dats.count(), 2);
    EXPECT_EQ(std::wstring(c.e.datstext(c.e.dats.base)), L"");
    EXPECT_EQ(std::wstring(c.e.datstext(c.e.dats.base + 1)), L"");
    c.run(L"n");
    ASSERT_EQ(c.e.datd.count(), 1);
    EXPECT_EQ(c.e.datd.top[-1].i, 0);
}

// A script thread compiles its own thread block as the entry unit.
TEST(Units, ThreadBlockIsTheEntryOfAScriptThread)
{
    ExeScr& e = *new ExeScr();
    e.threadmode = 1;
    e.threadblock = L"worker";
    scriptsource& src = *new scriptsource(L"thread other()\r\n{\r\n  x = 1\r\n}\r\n"
                                          L"thread worker(n)\r\n{\r\n  x = 5\r\n  y = x * 2\r\n}\r\n"
                                          L"main {\r\n  x = 9\r\n}\r\n");
    e.loadscript(src.text());
    e.curfunc = static_cast<int32_t>(e.functable.size() - 1);
    e.unitbase = static_cast<uint32_t>(e.functable.back().codestart);
    e.runcode(e.unitbase);
    EXPECT_EQ(e.varat(e.declvar(L"x", 0))->i, 5);
    EXPECT_EQ(e.varat(e.declvar(L"y", 0))->i, 10);
}

// Without main, the top level ends at the first function.
TEST(Units, TopLevelEndsAtTheFirstFunction)
{
    EXPECT_EQ(qtest::narrow(qtest::runscript(L"toplevel", L"\"top\"\r\nif (1) \"if\"\r\nfunction f()\r\n{\r\n  \"f\"\r\n}\r\n")),
              "\ttop\n\tif\n");
}

// The compile tables of labels and switches are tracked blocks that their
// release functions give back.
TEST(Tables, ReleasedByTheirFreeFunctions)
{
    compiled c(L"switch (1) {\r\ncase 1:\r\n}\r\n:l\r\nswitch (2) {\r\n}\r\n");
    auto held = [&c] {
        int n = 0;
        for (const memrec& r : c.e.allocs)
            if (r.id == 1345 || r.id == 370 || r.id == 371 || r.id == 380 || r.id == 390 || r.id == 50)
                ++n;
        return n;
    };
    EXPECT_EQ(held(), 5);  // labels, case-table vector, two case lists, open-switch stack
    c.e.freelabeltbl();
    c.e.freecasetbls();
    EXPECT_EQ(held(), 0);
    c.e.freecasetbls();  // a second call does nothing
    EXPECT_EQ(c.e.casetables.base, nullptr);
}

TEST(Modes, ExpressionModesReportWhetherAnOperandWasCompiled)
{
    compiled c(L"x = 1\r\n");
    std::wstring empty = L"  ", sum = L"1 + 2", text = L"'a' 'b'";
    EXPECT_EQ(c.e.compscr(empty.data(), 1), 0);
    EXPECT_EQ(c.e.compscr(empty.data(), 2), 0);
    EXPECT_EQ(c.e.compscr(sum.data(), 1), 1);
    EXPECT_EQ(c.e.compscr(text.data(), 2), 1);
    std::wstring num = L"1 + 2", str = L"\"a\"", stmt = L"x = 2; y = 3";
    EXPECT_EQ(c.e.compscr(num.data(), 13), 1);
    EXPECT_EQ(c.e.compscr(str.data(), 13), 2);
    std::wstring brk = L"exit";
    EXPECT_EQ(c.e.compscr(brk.data(), 13), 3);
}

// Case tables and the label table grow past their first blocks.
TEST(Tables, ManyCasesAndLabels)
{
    std::wstring script = L"v = 0\r\nk = 0\r\nwhile (k < 100) {\r\nswitch (k) {\r\n";
    for (int n = 0; n < 100; ++n)
        script += L"case " + std::to_wstring(n) + L":\r\nv += " + std::to_wstring(n) + L"\r\nbreak\r\n";
    script += L"}\r\nk++\r\n}\r\nv + 0\r\n";
    for (int n = 0; n < 40; ++n)
        script += L"goto(l" + std::to_wstring(n) + L")\r\n\"skipped\"\r\n:l" + std::to_wstring(n) + L"\r\n";
    script += L"\"end\"\r\n";
    EXPECT_EQ(qtest::narrow(qtest::runscript(L"tables", script)), "\t4950\n\tend\n");
}

}  // namespace
