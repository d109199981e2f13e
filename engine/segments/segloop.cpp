// The loop superinstruction of the segment pass: a loop whose body is one
// compound assignment, run from the loop body's first cell, reading the
// operand cells the sequence already has. Its common case never fails;
// anything else runs the replaced first operation alone, and the cells after
// it run as compiled.
#include <cwchar>
#include <type_traits>
#include <utility>

#include "runtime/exescr.h"
#include "runtime/numrules.h"
#include "segments/segrules.h"

using namespace numrules;

namespace {

// A numeric variable's value, or false when the variable is not a number
// (undefined, or a string that str2num would read): the cells report or
// convert that themselves.
NUMRULES_INLINE bool numof(ExeScr& e, int64_t index, datdcell& out)
{
    return seg::readvar(e.varat(static_cast<int32_t>(index)), out);
}

template <int RK>
NUMRULES_INLINE bool rightvalue(ExeScr& e, const codecell& operand, datdcell& out)
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

// Room for `n` more entries on datd, as the cells' own pushes need.
NUMRULES_INLINE bool room(const ExeScr& e, uint32_t n)
{
    return seg::stackroom(e.datd, 0, sizeof(datdcell) * n);
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

// The test of the loop head whose first cell is `at` (pushvar v; R;
// compare; conditional jump): the cell its jump goes on to, or null when its
// cells must run instead. ip stays in memory as it is until the caller sets
// it: a superinstruction keeps its cells' positions in registers.
template <int OP, int RK, int JT>
NUMRULES_INLINE codecell* condjump(ExeScr& e, const codecell* at)
{
    datdcell l, r;
    if (!room(e, 2) || !numof(e, at[1].i, l) || !rightvalue<RK>(e, at[3], r))
        return nullptr;
    const bool t = binval<OP>(e, l, r).i != 0;
    return t == (JT != 0) ? e.code + e.unitbase + at[6].i : const_cast<codecell*>(at) + 7;
}

// The increment of "incdec_exec; jump_exec", `at` its packed word: false
// when it is not a plain numeric one without a result.
NUMRULES_INLINE bool stepinplace(ExeScr& e, const codecell* at)
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
NUMRULES_INLINE bool compoundwith(ExeScr& e, const codecell* at, const datdcell& v)
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
NUMRULES_INLINE bool compoundinplace(ExeScr& e, const codecell* at)
{
    datdcell v;
    return rightvalue<RK>(e, at[0], v) && compoundwith(e, at, v);
}

// The rounds of the counting loop while all it reads is an integer
// ("for (...; i++) sum += i"): the work of segloop_exec's rounds, with
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
        if (!tv->isint || !sv->isint || !lv->isint || (rv && !rv->isint) || (cv && !cv->isint))
            return false;
        const int64_t step = st.sub < 2 ? 1 : -1;
        // Only the target and the stepped variable change in these rounds,
        // and they stay integers: their values are kept here and written back
        // at every way out (before the message poll too), and the other
        // operands are read once. An operand's role: 1 the target, 2 the
        // stepped variable (when it is not the target), 0 neither.
        const bool same = sv == tv;
        auto role = [&](const varrec* p) { return p == tv ? 1 : p == sv ? 2 : 0; };
        const int rr = rv ? role(rv) : 0, lr = role(lv), cr = cv ? role(cv) : 0;
        const int64_t rfix = rv ? rv->i : at[0].i, lfix = lv->i, cfix = cv ? cv->i : head[3].i;
        // The rounds, made once for each sign of the compound assignment and
        // for a target that is or is not the stepped variable.
        auto rounds = [&](auto minus, auto one) -> bool {
            int64_t t = tv->i, n = sv->i;
            auto value = [&](int r, int64_t fix) { return r == 1 ? t : r == 2 ? n : fix; };
            auto writeback = [&] {
                tv->i = t;
                if constexpr (!decltype(one)::value)
                    sv->i = n;
            };
            for (;;) {
                int64_t sum;
                if (!(decltype(minus)::value ? subfits(t, value(rr, rfix), sum) : addfits(t, value(rr, rfix), sum))) {
                    writeback();
                    return false;  // becomes a double: the general round does that
                }
                t = sum;
                if constexpr (decltype(one)::value)
                    t = wrapadd(t, step);
                else
                    n = wrapadd(n, step);
                const bool stays = binval<OP>(e, mkint(value(lr, lfix)), mkint(value(cr, cfix))).i != 0;
                if ((stays == (JT != 0)) != stayjump) {
                    writeback();
                    e.ip = stays == (JT != 0) ? jumpto : fallto;
                    return true;
                }
                // What againself does between two rounds.
                if (e.stopflag == 1) {
                    writeback();
                    e.ip = const_cast<codecell*>(self);
                    return true;
                }
                if (--e.pollcountdown == 0) {
                    writeback();
                    e.pollcountdown = ExeScr::pollinterval;
                    e.ip = const_cast<codecell*>(self);
                    e.pollmessages();
                    e.ip = const_cast<codecell*>(self) + 1;
                    return false;  // what the messages did is read again
                }
            }
        };
        using yes = std::true_type;
        using no = std::false_type;
        if (w.sub == tokminuseq)
            return same ? rounds(yes{}, yes{}) : rounds(yes{}, no{});
        return same ? rounds(no{}, yes{}) : rounds(no{}, no{});
    }
}

}  // namespace

// ---- loops whose body is one compound assignment

bool ExeScr::againself(const codecell* self)
{
    if (ip != self || stopflag == 1)
        return false;
    countcell();  // as the code loop does between this cell and its next run
    ip = const_cast<codecell*>(self) + 1;
    return true;
}

template <int RK, int OP, int CRK, int JT>
void ExeScr::segloop_exec()
{
    // ip: [0] R's operand, [1] compoundassign_exec, [2] its packed word,
    // [3] incdec_exec, [4] its packed word, [5] jump_exec, [6] the loop head.
    const codecell* const self = ip - 1;
    do {
        if (introunds<RK, OP, CRK, JT>(*this, self))
            return;
        codecell* const at = ip;
        if (!compoundinplace<RK>(*this, at)) {
            pushright<RK>(*this);
            return;
        }
        if (!stepinplace(*this, at + 4)) {
            ip = at + 4;  // as the loop would have it for the increment
            incdec_exec();
            return;
        }
        codecell* const head = code + unitbase + at[6].i;
        codecell* const next = condjump<OP, CRK, JT>(*this, head);
        ip = next ? next : head;
    } while (againself(self));
}

// ---- the table the pass picks from

namespace {
constexpr auto compares = std::integer_sequence<int, bopeq, bopne, boplt, bopgt, bople, bopge>{};
}  // namespace

execfn ExeScr::segloopfn(int rk, int op, int crk, bool jumpiftrue)
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
                                    return &ExeScr::segloop_exec<decltype(w)::value, decltype(x)::value,
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

