// The segment pass, run after compilation: it places the loop
// superinstruction of segloop.cpp (a loop whose body is one compound
// assignment), then the segments of everything else that computes numbers or
// joins texts (segbuild.cpp).
// Nothing moves: code positions, jump operands and the line table stay
// valid. A sequence is taken only where every cell the pattern reads as an
// operation was emitted as one, and no jump, case, label or unit start lands
// inside it.
#include <iterator>

#include "segments/segview.h"
#include "runtime/numrules.h"

using namespace numrules;

void buildsegments(segview& v);

namespace {

// The opcode of each binary operator, each beside its code.
struct binopentry {
    binopcode op;
    execfn f;
};
constexpr binopentry binops[] = {
    {bopadd, &ExeScr::add_exec},   {bopsub, &ExeScr::subtract_exec}, {bopmul, &ExeScr::mul_exec},
    {bopdiv, &ExeScr::div_exec},   {bopmod, &ExeScr::mod_exec},      {bopeq, &ExeScr::eq_exec},
    {bopne, &ExeScr::ne_exec},     {boplt, &ExeScr::lt_exec},        {bopgt, &ExeScr::gt_exec},
    {bople, &ExeScr::le_exec},     {bopge, &ExeScr::ge_exec},        {bopband, &ExeScr::band_exec},
    {bopbor, &ExeScr::bor_exec},   {bopbxor, &ExeScr::bxor_exec},    {bopshl, &ExeScr::shl_exec},
    {bopshr, &ExeScr::shr_exec},
};

// Every code once, at its own index, and no opcode twice.
constexpr bool binopsinorder()
{
    if (std::size(binops) != bopcount)
        return false;
    for (size_t k = 0; k < std::size(binops); ++k) {
        if (binops[k].op != static_cast<binopcode>(k))
            return false;
        for (size_t j = 0; j < k; ++j)
            if (binops[j].f == binops[k].f)
                return false;
    }
    return true;
}
static_assert(binopsinorder(), "the binary opcodes must stand in the order of numrules::binopcode");

}  // namespace

int binopof(execfn f)
{
    for (const binopentry& b : binops)
        if (b.f == f)
            return b.op;
    return -1;
}

namespace {

using E = ExeScr;

// The kind of a right-operand push, or -1.
int rightkind(execfn f)
{
    if (f == &E::pushint_exec)
        return E::rightint;
    if (f == &E::pushnum_exec)
        return E::rightnum;
    if (f == &E::pushvar_exec)
        return E::rightvar;
    return -1;
}

// 0 a jump taken on false, 1 on true, -1 not a conditional jump.
int condjumpof(execfn f)
{
    if (f == &E::jumpiffalse_exec || f == &E::loopexit_exec)
        return 0;
    if (f == &E::jumpiftrue_exec)
        return 1;
    return -1;
}

struct pass {
    segview& v;

    // The parameters of a loop head at k (pushvar v; R; compare; conditional
    // jump) whose outcome that stays in the loop goes to `body`: false when
    // the cells there are not one. A head that goes on to other statements
    // first leaves the loop's rounds to the segments: run here, each round
    // would go through the code loop between the two.
    bool loophead(int64_t k, int32_t body, int& op, int& rk, int& jt) const
    {
        if (k < v.from || k >= v.end || v.opat(static_cast<int32_t>(k)) != &E::pushvar_exec)
            return false;
        const auto at = static_cast<int32_t>(k);
        rk = rightkind(v.opat(at + 2));
        op = rk < 0 ? -1 : binopof(v.opat(at + 4));
        jt = op < 0 ? -1 : condjumpof(v.opat(at + 5));
        if (jt < 0 || op < bopeq || op > bopge || !v.closed(at, 7))
            return false;
        return v.baseof(at + 5) + v.operand(at + 6) == body || at + 7 == body;
    }

    // The superinstruction for the sequence at k and its length in cells, or
    // nullptr.
    execfn match(int32_t k, int32_t& len) const
    {
        const execfn f = v.opat(k);
        // R; compound assignment; the step of a loop to its head.
        if (const int rk = rightkind(f); rk >= 0 && v.opat(k + 2) == &E::compoundassign_exec) {
            int op, crk, jt;
            if (v.opat(k + 4) == &E::incdec_exec && packed(v.operand(k + 5)).noresult &&
                v.opat(k + 6) == &E::jump_exec && loophead(v.baseof(k + 6) + v.operand(k + 7), k, op, crk, jt)) {
                len = 8;
                return E::segloopfn(rk, op, crk, jt == 1);
            }
        }
        return nullptr;
    }

};

}  // namespace

// Whether a jump among the cells from `from` to `end` goes back to one of
// them: the only way they run more than once. Jump operands count from
// their unit's first cell, which is `from` or after it: counted from `from`,
// a target can only come out lower, so no jump back is missed.
static bool jumpsback(const ExeScr& e, int32_t from, int32_t end)
{
    for (int32_t k = from; k + 1 < end; ++k) {
        if (static_cast<size_t>(k) >= e.opmarks.size() || e.opmarks[static_cast<size_t>(k)] != 1)
            continue;
        const execfn f = e.code[k].op;
        if (f == &ExeScr::switch_exec)
            continue;  // its cases lie after it
        if (segview::isjump(f) && from + e.code[k + 1].i <= k)
            return true;
    }
    return false;
}

void ExeScr::segpass(int32_t from, bool once)
{
    const int32_t end = codecount();
    dropsegments(from);
    if (!segon || from < 0 || from >= end || (once && !jumpsback(*this, from, end)))
        return;
    segview v(*this, from, end);
    v.marklandings();
    pass p{v};
    for (int32_t k = from; k < end;) {
        int32_t len = 0;
        const execfn s = v.isop(k) ? p.match(k, len) : nullptr;
        if (s && k + len <= end && v.closed(k, len)) {
            v.replace(k, s);
            v.take(k, len);
            k += len;
        } else {
            ++k;
        }
    }
    buildsegments(v);
}
