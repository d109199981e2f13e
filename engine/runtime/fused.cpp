// Superinstructions: each does the work of a short sequence of cells that
// loops repeat, from the sequence's first cell, reading the operand cells the
// sequence already has. Their common case never fails; anything else runs the
// replaced first operation alone, and the cells after it run as compiled.
#include <cwchar>
#include <utility>

#include "runtime/exescr.h"
#include "runtime/numrules.h"

using namespace numrules;

namespace {

// A numeric variable's value, or false when the variable is not a number
// (undefined, or a string that str2num would read): the cells report or
// convert that themselves.
NUMRULES_INLINE bool numof(ExeScr& e, int64_t index, datdcell& out)
{
    const varrec* v = e.varat(static_cast<int32_t>(index));
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

template <int RK>
NUMRULES_INLINE bool rightof(ExeScr& e, const codecell& operand, datdcell& out)
{
    if constexpr (RK == ExeScr::rightint) {
        out = mkint(operand.i);
        return true;
    } else if constexpr (RK == ExeScr::rightnum) {
        out = mkdbl(operand.d);
        return true;
    } else {
        return numof(e, operand.i, out);
    }
}

// Room for `n` more entries on datd, as the cells' own pushes need: without
// it they grow the stack or end the script, so the cells must run. (No block
// yet: base, top and capacity are all 0.)
NUMRULES_INLINE bool room(const ExeScr& e, int32_t n)
{
    return (e.datd.base + e.datd.cap) - e.datd.top >= n;
}

// The operation that pushes a right operand of kind RK.
template <int RK>
inline void pushright(ExeScr& e)
{
    if constexpr (RK == ExeScr::rightint)
        e.pushint_exec();
    else if constexpr (RK == ExeScr::rightnum)
        e.pushnum_exec();
    else
        e.pushvar_exec();
}

inline bool divides(uint32_t op)
{
    return op == tokdiveq || op == tokmodeq;
}

// Picks the instantiation for run-time values: f is called with
// std::integral_constant<int, K> for the K that equals k.
template <class F, int... K>
execfn pick(int k, F f, std::integer_sequence<int, K...>)
{
    execfn r = nullptr;
    ((k == K ? (r = f(std::integral_constant<int, K>{}), 0) : 0), ...);
    return r;
}

constexpr auto rights = std::make_integer_sequence<int, ExeScr::rightkinds>{};
constexpr auto jumps = std::make_integer_sequence<int, 2>{};

// The test of a fused loop head whose first cell is `at` (pushvar v; R;
// compare; conditional jump): the cell its jump goes on to, or null when its
// cells must run instead. ip stays in memory as it is until the caller sets
// it: a superinstruction keeps its cells' positions in registers.
template <int OP, int RK, int JT>
NUMRULES_INLINE codecell* condjump(ExeScr& e, const codecell* at)
{
    datdcell l, r;
    if (!room(e, 2) || !numof(e, at[1].i, l) || !rightof<RK>(e, at[3], r))
        return nullptr;
    const bool t = binval<OP>(e, l, r).i != 0;
    return t == (JT != 0) ? e.code + e.unitbase + at[6].i : const_cast<codecell*>(at) + 7;
}

// The increment of "incdec_exec; jump_exec", `at` its packed word: false
// when it is not a plain numeric one without a result.
NUMRULES_INLINE bool stepped(ExeScr& e, const codecell* at)
{
    const packed w(at[0].i);
    varrec* v = e.varat(w.index);
    if (v->state != varnum || !w.noresult)
        return false;
    if (v->isint)
        v->i = w.sub < 2 ? wrapadd(v->i, 1) : wrapsub(v->i, 1);
    else
        v->d += w.sub < 2 ? 1.0 : -1.0;
    return true;
}

// The same with the right operand's value `v` at hand; `at[2]` is the packed
// word of compoundassign_exec, `at + 3` the cell after it.
NUMRULES_INLINE bool compoundedby(ExeScr& e, const codecell* at, const datdcell& v)
{
    const packed w(at[2].i);
    if (!room(e, 1))
        return false;
    varrec* var = e.varat(w.index);
    if (var->state != varnum || (divides(w.sub) && asdbl(v) == 0.0))
        return false;
    if (w.sub == tokpluseq || w.sub == tokminuseq) {
        // The common sums inline, by the binary operators' rules (as compound
        // assignments compute them).
        const datdcell x = var->isint ? mkint(var->i) : mkdbl(var->d);
        const datdcell sum = w.sub == tokpluseq ? binval<bopadd>(e, x, v) : binval<bopsub>(e, x, v);
        if (sum.isint) {
            var->i = sum.i;
            var->isint = 1;
        } else {
            var->d = sum.d;
            var->isint = 0;
        }
        if (!w.noresult)
            *e.datd.top++ = sum;
        return true;
    }
    e.ip = const_cast<codecell*>(at) + 3;
    e.compoundvar(w.sub, w.index, w.noresult, v);
    return true;
}

// The work of "R; compoundassign_exec", `at` R's operand: false when its
// cells must run. ip must be at `at` for the general operators (they read it
// for nothing, but a later change might).
template <int RK>
NUMRULES_INLINE bool compounded(ExeScr& e, const codecell* at)
{
    datdcell v;
    return rightof<RK>(e, at[0], v) && compoundedby(e, at, v);
}

// The rounds of a fused counting loop while all it reads is an integer
// ("for (...; i++) sum += i"): the work of fcompoundstep_exec's rounds, with
// the variables' places and the operand words read once. True when the loop
// has left its cell (ip set: the exit, or the cell itself on a stop); false
// when the general code must run the next round (ip at self + 1, nothing of
// that round done yet: every check comes before the first write).
template <int RK, int OP, int CRK, int JT>
NUMRULES_INLINE bool introunds(ExeScr& e, const codecell* self)
{
    constexpr bool compares = OP == bopeq || OP == bopne || OP == boplt || OP == bopgt || OP == bople || OP == bopge;
    if constexpr (RK == ExeScr::rightnum || CRK == ExeScr::rightnum || !compares) {
        return false;
    } else {
        // self[1]: R's operand, [2] compoundassign_exec, [3] its packed word,
        // [4] incdec_exec, [5] its packed word, [6] jump_exec, [7] the head.
        const codecell* const at = self + 1;
        const packed w(at[2].i), st(at[4].i);
        if (!w.noresult || !st.noresult || (w.sub != tokpluseq && w.sub != tokminuseq) || !room(e, 2))
            return false;
        const codecell* const head = e.code + e.unitbase + at[6].i;
        codecell* const jumpto = e.code + e.unitbase + head[6].i;
        codecell* const fallto = const_cast<codecell*>(head) + 7;
        // Whether the test's outcome that stays in the loop is the jump.
        const bool stayjump = jumpto == self;
        if (!stayjump && fallto != self)
            return false;
        varrec* const tv = e.varat(w.index);
        varrec* const sv = e.varat(st.index);
        const varrec* const lv = e.varat(static_cast<int32_t>(head[1].i));
        const varrec* const rv = RK == ExeScr::rightvar ? e.varat(static_cast<int32_t>(at[0].i)) : nullptr;
        const varrec* const cv = CRK == ExeScr::rightvar ? e.varat(static_cast<int32_t>(head[3].i)) : nullptr;
        if (tv->state != varnum || sv->state != varnum || lv->state != varnum || (rv && rv->state != varnum) ||
            (cv && cv->state != varnum))
            return false;
        const bool minus = w.sub == tokminuseq;
        const int64_t step = st.sub < 2 ? 1 : -1;
        for (;;) {
            if (!tv->isint || !sv->isint || !lv->isint || (rv && !rv->isint) || (cv && !cv->isint))
                return false;
            const int64_t r = rv ? rv->i : at[0].i;
            int64_t s;
            if (!(minus ? subfits(tv->i, r, s) : addfits(tv->i, r, s)))
                return false;  // becomes a double: the general round does that
            tv->i = s;
            sv->i = wrapadd(sv->i, step);
            const datdcell l = mkint(lv->i), c = mkint(cv ? cv->i : head[3].i);
            const bool t = binval<OP>(e, l, c).i != 0;
            if ((t == (JT != 0)) != stayjump) {
                e.ip = t == (JT != 0) ? jumpto : fallto;
                return true;
            }
            // What againself does between two rounds.
            if (e.stopflag == 1) {
                e.ip = const_cast<codecell*>(self);
                return true;
            }
            if (--e.pollcountdown == 0) {
                e.pollcountdown = ExeScr::pollinterval;
                e.ip = const_cast<codecell*>(self);
                e.pollmessages();
                e.ip = const_cast<codecell*>(self) + 1;
                return false;  // what the messages did is read again
            }
        }
    }
}

// A cell copied by its fields, as they were written: a whole copy also moves
// the padding, and a load wider than the stores that wrote a cell stalls.
NUMRULES_INLINE void copycell(datdcell& to, const datdcell& from)
{
    to.i = from.i;
    to.isint = from.isint;
}

// l op r for an operator known only at run time (a callee's form).
NUMRULES_INLINE datdcell binrun(ExeScr& e, int op, const datdcell& l, const datdcell& r)
{
    switch (op) {
    case bopadd: return binval<bopadd>(e, l, r);
    case bopsub: return binval<bopsub>(e, l, r);
    case bopmul: return binval<bopmul>(e, l, r);
    case bopeq: return binval<bopeq>(e, l, r);
    case bopne: return binval<bopne>(e, l, r);
    case boplt: return binval<boplt>(e, l, r);
    case bopgt: return binval<bopgt>(e, l, r);
    case bople: return binval<bople>(e, l, r);
    case bopge: return binval<bopge>(e, l, r);
    case bopband: return binval<bopband>(e, l, r);
    case bopbor: return binval<bopbor>(e, l, r);
    case bopbxor: return binval<bopbxor>(e, l, r);
    case bopshl: return binval<bopshl>(e, l, r);
    case bopshr: return binval<bopshr>(e, l, r);
    default: return binval<bopdiv>(e, l, r);  // never recorded: the pass leaves / and % to the function
    }
}

}  // namespace

// ---- numbers

template <int OP, int RK, int JT>
void ExeScr::fcmpjump_exec()
{
    // ip: [0] v, [1] R, [2] its operand, [3] compare, [4] jump, [5] target.
    if (codecell* next = condjump<OP, RK, JT>(*this, ip - 1))
        ip = next;
    else
        pushvar_exec();
}

template <int OP, int RK, int JT>
void ExeScr::fcmpjumpret_exec()
{
    // ip as fcmpjump_exec; then [6] pushvar w, [7] w, [8] the end cell.
    codecell* const at = ip;
    codecell* const next = condjump<OP, RK, JT>(*this, at - 1);
    if (!next) {
        pushvar_exec();
        return;
    }
    datdcell w;
    if (next != at + 6 || !numof(*this, at[7].i, w)) {
        ip = next;  // the jump, or the push that must run as compiled
        return;
    }
    // room(2) held for the test, so one push fits.
    *datd.top++ = w;
    ip = at + 8;
}

template <int OP1, int OP2, int JT>
void ExeScr::fvarcmpjump_exec()
{
    // ip: [0] v, [2] C1, [3] first operator, [5] C2, [6] compare, [7] jump,
    // [8] target.
    datdcell l;
    const datdcell c1 = mkint(ip[2].i), c2 = mkint(ip[5].i);
    if (!room(*this, 2) || !numof(*this, ip[0].i, l) || binfails<OP1>(l, c1)) {
        pushvar_exec();
        return;
    }
    const bool t = binval<OP2>(*this, binval<OP1>(*this, l, c1), c2).i != 0;
    ip = t == (JT != 0) ? code + unitbase + ip[8].i : ip + 9;
}

template <int OP, int RK>
void ExeScr::fvarbin_exec()
{
    // ip: [0] v, [1] R, [2] its operand, [3] the operator.
    datdcell l, r;
    if (!room(*this, 2) || !numof(*this, ip[0].i, l) || !rightof<RK>(*this, ip[2], r) || binfails<OP>(l, r)) {
        pushvar_exec();
        return;
    }
    *datd.top++ = binval<OP>(*this, l, r);
    ip += 4;
}

template <int OP, int RK, int JT>
void ExeScr::ftopcmpjump_exec()
{
    // ip: [0] R's operand, [1] compare, [2] jump, [3] target.
    datdcell r;
    if (datd.count() < 1 || !room(*this, 1) || !rightof<RK>(*this, ip[0], r)) {
        pushright<RK>(*this);
        return;
    }
    const datdcell l = *--datd.top;
    const bool t = binval<OP>(*this, l, r).i != 0;
    ip = t == (JT != 0) ? code + unitbase + ip[3].i : ip + 4;
}

template <int RK>
void ExeScr::fcompound_exec()
{
    // ip: [0] R's operand, [1] compoundassign_exec, [2] its packed word.
    codecell* const at = ip;
    if (compounded<RK>(*this, at))
        ip = at + 3;
    else
        pushright<RK>(*this);
}

// ---- elements of one-index arrays: "pushvar v; arrayindex_run a", and what
// follows it. ip: [0] v, [1] arrayindex_run, [2] its word.

// The global index of element [v] of the array that the word at `at` names,
// made on first use, when the array is used with one index and its slot
// table already reaches v; -1 when arrayindex_run must run (it grows the
// table, or reports an index count that differs, or v is not a number).
static int32_t elemslot(ExeScr& e, const codecell* at)
{
    datdcell x;
    if (!numof(e, at[0].i, x))
        return -1;
    arrayrec* rec = e.arrays.base + static_cast<int32_t>(at[2].i >> 32);
    const auto idx = static_cast<uint32_t>(x.isint ? x.i : ExeScr::dbl2i64(x.d));
    if (rec->dims != 1 || idx >= rec->count)
        return -1;
    return e.slotglobal(static_cast<int32_t*>(rec->buf) + idx, rec->name);
}

void ExeScr::felemindex_exec()
{
    const int32_t g = room(*this, 1) ? elemslot(*this, ip) : -1;
    if (g < 0) {
        pushvar_exec();
        return;
    }
    pushint(g);
    ip += 3;
}

void ExeScr::felemstore_exec()
{
    // [3] storenum_exec: the number below the index goes into the element.
    const int32_t g = datd.count() >= 1 && room(*this, 1) ? elemslot(*this, ip) : -1;
    if (g < 0) {
        pushvar_exec();
        return;
    }
    setvarnum(g, *--datd.top);
    ip += 4;
}

void ExeScr::felemread_exec()
{
    // [3] pushvarx_exec: the element's number is pushed.
    datdcell x;
    const int32_t g = room(*this, 1) ? elemslot(*this, ip) : -1;
    if (g < 0 || !numof(*this, g, x)) {
        pushvar_exec();
        return;
    }
    *datd.top++ = x;
    ip += 4;
}

void ExeScr::felemcompound_exec()
{
    // [3] pushvarx_exec, [4] compoundassign_exec, [5] its packed word: the
    // element's number is the right operand.
    datdcell x;
    codecell* const at = ip;
    const int32_t g = room(*this, 1) ? elemslot(*this, at) : -1;
    if (g < 0 || !numof(*this, g, x) || !compoundedby(*this, at + 3, x)) {
        pushvar_exec();
        return;
    }
    ip = at + 6;
}

bool ExeScr::againself(const codecell* self)
{
    if (ip != self || stopflag == 1)
        return false;
    countcell();  // as the code loop does between this cell and its next run
    ip = const_cast<codecell*>(self) + 1;
    return true;
}

template <int RK, int OP, int CRK, int JT>
void ExeScr::fcompoundstep_exec()
{
    // ip: [0] R's operand, [1] compoundassign_exec, [2] its packed word,
    // [3] incdec_exec, [4] its packed word, [5] jump_exec, [6] the loop head.
    const codecell* const self = ip - 1;
    do {
        if (introunds<RK, OP, CRK, JT>(*this, self))
            return;
        codecell* const at = ip;
        if (!compounded<RK>(*this, at)) {
            pushright<RK>(*this);
            return;
        }
        if (!stepped(*this, at + 4)) {
            ip = at + 4;  // as the loop would have it for the increment
            incdec_exec();
            return;
        }
        codecell* const head = code + unitbase + at[6].i;
        codecell* const next = condjump<OP, CRK, JT>(*this, head);
        ip = next ? next : head;
    } while (againself(self));
}

void ExeScr::fincjump_exec()
{
    // ip: [0] incdec's packed word, [1] jump_exec, [2] target.
    if (stepped(*this, ip))
        ip = code + unitbase + ip[2].i;
    else
        incdec_exec();
}

template <int OP, int RK, int JT>
void ExeScr::fincjumpcond_exec()
{
    // ip as fincjump_exec; the target is a loop head.
    const codecell* const self = ip - 1;
    do {
        codecell* const at = ip;
        if (!stepped(*this, at)) {
            incdec_exec();
            return;
        }
        codecell* const head = code + unitbase + at[2].i;
        codecell* const next = condjump<OP, RK, JT>(*this, head);
        ip = next ? next : head;
    } while (againself(self));
}

template <int OP, int RK, int JT>
void ExeScr::fjumpcond_exec()
{
    codecell* const head = code + unitbase + ip[0].i;
    codecell* const next = condjump<OP, RK, JT>(*this, head);
    ip = next ? next : head;
}

// ---- strings

void ExeScr::fappend_exec()
{
    // ip: [0] v, [1] pushstrlit_exec, [2] the literal, [3] strconcat,
    // [4] strassign_exec, [5] its packed word (v, no result).
    varrec* v = varat(static_cast<int32_t>(ip[0].i));
    if (v->state != varstr || dats.cap - dats.count() < 2) {
        var2str();
        return;
    }
    const int64_t ref = ip[2].i;
    const uint32_t pool = strlitpool(ref);
    const wchar_t* add = pool > 2 ? L"" : strlittext(ref);
    // As pushstrlit_exec reads it.
    appendvartext(v, add, pool == 2 ? wcslen(add) : wcsnlen(add, datsinline));
    ip += 6;
}

// ---- calls

void ExeScr::fusedadd()
{
    // ip: the add_exec cell the function returned to.
    if (stopflag == 1 || datd.count() < 2)
        return;  // that cell runs, or the loop ends before it
    datdcell* r = datd.top - 1;
    datdcell* l = r - 1;
    *l = binval<bopadd>(*this, *l, *r);
    datd.top = r;
    ++ip;
}

template <int AFTER>
inline void ExeScr::fusedafter()
{
    if constexpr (AFTER == aftercallassign)
        fusedassign();
    else if constexpr (AFTER == aftercalladd)
        fusedadd();
}

void ExeScr::fusedassign()
{
    // ip: the assignnum_exec cell the function returned to.
    if (stopflag == 1 || datd.empty())
        return;  // that cell runs, or the loop ends before it
    const packed w(ip[1].i);
    ip += 2;
    setvarnum(w.index, datd.top[-1]);
    if (w.noresult)
        --datd.top;
}

NUMRULES_INLINE int ExeScr::calledinline(int32_t func, const datdcell* x, int32_t n, datdcell& out, int64_t& entry)
{
    if (func < 0 || static_cast<size_t>(func) >= calleeforms.size() || calldepth >= maxcalldepth)
        return 0;  // a call past the depth must fail as the function's own would
    const calleeform& c = calleeforms[static_cast<size_t>(func)];
    if (c.kind == calleenone || c.params != n || !room(*this, 2))
        return 0;  // (the room the function's first cell needs: its pushes would grow or fail)
    // A variable of the function: a parameter (the last one at -1), or a global.
    auto value = [&](int64_t index, datdcell& v) {
        if (index >= 0)
            return numof(*this, index, v);
        if (index < -n)
            return false;
        copycell(v, x[-1 - index]);
        return true;
    };
    datdcell l, r;
    if (!value(c.p, l))
        return 0;
    if (c.rk == rightint)
        r = mkint(c.right.i);
    else if (c.rk == rightnum)
        r = mkdbl(c.right.d);
    else if (!value(c.right.i, r))
        return 0;
    const datdcell v = binrun(*this, c.op, l, r);
    int made = 1;
    if (c.kind == calleebin) {
        copycell(out, v);
    } else if ((v.i != 0) == (c.jt != 0)) {
        // The guard jumps: the function runs on from there, unless a stop
        // came, which its first cell would have met.
        if (stopflag == 1)
            return 0;
        entry = c.past;
        made = 2;
    } else if (!value(c.w, out)) {
        return 0;
    }
    countcell();
    return made;
}

template <int N, int AFTER>
void ExeScr::fargcall_exec()
{
    // ip: [0 .. N-2] callargnum_exec, [N-1] usercall_exec, [N] the function.
    if (datd.count() < N) {
        callargnum_exec();
        return;
    }
    codecell* const first = ip;
    for (int k = 0; k < N; ++k) {
        ip = first + k;  // where each push would fail, for its line
        pushlocalnum(*--datd.top);
    }
    ip = first + N;
    calluser();
    fusedafter<AFTER>();
}

template <int N, int AFTER>
void ExeScr::fvarcall_exec()
{
    // ip: [0] x1, [1] pushvar, [2] x2 ... [2N-2] xN, [2N-1 .. 3N-2]
    // callargnum_exec, [3N-1] usercall_exec, [3N] the function.
    datdcell x[N];
    bool ok = room(*this, N);
    for (int k = 0; ok && k < N; ++k)
        ok = numof(*this, ip[2 * k].i, x[k]);
    if (!ok) {
        pushvar_exec();
        return;
    }
    codecell* const first = ip;
    datdcell v;
    int64_t entry = 0;
    const int made = calledinline(static_cast<int32_t>(first[3 * N].i), x, N, v, entry);
    if (made == 1) {
        ip = first + 3 * N + 1;  // where the function returns to
        copycell(*datd.top++, v);
        fusedafter<AFTER>();
        return;
    }
    // The last pushed is taken first: it becomes the deeper record.
    for (int k = N - 1; k >= 0; --k) {
        ip = first + 2 * N + (N - 1 - k);
        pushlocalnum(x[k]);
    }
    ip = first + 3 * N;
    calluser(entry);
    fusedafter<AFTER>();
}

template <int OP, int RK, int AFTER>
void ExeScr::fvarbincall_exec()
{
    // ip: [0] v, [1] R, [2] its operand, [3] the operator, [4] callargnum_exec,
    // [5] usercall_exec, [6] the function.
    datdcell l, r;
    if (!room(*this, 2) || !numof(*this, ip[0].i, l) || !rightof<RK>(*this, ip[2], r) || binfails<OP>(l, r)) {
        pushvar_exec();
        return;
    }
    const datdcell x = binval<OP>(*this, l, r);
    datdcell v;
    int64_t entry = 0;
    const int made = calledinline(static_cast<int32_t>(ip[6].i), &x, 1, v, entry);
    if (made == 1) {
        ip += 7;  // where the function returns to
        copycell(*datd.top++, v);
        fusedafter<AFTER>();
        return;
    }
    ip += 5;
    pushlocalnum(x);
    ++ip;
    calluser(entry);
    fusedafter<AFTER>();
}

// ---- the table the pass picks from

// The form name<A, B, C> for run-time values a, b and c, each taken from
// the sequence of values the form is made for.
#define FUSED_PICK3(name, seqa, seqb, seqc, a, b, c)                                                           \
    pick(                                                                                                      \
        a,                                                                                                     \
        [&](auto x) {                                                                                          \
            return pick(                                                                                       \
                b,                                                                                             \
                [&](auto y) {                                                                                  \
                    return pick(                                                                               \
                        c,                                                                                     \
                        [](auto z) -> execfn {                                                                 \
                            return &ExeScr::name<decltype(x)::value, decltype(y)::value, decltype(z)::value>; \
                        },                                                                                     \
                        seqc);                                                                                 \
                },                                                                                             \
                seqb);                                                                                         \
        },                                                                                                     \
        seqa)
#define FUSED_PICK2(name, seqa, seqb, a, b)                                                                   \
    pick(                                                                                                      \
        a,                                                                                                     \
        [&](auto x) {                                                                                          \
            return pick(                                                                                       \
                b, [](auto y) -> execfn { return &ExeScr::name<decltype(x)::value, decltype(y)::value>; }, seqb); \
        },                                                                                                     \
        seqa)

namespace {
constexpr auto compares = std::integer_sequence<int, bopeq, bopne, boplt, bopgt, bople, bopge>{};
constexpr auto binaries = std::make_integer_sequence<int, bopcount>{};
constexpr auto counts = std::integer_sequence<int, 1, 2, 3, 4>{};
constexpr auto afters = std::make_integer_sequence<int, ExeScr::aftercallkinds>{};
}  // namespace

execfn ExeScr::fusedcmpjump(int op, int rk, bool jumpiftrue)
{
    return FUSED_PICK3(fcmpjump_exec, compares, rights, jumps, op, rk, jumpiftrue ? 1 : 0);
}

execfn ExeScr::fusedcmpjumpret(int op, int rk, bool jumpiftrue)
{
    return FUSED_PICK3(fcmpjumpret_exec, compares, rights, jumps, op, rk, jumpiftrue ? 1 : 0);
}

execfn ExeScr::fusedvarbin(int op, int rk)
{
    return FUSED_PICK2(fvarbin_exec, binaries, rights, op, rk);
}

execfn ExeScr::fusedtopcmpjump(int op, int rk, bool jumpiftrue)
{
    return FUSED_PICK3(ftopcmpjump_exec, compares, rights, jumps, op, rk, jumpiftrue ? 1 : 0);
}

execfn ExeScr::fusedincjumpcond(int op, int rk, bool jumpiftrue)
{
    return FUSED_PICK3(fincjumpcond_exec, compares, rights, jumps, op, rk, jumpiftrue ? 1 : 0);
}

execfn ExeScr::fusedjumpcond(int op, int rk, bool jumpiftrue)
{
    return FUSED_PICK3(fjumpcond_exec, compares, rights, jumps, op, rk, jumpiftrue ? 1 : 0);
}

execfn ExeScr::fusedvarcmpjump(int op1, int op2, bool jumpiftrue)
{
    return FUSED_PICK3(fvarcmpjump_exec, (std::integer_sequence<int, bopadd, bopsub, bopmul, bopmod, bopband>{}),
                       compares, jumps, op1, op2, jumpiftrue ? 1 : 0);
}

execfn ExeScr::fusedvarbincall(int op, int rk, int after)
{
    return FUSED_PICK3(fvarbincall_exec, (std::integer_sequence<int, bopadd, bopsub>{}), rights, afters, op, rk,
                       after);
}

execfn ExeScr::fusedcompoundstep(int rk, int op, int crk, bool jumpiftrue)
{
    return pick(
        rk,
        [&](auto w) {
            return pick(
                op,
                [&](auto x) {
                    return pick(
                        crk,
                        [&](auto y) {
                            return pick(
                                jumpiftrue ? 1 : 0,
                                [](auto z) -> execfn {
                                    return &ExeScr::fcompoundstep_exec<decltype(w)::value, decltype(x)::value,
                                                                       decltype(y)::value, decltype(z)::value>;
                                },
                                jumps);
                        },
                        rights);
                },
                compares);
        },
        rights);
}

execfn ExeScr::fusedcompound(int rk)
{
    return pick(rk, [](auto r) -> execfn { return &ExeScr::fcompound_exec<decltype(r)::value>; }, rights);
}

execfn ExeScr::fusedargcall(int n, int after)
{
    return FUSED_PICK2(fargcall_exec, counts, afters, n, after);
}

execfn ExeScr::fusedvarcall(int n, int after)
{
    return FUSED_PICK2(fvarcall_exec, counts, afters, n, after);
}

#undef FUSED_PICK2
#undef FUSED_PICK3
