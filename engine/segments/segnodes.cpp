// The expression nodes of segments: one function for each operator and
// each kind of its operands (a global, a local, a constant, another node), so
// that reading an operand costs no decision at run time. Each computes what
// its cells compute, by the rules of numrules.h, or answers that the cells
// must run (false, -1).
#include "runtime/int128.h"
#include "segments/segrules.h"

using namespace numrules;

namespace seg {
namespace {

template <int OP, int LK, int RK>
bool bineval(ExeScr& e, const node& n, datdcell& out)
{
    datdcell l, r;
    return fetch<LK>(e, n.a, l) && fetch<RK>(e, n.b, r) && fastbin<OP>(e, l, r, out);
}

template <int OP, int LK, int RK>
int bintest(ExeScr& e, const node& n)
{
    datdcell l, r;
    if (!fetch<LK>(e, n.a, l) || !fetch<RK>(e, n.b, r))
        return -1;
    if constexpr (iscompare(OP)) {
        return compare<OP>(e, l, r) ? 1 : 0;
    } else {
        datdcell v;
        if (!fastbin<OP>(e, l, r, v))
            return -1;
        return truth(v) ? 1 : 0;
    }
}

template <int OP, int K>
bool uneval(ExeScr& e, const node& n, datdcell& out)
{
    datdcell v;
    if (!fetch<K>(e, n.a, v))
        return false;
    if constexpr (OP == uneg)
        out = negate(v);
    else if constexpr (OP == uinvert)
        out = invert(v);
    else if constexpr (OP == ubnot)
        out = mkint(~intof(v));
    else
        out = lognot(v);
    return true;
}

// idiv of two numbers, the dividend `a` (pushed last) and the divisor `b`:
// the quotient, with the remainder and status word its cell leaves. A zero
// divisor or a quotient past 64 bits is the cell's to report. idivrem and
// eflags are set while the segment is still checking: should it fall back,
// its cells run the idiv again and set them to the same values (segments.h).
template <int AK, int BK>
bool quotienteval(ExeScr& e, const node& n, datdcell& out)
{
    datdcell a, b;
    if (!fetch<BK>(e, n.b, b) || !fetch<AK>(e, n.a, a))
        return false;
    const int64_t x = intof(a);
    int64_t q, r;
    if (!divs128(x < 0 ? -1 : 0, static_cast<uint64_t>(x), intof(b), &q, &r))
        return false;
    e.idivrem = r;
    e.eflags = ExeScr::eflagsbase;
    out = mkint(q);
    return true;
}

template <int D, int K1, int K2>
bool elemread(ExeScr& e, const node& n, datdcell& out)
{
    int32_t g;
    return elemglobal<D, K1, K2>(e, n, g) && readvar(e.globals.base + g, out);
}

bool elemindexeval(ExeScr& e, const node& n, datdcell& out)
{
    int32_t g;
    if (!n.ref(e, n, g))
        return false;
    out = mkint(g);
    return true;
}

// A call whose function is "return(expression)" of its parameters: the
// expression, read from the arguments; a call past the depth limit (counting
// the calls read in place around it, `incalls`) must fail as the function's
// own would.
bool calleval(ExeScr& e, const node& n, datdcell& out)
{
    return e.calldepth + n.incalls < ExeScr::maxcalldepth && fetchany(e, n.ka, n.a, out);
}

// "&&": a false left operand is the value itself; "||": a true one makes 1.
bool andeval(ExeScr& e, const node& n, datdcell& out)
{
    datdcell a;
    if (!fetchany(e, n.ka, n.a, a))
        return false;
    if (!truth(a)) {
        putcell(out, a);
        return true;
    }
    return fetchany(e, n.kb, n.b, out);
}

int andtruth(ExeScr& e, const node& n)
{
    const int t = testany(e, n.ka, n.a);
    return t == 1 ? testany(e, n.kb, n.b) : t;
}

bool oreval(ExeScr& e, const node& n, datdcell& out)
{
    datdcell a;
    if (!fetchany(e, n.ka, n.a, a))
        return false;
    if (truth(a)) {
        out = mkint(1);
        return true;
    }
    return fetchany(e, n.kb, n.b, out);
}

int ortruth(ExeScr& e, const node& n)
{
    const int t = testany(e, n.ka, n.a);
    return t == 0 ? testany(e, n.kb, n.b) : t;
}

int evaltruth(ExeScr& e, const node& n)
{
    datdcell v;
    if (!n.eval(e, n, v))
        return -1;
    return truth(v) ? 1 : 0;
}

// Tables of the instantiations, each by its parameters in its template's
// order: the operator, then the operands' kinds.
using binarygrid = grid<bopcount, kinds, kinds>;
using unarygrid = grid<unops, kinds>;
using quotientgrid = grid<kinds, kinds>;
constexpr int maxdims = 3;
using elementgrid = grid<maxdims, kinds, kinds>;  // indexes less one, the first two indexes' kinds

constexpr auto binevaltable =
    maketable<binarygrid>(&evalfails, []<int OP, int L, int R>() -> evalfn { return &bineval<OP, L, R>; });
constexpr auto bintesttable =
    maketable<binarygrid>(&testfails, []<int OP, int L, int R>() -> testfn { return &bintest<OP, L, R>; });
constexpr auto unevaltable = maketable<unarygrid>(&evalfails, []<int OP, int K>() -> evalfn { return &uneval<OP, K>; });
constexpr auto quotienttable =
    maketable<quotientgrid>(&evalfails, []<int A, int B>() -> evalfn { return &quotienteval<A, B>; });
constexpr auto elemreadtable =
    maketable<elementgrid>(&evalfails, []<int D, int K1, int K2>() -> evalfn { return &elemread<D + 1, K1, K2>; });
constexpr auto elemreftable =
    maketable<elementgrid>(&reffails, []<int D, int K1, int K2>() -> reffn { return &elemglobal<D + 1, K1, K2>; });

}  // namespace

evalfn binary(int op, int lk, int rk)
{
    return binevaltable(op, lk, rk);
}

testfn binarytest(int op, int lk, int rk)
{
    return bintesttable(op, lk, rk);
}

evalfn unary(int op, int k)
{
    return unevaltable(op, k);
}

evalfn quotient(int ak, int bk)
{
    return quotienttable(ak, bk);
}

evalfn elemeval(int dims, int k1, int k2)
{
    return elemreadtable(dims - 1, k1, k2);
}

reffn elemref(int dims, int k1, int k2)
{
    return elemreftable(dims - 1, k1, k2);
}

bool evalfails(ExeScr&, const node&, datdcell&)
{
    return failedcheck();
}

int testfails(ExeScr&, const node&)
{
    failedcheck();
    return -1;
}

bool reffails(ExeScr&, const node&, int32_t&)
{
    return failedcheck();
}

evalfn elemindex() { return &elemindexeval; }
evalfn callvalue() { return &calleval; }
evalfn andvalue() { return &andeval; }
testfn andtest() { return &andtruth; }
evalfn orvalue() { return &oreval; }
testfn ortest() { return &ortruth; }
testfn truthtest() { return &evaltruth; }

}  // namespace seg
