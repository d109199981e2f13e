// Numeric, jump and switch opcodes, and the integer commands, on hand-built code.
#include <gtest/gtest.h>

#include <cmath>

#include "runtime/exescr.h"
#include "runtime/int128.h"
#include "runtime/quorvelcore.h"
#include "support/codelist.h"
#include "support/testenv.h"

using qtest::codelist;
using qtest::expectfatal;
using qtest::fatalengine;
using qtest::packword;

namespace {

struct num {
    bool isint;
    int64_t i;
    double d;
};

num I(int64_t v) { return {true, v, 0}; }
num D(double v) { return {false, 0, v}; }

void push(ExeScr& e, num n)
{
    if (n.isint)
        e.pushint(n.i);
    else
        e.pushdbl(n.d);
}

// Runs a binary operator on l and r and returns the result.
datdcell binary(ExeScr& e, execfn f, num l, num r)
{
    push(e, l);
    push(e, r);
    (e.*f)();
    EXPECT_EQ(e.datd.count(), 1);
    return e.popd();
}

void expectnum(const datdcell& c, num want, const char* what)
{
    ASSERT_EQ(c.isint != 0, want.isint) << what;
    if (want.isint)
        EXPECT_EQ(c.i, want.i) << what;
    else if (std::isnan(want.d))
        EXPECT_TRUE(std::isnan(c.d)) << what;
    else
        EXPECT_EQ(c.d, want.d) << what;
}

int32_t numvar(ExeScr& e, const wchar_t* name, num v)
{
    int32_t idx = e.declvar(name, 0);
    e.setvarnum(idx, v.isint ? datdcell{{v.i}, 1} : [&] { datdcell c; c.d = v.d; c.isint = 0; return c; }());
    return idx;
}

num varvalue(ExeScr& e, int32_t idx)
{
    varrec* v = e.varat(idx);
    EXPECT_EQ(v->state, varnum);
    return v->isint ? I(v->i) : D(v->d);
}

void expectvar(ExeScr& e, int32_t idx, num want, const char* what)
{
    num got = varvalue(e, idx);
    ASSERT_EQ(got.isint, want.isint) << what;
    if (want.isint)
        EXPECT_EQ(got.i, want.i) << what;
    else
        EXPECT_EQ(got.d, want.d) << what;
}

constexpr double two63 = 9223372036854775808.0;

}  // namespace

TEST(Arithmetic, IntegersStayExactAndBecomeDoublesWhenNot)
{
    ExeScr e;
    struct {
        execfn f;
        num l, r, want;
        const char* what;
    } cases[] = {
        {&ExeScr::add_exec, I(INT64_MAX), I(1), D(two63), "max + 1"},
        {&ExeScr::add_exec, I(2), I(3), I(5), "2 + 3"},
        {&ExeScr::subtract_exec, I(INT64_MIN), I(1), D(-two63 - 1.0), "min - 1"},
        {&ExeScr::subtract_exec, I(-2), I(3), I(-5), "-2 - 3"},
        {&ExeScr::mul_exec, I(4294967296), I(4294967296), D(18446744073709551616.0), "2^32 * 2^32"},
        {&ExeScr::mul_exec, I(3), I(-4), I(-12), "3 * -4"},
        {&ExeScr::mul_exec, I(INT64_MIN), I(1), I(INT64_MIN), "min * 1"},
        {&ExeScr::mul_exec, I(INT64_MIN), I(-1), D(two63), "min * -1"},
        {&ExeScr::add_exec, I(INT64_MIN), I(-1), D(-two63 - 1.0), "min + -1"},
        {&ExeScr::subtract_exec, I(INT64_MAX), I(-1), D(two63), "max - -1"},
        {&ExeScr::subtract_exec, I(-1), I(INT64_MAX), I(INT64_MIN), "-1 - max: min, no overflow"},
        {&ExeScr::mul_exec, I(-2147483648), I(4294967296), I(INT64_MIN), "-2^31 * 2^32: min, no overflow"},
        {&ExeScr::mul_exec, I(2147483648), I(4294967296), D(two63), "2^31 * 2^32"},
        {&ExeScr::mul_exec, I(3037000500), I(3037000500), D(3037000500.0 * 3037000500.0), "just past max"},
        {&ExeScr::div_exec, I(7), I(2), D(3.5), "7 / 2"},
        {&ExeScr::div_exec, I(6), I(3), I(2), "6 / 3"},
        {&ExeScr::div_exec, I(INT64_MIN), I(-1), D(two63), "min / -1"},
        {&ExeScr::mod_exec, I(-7), I(2), I(-1), "-7 % 2"},
        {&ExeScr::mod_exec, I(INT64_MIN), I(-1), I(0), "min % -1"},
        {&ExeScr::mod_exec, D(7.5), I(2), D(1.5), "7.5 % 2"},
        {&ExeScr::add_exec, I(1), D(0.5), D(1.5), "mixed"},
        {&ExeScr::div_exec, D(1.0), I(0), D(INFINITY), "double / 0"},
        {&ExeScr::mod_exec, D(1.0), D(0.0), D(NAN), "double % 0"},
    };
    for (auto& c : cases)
        expectnum(binary(e, c.f, c.l, c.r), c.want, c.what);
    e.freedatd();
}

TEST(Arithmetic, IntegerDivisionByZeroIsFatal)
{
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { binary(x, &ExeScr::div_exec, I(1), I(0)); }),
              L"division by zero");
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { binary(x, &ExeScr::mod_exec, I(1), I(0)); }),
              L"division by zero");
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.pushint(1); x.add_exec(); }),
              L"datd stack underflow");
}

TEST(Comparisons, SignModeOrdersIntegersDoublesCompareAsDoubles)
{
    ExeScr e;
    auto cmp = [&](execfn f, num l, num r) { return binary(e, f, l, r).i; };
    EXPECT_EQ(cmp(&ExeScr::gt_exec, I(-1), I(1)), 0);
    EXPECT_EQ(cmp(&ExeScr::le_exec, I(5), I(5)), 1);
    EXPECT_EQ(cmp(&ExeScr::lt_exec, I(1), D(1.5)), 1);
    EXPECT_EQ(cmp(&ExeScr::eq_exec, I(9007199254740993), I(9007199254740992)), 0) << "exact for integers";
    EXPECT_EQ(cmp(&ExeScr::eq_exec, D(NAN), D(NAN)), 0);
    EXPECT_EQ(cmp(&ExeScr::ne_exec, D(NAN), D(NAN)), 1);
    EXPECT_EQ(cmp(&ExeScr::ge_exec, D(NAN), I(0)), 0);
    e.signmode = 0;
    EXPECT_EQ(cmp(&ExeScr::gt_exec, I(-1), I(1)), 1) << "unsigned: -1 is the largest";
    EXPECT_EQ(cmp(&ExeScr::lt_exec, D(-1.0), I(1)), 1) << "doubles ignore the sign mode";
    e.freedatd();
}

TEST(Bitwise, ShiftsFollowTheSignModeAndCountModulo64)
{
    ExeScr e;
    auto op = [&](execfn f, num l, num r) { return binary(e, f, l, r); };
    expectnum(op(&ExeScr::shr_exec, I(-8), I(1)), I(-4), "arithmetic");
    expectnum(op(&ExeScr::shl_exec, I(1), I(65)), I(2), "count & 63");
    expectnum(op(&ExeScr::shl_exec, D(2.9), I(1)), I(4), "double truncated");
    expectnum(op(&ExeScr::band_exec, I(12), D(10.7)), I(8), "and");
    expectnum(op(&ExeScr::bor_exec, D(1e300), I(0)), I(INT64_MIN), "out of range");
    expectnum(op(&ExeScr::bxor_exec, I(-1), I(5)), I(-6), "xor");
    e.signmode = 0;
    expectnum(op(&ExeScr::shr_exec, I(-8), I(1)), I(0x7FFFFFFFFFFFFFFC), "logical");
    e.pushdbl(5.5);
    e.bnot_exec();
    expectnum(e.popd(), I(-6), "not");
    e.pushdbl(0.5);
    e.lnot_exec();
    expectnum(e.popd(), I(0), "!0.5: not zero");
    e.pushdbl(-0.0);
    e.lnot_exec();
    expectnum(e.popd(), I(1), "!-0.0");
    e.freedatd();
}

TEST(Jumps, TruthTruncatesDoublesAndJumpsLandRelativeToTheUnit)
{
    ExeScr e;
    codelist c;
    c.op(&ExeScr::pushnum_exec).d(0.5).op(&ExeScr::jumpiffalse_exec);
    const int64_t iffalse = c.here();
    c.i(0).op(&ExeScr::pushint_exec).i(111).op(&ExeScr::jump_exec);
    const int64_t over = c.here();
    c.i(0);
    c.patch(iffalse, c.here());
    c.op(&ExeScr::pushint_exec).i(222);
    c.patch(over, c.here());
    c.op(&ExeScr::pushint_exec).i(-3).op(&ExeScr::jumpiftrue_exec);
    const int64_t iftrue = c.here();
    c.i(0).op(&ExeScr::pushint_exec).i(333);
    c.patch(iftrue, c.here());
    c.op(&ExeScr::pushint_exec).i(0).op(&ExeScr::loopexit_exec).i(1000);  // jumps into the end below
    c.cells.resize(1000);
    c.run(e);
    ASSERT_EQ(e.datd.count(), 1);
    expectnum(e.popd(), I(222), "if (0.5) is false");
    e.freedatd();
}

TEST(Jumps, ShortCircuitKeepsTheLeftOperandOrOne)
{
    auto run = [](num left, execfn f) {
        ExeScr e;
        codelist c;
        push(e, left);
        c.op(f);
        const int64_t target = c.here();
        c.i(0).op(&ExeScr::pushint_exec).i(77);
        c.patch(target, c.here());
        c.run(e);
        EXPECT_EQ(e.datd.count(), 1);
        datdcell r = e.popd();
        e.freedatd();
        return r;
    };
    expectnum(run(D(0.3), &ExeScr::andjump_exec), D(0.3), "0.3 && x is 0.3, x skipped");
    expectnum(run(I(1), &ExeScr::andjump_exec), I(77), "1 && x is x");
    expectnum(run(I(2), &ExeScr::orjump_exec), I(1), "2 || x is 1");
    expectnum(run(D(0.9), &ExeScr::orjump_exec), I(77), "0.9 || x is x");
}

TEST(Switch, CasesDefaultEndAndWholeValues)
{
    caseentry cases[] = {{1, 10}, {2, 20}, {-1, 30}};
    looprec tables[2] = {{cases, cases + 3, 3, 0, 0, 50}, {cases, cases + 3, 3, 0, 40, 50}};
    auto target = [&](int table, num v) {
        ExeScr e;
        e.casetables.base = tables;
        e.casetables.top = tables + 2;
        codecell list[60] = {};
        list[5].i = table;
        e.code = list;
        e.unitbase = 3;
        e.ip = list + 5;
        push(e, v);
        e.switch_exec();
        e.casetables = tbuf<looprec>();
        e.freedatd();
        return static_cast<int>(e.ip - list) - 3;
    };
    EXPECT_EQ(target(0, D(2.9)), 20) << "2.9 selects case 2";
    EXPECT_EQ(target(0, I(-1)), 30);
    EXPECT_EQ(target(0, I(7)), 50) << "no match, no default: the end";
    EXPECT_EQ(target(1, I(7)), 40) << "the default";
    EXPECT_EQ(target(0, I(4294967297)), 50) << "2^32 + 1 is not case 1";
    EXPECT_EQ(target(0, I(-4294967295)), 50) << "nor is -(2^32) + 1";
}

TEST(Variables, PushesReadNumbersStringsAndNegate)
{
    ExeScr e;
    int32_t s = e.declvar(L"s", 0);
    e.settext(e.varat(s), L"12", 2, 999);
    e.varat(s)->state = varstr;
    int32_t m = numvar(e, L"m", I(INT64_MIN));
    int32_t z = numvar(e, L"z", D(0.0));
    int32_t big = numvar(e, L"big", D(two63));
    codelist c;
    c.op(&ExeScr::pushvar_exec).i(s);
    c.op(&ExeScr::pushneg_exec).i(m);
    c.op(&ExeScr::pushneg_exec).i(z);
    c.op(&ExeScr::pushnot_exec).i(big);
    c.op(&ExeScr::pushint_exec).i(m).op(&ExeScr::pushnotx_exec);
    c.op(&ExeScr::pushvaridx_exec).i(-5);
    c.run(e);
    expectnum(e.popd(), I(-5), "an index as it is");
    expectnum(e.popd(), I(INT64_MAX), "~min");
    expectnum(e.popd(), I(0x7FFFFFFFFFFFFFFF), "~2^63 taken modulo 2^64");
    datdcell negzero = e.popd();
    EXPECT_TRUE(!negzero.isint && negzero.d == 0.0 && std::signbit(negzero.d)) << "-0.0";
    expectnum(e.popd(), D(two63), "-min");
    expectnum(e.popd(), I(12), "string read as a number");
    e.freedatd();
    e.freevartable();
}

TEST(Variables, UndefinedReadsAreFatal)
{
    ExeScr& g = fatalengine();
    int32_t u = g.declvar(L"unset", 0);
    EXPECT_EQ(expectfatal(g, [u](ExeScr& x) { x.pushint(u); x.pushvarx_exec(); }), L"undefined variable.:unset");
    ExeScr& l = fatalengine();
    l.pushlocal(0, 0, L"", varstr);
    l.stackdd.base[0].state = varundef;
    codecell operand[1] = {};
    operand[0].i = -1;
    l.ip = operand;
    EXPECT_EQ(expectfatal(l, [](ExeScr& x) { x.pushvar_exec(); }), L"undefined local variable.");
}

TEST(Assignment, StoresPushesAndTheNoResultFlag)
{
    ExeScr e;
    int32_t a = e.declvar(L"a", 0);
    int32_t b = e.declvar(L"b", 0);
    e.settext(e.varat(b), L"text", 4, 999);
    e.varat(b)->state = varstr;
    e.pushlocal(0, 0, nullptr, localint);
    codelist c;
    c.op(&ExeScr::pushint_exec).i(5).op(&ExeScr::assignnum_exec).i(packword(a, 0, false));
    c.op(&ExeScr::pushnum_exec).d(2.5).op(&ExeScr::assignnum_exec).i(packword(b, 0, true));
    c.op(&ExeScr::setintconst_exec).i(9).i(packword(-1, 0, false));
    c.op(&ExeScr::setnumconst_exec).d(0.25).i(packword(a, 0, true));
    c.op(&ExeScr::pushint_exec).i(7).op(&ExeScr::pushint_exec).i(-1).op(&ExeScr::storenum_exec);
    c.op(&ExeScr::pushint_exec).i(8).op(&ExeScr::pushint_exec).i(b).op(&ExeScr::assignnumx_exec);
    c.run(e);
    expectnum(e.popd(), I(8), "assignnumx pushes the number");
    expectnum(e.popd(), I(9), "setintconst pushes");
    expectnum(e.popd(), I(5), "assignnum pushes");
    EXPECT_TRUE(e.datd.empty());
    expectvar(e, a, D(0.25), "a");
    expectvar(e, b, I(8), "b");
    EXPECT_EQ(std::wstring(e.vartext(e.varat(b))), L"text") << "the old text stays unused";
    expectvar(e, -1, I(7), "local");
    e.clearlocals();
    e.freedatd();
    e.freevartable();
}

TEST(Increment, ModesWrapAndKeepTheKind)
{
    ExeScr e;
    int32_t i = numvar(e, L"i", I(INT64_MAX));
    int32_t d = numvar(e, L"d", D(1.5));
    codelist c;
    c.op(&ExeScr::incdec_exec).i(packword(i, 1, false));   // post: old value
    c.op(&ExeScr::incdec_exec).i(packword(i, 2, false));   // pre-decrement: new value
    c.op(&ExeScr::incdec_exec).i(packword(d, 0, false));   // pre: 2.5
    c.op(&ExeScr::pushint_exec).i(d).op(&ExeScr::incdecx_exec).i(packword(0, 3, false));
    c.op(&ExeScr::incdec_exec).i(packword(d, 0, true));    // no result
    c.run(e);
    expectnum(e.popd(), D(2.5), "post-decrement returns the old value");
    expectnum(e.popd(), D(2.5), "pre-increment");
    expectnum(e.popd(), I(INT64_MAX), "wrapped to min, then back");
    expectnum(e.popd(), I(INT64_MAX), "post-increment");
    EXPECT_TRUE(e.datd.empty());
    expectvar(e, i, I(INT64_MAX), "i");
    expectvar(e, d, D(2.5), "d");
    e.freedatd();
    e.freevartable();

    ExeScr& s = fatalengine();
    int32_t str = s.declvar(L"str", 0);
    s.varat(str)->state = varstr;
    codecell w[1] = {};
    w[0].i = packword(str, 0, false);
    s.ip = w;
    EXPECT_EQ(expectfatal(s, [](ExeScr& x) { x.incdec_exec(); }), L"undefined variable.:str");
}

TEST(CompoundAssignment, IntegerAndDoubleRules)
{
    ExeScr e;
    struct {
        num x;
        uint32_t op;
        num v;
        num want;
        const char* what;
    } cases[] = {
        {D(3.0), 272, I(2), D(6.0), "3.0 *= 2"},
        {I(5), 273, I(2), D(2.5), "5 /= 2"},
        {I(6), 273, I(3), I(2), "6 /= 3"},
        {D(5.5), 265, I(1), I(5), "5.5 |= 1"},
        {D(1099511627776.0), 265, D(1.0), I(1099511627777), "2^40 |= 1.0 keeps 64 bits"},
        {D(7.5), 274, I(2), D(1.5), "7.5 %= 2 as %"},
        {I(-7), 274, I(2), I(-1), "-7 %= 2"},
        {I(INT64_MAX), 269, I(1), D(two63), "max += 1"},
        {I(12), 267, I(10), I(8), "&="},
        {I(12), 275, I(10), I(6), "^="},
        {D(1099511627776.0), 301, I(4), I(17592186044416), "2^40 <<= 4 keeps 64 bits"},
        {D(-8.0), 302, I(1), I(-4), ">>= arithmetic"},
        {I(1), 301, I(64), I(1), "<<= count & 63"},
        {D(1.0), 271, D(0.25), D(0.75), "-="},
    };
    for (auto& c : cases) {
        int32_t x = numvar(e, L"x", c.x);
        push(e, c.v);
        codecell w[1] = {};
        w[0].i = packword(x, c.op, false);
        e.ip = w;
        e.compoundassign_exec();
        expectnum(e.popd(), c.want, c.what);
        expectvar(e, x, c.want, c.what);
    }
    e.signmode = 0;
    int32_t x = numvar(e, L"x", I(-8));
    e.pushint(1);
    e.pushint(x);
    codecell w[1] = {};
    w[0].i = packword(0, 302, true);
    e.ip = w;
    e.compoundassignx_exec();
    EXPECT_TRUE(e.datd.empty()) << "no result";
    expectvar(e, x, I(0x7FFFFFFFFFFFFFFC), ">>= logical in sign mode 0");
    e.freedatd();
    e.freevartable();
}

TEST(CompoundAssignment, DivisionByZeroMessages)
{
    auto fails = [](num x, uint32_t op, num v) {
        ExeScr& e = fatalengine();
        int32_t idx = numvar(e, L"x", x);
        return expectfatal(e, [=](ExeScr& s) {
            push(s, v);
            codecell w[1] = {};
            w[0].i = packword(idx, op, false);
            s.ip = w;
            s.compoundassign_exec();
        });
    };
    EXPECT_EQ(fails(I(5), 273, I(0)), L"division by zero");
    EXPECT_EQ(fails(I(5), 274, I(0)), L"division by zero");
    EXPECT_EQ(fails(D(5.0), 273, I(0)), L"division by zero.");
    EXPECT_EQ(fails(I(5), 274, D(0.0)), L"division by zero.");
}

TEST(PrintAndExit, PrintsToTheLogAndExitStopsTheRun)
{
    qtest::loggedengine e(L"printnum");
    codelist c;
    c.op(&ExeScr::pushint_exec).i(-42).op(&ExeScr::printnum_exec);
    c.op(&ExeScr::pushnum_exec).d(3.14159265358979).op(&ExeScr::printnum_exec);
    c.op(&ExeScr::pushnum_exec).d(1e20).op(&ExeScr::printnum_exec);
    c.op(&ExeScr::exit_exec).op(&ExeScr::pushint_exec).i(1);
    exitflag = 0;
    c.run(e);
    e.closelog();
    EXPECT_EQ(e.contents(), std::wstring(1, wchar_t(0xFEFF)) + L"\t-42\r\n\t3.1415927\r\n\t1e+020\r\n");
    EXPECT_EQ(e.stopflag, 1u);
    EXPECT_EQ(exitflag, 1);
    ASSERT_EQ(e.datd.count(), 1) << "the cell after exit did not run";
    expectnum(e.popd(), I(0), "exit pushes 0");
    exitflag = 0;
    e.freedatd();

    ExeScr& t = fatalengine();
    t.threadmode = 1;
    EXPECT_EQ(expectfatal(t, [](ExeScr& x) { x.exit_exec(); }), L"exit in thread.");
}

TEST(IntegerCommands, Int128Helpers)
{
    int64_t hi;
    EXPECT_EQ(static_cast<int64_t>(muls128(-3, 5, &hi)), -15);
    EXPECT_EQ(hi, -1);
    EXPECT_EQ(muls128(INT64_MIN, INT64_MIN, &hi), 0u);
    EXPECT_EQ(hi, INT64_C(1) << 62);
    uint64_t uhi;
    EXPECT_EQ(mulu128(UINT64_MAX, UINT64_MAX, &uhi), 1u);
    EXPECT_EQ(uhi, UINT64_MAX - 1);
    uint64_t q, r;
    EXPECT_TRUE(divu128(1, 5, 2, &q, &r));
    EXPECT_EQ(q, 0x8000000000000002u);
    EXPECT_EQ(r, 1u);
    EXPECT_FALSE(divu128(2, 0, 2, &q, &r));
    int64_t sq, sr;
    EXPECT_TRUE(divs128(-1, static_cast<uint64_t>(-7), 2, &sq, &sr));
    EXPECT_EQ(sq, -3);
    EXPECT_EQ(sr, -1);
    EXPECT_TRUE(divs128(-1, static_cast<uint64_t>(INT64_MIN), 1, &sq, &sr));
    EXPECT_EQ(sq, INT64_MIN);
    EXPECT_FALSE(divs128(-1, static_cast<uint64_t>(INT64_MIN), -1, &sq, &sr));
    // A high half that is not the low half's sign is a 128-bit dividend,
    // not a 64-bit one: 2^64 - 4 and -(2^64) + 4.
    EXPECT_TRUE(divs128(0, static_cast<uint64_t>(-4), 2, &sq, &sr));
    EXPECT_EQ(sq, INT64_MAX - 1);
    EXPECT_TRUE(divs128(-1, 4, -2, &sq, &sr));
    EXPECT_EQ(sq, INT64_MAX - 1);
    EXPECT_EQ(sr, 0);
    EXPECT_TRUE(divs128(0, 7, -2, &sq, &sr));
    EXPECT_EQ(sq, -3);
    EXPECT_EQ(sr, 1);
    EXPECT_FALSE(divs128(0, 7, 0, &sq, &sr));
    EXPECT_TRUE(divu128(0, UINT64_MAX, 10, &q, &r));
    EXPECT_EQ(q, UINT64_MAX / 10);
    EXPECT_EQ(r, 5u);
    EXPECT_FALSE(divu128(0, 1, 0, &q, &r));
}

TEST(IntegerCommands, QuotientsProductsSumsAndTheirSideValues)
{
    ExeScr e;
    // First argument on top: push the last first.
    e.pushint(2);
    e.pushint(-7);
    codecell n[1] = {};
    n[0].i = 2;
    e.ip = n;
    e.idiv_exec();
    expectnum(e.popd(), I(-3), "-7 idiv 2");
    EXPECT_EQ(e.idivrem, -1);

    e.pushint(0);  // unsigned
    e.pushint(2);
    e.pushint(-7);
    n[0].i = 3;
    e.ip = n;
    e.idiv_exec();
    expectnum(e.popd(), I(0x7FFFFFFFFFFFFFFC), "unsigned");
    EXPECT_EQ(e.idivrem, 1);

    e.pushint(1);  // high half
    e.pushint(0);
    e.pushint(4);
    e.pushint(0);
    n[0].i = 4;
    e.ip = n;
    e.idiv_exec();
    expectnum(e.popd(), I(INT64_C(1) << 62), "2^64 / 4 unsigned");

    e.pushint(0);
    e.pushint(2);
    e.pushint(INT64_MIN);
    n[0].i = 3;
    e.ip = n;
    e.imul_exec();
    expectnum(e.popd(), I(0), "2^63 * 2 unsigned");
    EXPECT_EQ(e.imuldx, 1);
    EXPECT_EQ(e.eflags & 0x0801, 0x0801) << "carry and overflow: the high half is significant";

    e.pushint(-3);
    e.pushint(5);
    n[0].i = 2;
    e.ip = n;
    e.imul_exec();
    expectnum(e.popd(), I(-15), "signed");
    EXPECT_EQ(e.imuldx, -1);
    EXPECT_EQ(e.eflags & 0x0801, 0);

    e.pushint(1);
    e.pushint(INT64_MAX);
    e.iadd_exec();
    expectnum(e.popd(), I(INT64_MIN), "wraps");
    EXPECT_EQ(e.eflags & 0x08C1, 0x0880) << "overflow and sign, no carry or zero";
    e.pushint(1);
    e.pushint(-1);
    e.iadd_exec();
    expectnum(e.popd(), I(0), "-1 + 1");
    EXPECT_EQ(e.eflags & 0x08D5, 0x0055) << "carry, parity, aux carry, zero";
    e.freedatd();
}

TEST(IntegerCommands, DivideFaultsEndTheScript)
{
    auto fails = [](int64_t argc, std::vector<int64_t> args) {
        ExeScr& e = fatalengine();
        return expectfatal(e, [=](ExeScr& x) {
            for (auto it = args.rbegin(); it != args.rend(); ++it)
                x.pushint(*it);
            codecell n[1] = {};
            n[0].i = argc;
            x.ip = n;
            x.idiv_exec();
        });
    };
    EXPECT_EQ(fails(2, {5, 0}), L"division by zero");
    EXPECT_EQ(fails(2, {INT64_MIN, -1}), L"idiv quotient overflow.");
    EXPECT_EQ(fails(4, {0, 2, 0, 2}), L"idiv quotient overflow.") << "a 128-bit quotient";
}
