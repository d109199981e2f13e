// The expression nodes of segments: one function for each operator and
// each kind of its operands (a global, a local, a constant, another node), so
// that reading an operand costs no decision at run time. Each computes what
// its cells compute, by the rules of numrules.h, or answers that the cells
// must run (false, -1).
#include <array>
#include <utility>

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
using unarygrid = grid<4, kinds>;
using quotientgrid = grid<kinds, kinds>;
using elementgrid = grid<3, kinds, kinds>;  // indexes less one, the first two indexes' kinds

template <size_t... I>
constexpr auto binevals(std::index_sequence<I...>)
{
    using g = binarygrid;
    return std::array<evalfn, sizeof...(I)>{&bineval<g::digit(I, 0), g::digit(I, 1), g::digit(I, 2)>...};
}

template <size_t... I>
constexpr auto bintests(std::index_sequence<I...>)
{
    using g = binarygrid;
    return std::array<testfn, sizeof...(I)>{&bintest<g::digit(I, 0), g::digit(I, 1), g::digit(I, 2)>...};
}

template <size_t... I>
constexpr auto unevals(std::index_sequence<I...>)
{
    using g = unarygrid;
    return std::array<evalfn, sizeof...(I)>{&uneval<g::digit(I, 0), g::digit(I, 1)>...};
}

template <size_t... I>
constexpr auto quotients(std::index_sequence<I...>)
{
    using g = quotientgrid;
    return std::array<evalfn, sizeof...(I)>{&quotienteval<g::digit(I, 0), g::digit(I, 1)>...};
}

template <size_t... I>
constexpr auto elemreads(std::index_sequence<I...>)
{
    using g = elementgrid;
    return std::array<evalfn, sizeof...(I)>{&elemread<g::digit(I, 0) + 1, g::digit(I, 1), g::digit(I, 2)>...};
}

template <size_t... I>
constexpr auto elemrefs(std::index_sequence<I...>)
{
    using g = elementgrid;
    return std::array<reffn, sizeof...(I)>{&elemglobal<g::digit(I, 0) + 1, g::digit(I, 1), g::digit(I, 2)>...};
}

constexpr auto binevaltable = binevals(std::make_index_sequence<binarygrid::size>{});
constexpr auto bintesttable = bintests(std::make_index_sequence<binarygrid::size>{});
constexpr auto unevaltable = unevals(std::make_index_sequence<unarygrid::size>{});
constexpr auto quotienttable = quotients(std::make_index_sequence<quotientgrid::size>{});
constexpr auto elemreadtable = elemreads(std::make_index_sequence<elementgrid::size>{});
constexpr auto elemreftable = elemrefs(std::make_index_sequence<elementgrid::size>{});

}  // namespace

evalfn binary(int op, int lk, int rk)
{
    return binevaltable[binarygrid::at(op, lk, rk)];
}

testfn binarytest(int op, int lk, int rk)
{
    return bintesttable[binarygrid::at(op, lk, rk)];
}

evalfn unary(int op, int k)
{
    return unevaltable[unarygrid::at(op, k)];
}

evalfn quotient(int ak, int bk)
{
    return quotienttable[quotientgrid::at(ak, bk)];
}

evalfn elemeval(int dims, int k1, int k2)
{
    return elemreadtable[elementgrid::at(dims - 1, k1, k2)];
}

reffn elemref(int dims, int k1, int k2)
{
    return elemreftable[elementgrid::at(dims - 1, k1, k2)];
}

evalfn elemindex() { return &elemindexeval; }
evalfn callvalue() { return &calleval; }
evalfn andvalue() { return &andeval; }
testfn andtest() { return &andtruth; }
evalfn orvalue() { return &oreval; }
testfn ortest() { return &ortruth; }
testfn truthtest() { return &evaltruth; }

}  // namespace seg
