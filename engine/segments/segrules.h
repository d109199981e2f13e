// How segments read their operands: variables, constants, nodes, elements,
// and the stack room checks. Shared by the node functions (segnodes.cpp), the
// text forms (segtext.cpp), the segment runs (segruns.cpp) and the loop
// superinstruction (segloop.cpp).
#pragma once

#include <type_traits>

#include "runtime/exescr.h"
#include "runtime/numrules.h"
#include "segments/segtables.h"

namespace seg {

// What a lookup outside a table gives (segtables.h): a failed check, and
// the cells run.
bool evalfails(ExeScr& e, const node& n, datdcell& out);
int testfails(ExeScr& e, const node& n);
bool reffails(ExeScr& e, const node& n, int32_t& global);
const segment* runfails(ExeScr& e, const segment& s);

// The operand kinds a reader is made for, each by its own instantiation.
template <int... K>
struct kindlist {};
using numberkinds = kindlist<kglobal, klocal, kconst, kint, kpop, knode>;  // what fetch reads
using textkindlist = kindlist<kglobal, klocal, kconst, knode>;             // what a text operand is
using targetkindlist = kindlist<kglobal, klocal, knode>;                   // what a change stores into
static_assert(kglobal < textkinds && klocal < textkinds && kconst < textkinds && knode < textkinds,
              "the text forms' tables are made for every text operand's kind");
template <int... K>
constexpr bool everykind(kindlist<K...>)
{
    return sizeof...(K) == kinds && ((K >= 0 && K < kinds) && ...);
}
static_assert(everykind(numberkinds{}), "fetch reads every kind the tables are made for");

// f(std::integral_constant<int, K>{}) for the K of the list that is `k`,
// where the kind is known only at run time: a kind the list does not hold
// is a failed check (false), never read as another.
template <int... K, class F>
NUMRULES_INLINE bool withkind(kindlist<K...>, int k, F&& f)
{
    bool r = false;
    if (((k == K && ((r = f(std::integral_constant<int, K>{})), true)) || ...))
        return r;
    return failedcheck();
}

// A variable's number, or false when it is not a number (undefined, or a
// string that the cells would read with str2num).
NUMRULES_INLINE bool readvar(const varrec* v, datdcell& out)
{
    if (v->state != varnum)
        return false;
    if (v->isint) {
        out.i = v->i;
        out.isint = 1;
    } else {
        out.d = v->d;
        out.isint = 0;
    }
    return true;
}

template <int K>
NUMRULES_INLINE bool fetch(ExeScr& e, const opnd& o, datdcell& out)
{
    if constexpr (K == kconst) {
        out.i = o.i;
        out.isint = o.isint;
        return true;
    } else if constexpr (K == kint) {
        out.i = o.i;
        out.isint = 1;
        return true;
    } else if constexpr (K == knode) {
        return o.n->eval(e, *o.n, out);
    } else if constexpr (K == kpop) {
        numrules::putcell(out, e.datd.top[-o.i]);  // datd is popped only when the segment commits
        return true;
    } else if constexpr (K == kglobal) {
        return readvar(e.globals.base + o.i, out);
    } else {
        static_assert(K == klocal, "a kind fetch has no way to read");
        return readvar(e.stackdd.top + o.i, out);
    }
}

NUMRULES_INLINE bool fetchany(ExeScr& e, int k, const opnd& o, datdcell& out)
{
    return withkind(numberkinds{}, k, [&](auto kk) { return fetch<decltype(kk)::value>(e, o, out); });
}

// An index as arrayindex_run takes it: an integer's low 32 bits, a double
// truncated toward zero.
NUMRULES_INLINE uint32_t indexof(const datdcell& c)
{
    return static_cast<uint32_t>(c.isint ? c.i : ExeScr::dbl2i64(c.d));
}

// The global behind an element of an array used with D indexes, when every
// level already reaches its index (arrayindex_run grows them, and reports an
// array used with another count of indexes). An element not used before is
// made, as arrayindex_run makes it: a trace left before the segment commits,
// harmless only because a fallback's cells find it made and go on as they
// would have (segments.h).
template <int D, int K1, int K2>
NUMRULES_INLINE bool elemglobal(ExeScr& e, const node& n, int32_t& g)
{
    datdcell x;
    if (!fetch<K1>(e, n.a, x))
        return false;
    const uint32_t i1 = indexof(x);
    const arrayrec* rec = e.arrays.base + n.array;
    if (rec->dims != D || i1 >= rec->count)
        return false;
    int32_t* slot;
    if constexpr (D == 1) {
        slot = static_cast<int32_t*>(rec->buf) + i1;
    } else {
        datdcell y;
        if (!fetch<K2>(e, n.b, y))
            return false;
        const uint32_t i2 = indexof(y);
        const indexnode* n1 = static_cast<const indexnode*>(rec->buf) + i1;
        if (i2 >= n1->count)
            return false;
        if constexpr (D == 2) {
            slot = static_cast<int32_t*>(n1->buf) + i2;
        } else {
            datdcell z;
            if (!fetchany(e, n.kc, n.c, z))
                return false;
            const uint32_t i3 = indexof(z);
            const indexnode* n2 = static_cast<const indexnode*>(n1->buf) + i2;
            if (i3 >= n2->count)
                return false;
            slot = static_cast<int32_t*>(n2->buf) + i3;
        }
    }
    if (*slot == -1)
        e.ip = e.code + n.indexcell;  // where arrayindex_run would be, should the table fail to grow
    g = e.slotglobal(slot);
    return true;
}

// The truth of an operand: 1, 0, or -1 when the cells must run.
NUMRULES_INLINE int testany(ExeScr& e, int k, const opnd& o)
{
    if (k == knode)
        return o.n->test(e, *o.n);
    datdcell v;
    if (!fetchany(e, k, o, v))
        return -1;
    return numrules::truth(v) ? 1 : 0;
}

// The variable record of a target: a global or a local by index.
template <int K>
NUMRULES_INLINE varrec* varof(ExeScr& e, int64_t index)
{
    static_assert(K == kglobal || K == klocal, "a variable is a global or a local");
    if constexpr (K == kglobal)
        return e.globals.base + index;
    else
        return e.stackdd.top + index;
}

// The variable an assignment, increment, compound assignment or text join
// changes:
// false when an element's cells must run (they grow the table, or report).
template <int TK>
NUMRULES_INLINE bool targetof(ExeScr& e, const segment& s, varrec*& v)
{
    if constexpr (TK == knode || TK == kelemglobal || TK == kelemlocal) {
        int32_t g;
        bool found;
        if constexpr (TK == knode)
            found = s.target.n->ref(e, *s.target.n, g);
        else
            found = elemglobal<1, TK == kelemglobal ? kglobal : klocal, kconst>(e, *s.target.n, g);
        if (!found)
            return false;
        v = e.globals.base + g;  // after locating it, which may have moved the table
    } else {
        v = varof<TK>(e, s.target.i);
    }
    return true;
}

// The same where the target's kind is known only at run time.
NUMRULES_INLINE bool targetany(ExeScr& e, const segment& s, varrec*& v)
{
    return withkind(targetkindlist{}, s.tkind, [&](auto k) { return targetof<decltype(k)::value>(e, s, v); });
}

// Stores a number into a variable, as setvarnum does.
NUMRULES_INLINE void storevar(varrec* v, const datdcell& x)
{
    v->state = varnum;
    if (x.isint) {
        v->i = x.i;
        v->isint = 1;
    } else {
        v->d = x.d;
        v->isint = 0;
    }
}

// Whether datum stack `st` (datd or dats) holds `popbytes` of entries to pop
// and has room for `roombytes` more, as the cells' pops and pushes need:
// without it they report an underflow, grow the stack or end the script, so
// the cells must run. The one room check of the segments and the loop
// superinstruction. (A stack without a block yet has base, top and capacity
// 0.)
template <class S>
NUMRULES_INLINE bool stackroom(const S& st, uintptr_t popbytes, uintptr_t roombytes)
{
    const auto top = reinterpret_cast<uintptr_t>(st.top);
    const auto base = reinterpret_cast<uintptr_t>(st.base);
    return top - base >= popbytes && top + roombytes <= base + sizeof(*st.base) * static_cast<uint32_t>(st.cap);
}

// The same for a segment's cells on datd: checked before its run by what
// runs it (runsegments, or a loop's change for its rounds), never by the run.
NUMRULES_INLINE bool stackfits(const ExeScr& e, const segment& s)
{
    return stackroom(e.datd, s.popbytes, s.roombytes);
}

// The segment that comes after `s`: one made right after it is found by its
// address, so that the next segment's loads need not wait for a load of
// `next`. A branch, not a choice of values: the way it goes is foreseen.
NUMRULES_INLINE const segment* nextof(const segment& s)
{
    if (s.adjacent) [[likely]]
        return &s + 1;
    return s.next;
}

// Where a conditional segment goes: by a branch the processor foresees, so
// that the next segment does not wait for the test's outcome to be known.
NUMRULES_INLINE const segment* branchto(const segment& s, bool jumps)
{
    if (jumps)
        return s.jump;
    return nextof(s);
}

// What a segment's cells pop below its entry top, popped as they would at
// its commit (most pop nothing).
NUMRULES_INLINE void popcells(ExeScr& e, const segment& s)
{
    if (s.pops)
        e.datd.top -= s.pops;
}

}  // namespace seg
