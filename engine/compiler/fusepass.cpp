// The pass after compilation: it places the superinstruction of fused.cpp
// (a loop whose body is one compound assignment), then the fused segments of
// everything else that computes numbers or joins texts (segpass.cpp).
// Nothing moves: code positions, jump operands and the line table stay
// valid. A sequence is taken only where every cell the pattern reads as an
// operation was emitted as one, and no jump, case, label or unit start lands
// inside it.
#include "compiler/fuseview.h"
#include "runtime/numrules.h"

using namespace numrules;

void buildsegments(fuseview& v);

int binopof(execfn f)
{
    // The opcode of each binary operator, by numrules::binopcode.
    static const execfn binops[bopcount] = {
        &ExeScr::add_exec, &ExeScr::subtract_exec, &ExeScr::mul_exec, &ExeScr::div_exec,
        &ExeScr::mod_exec, &ExeScr::eq_exec,       &ExeScr::ne_exec,  &ExeScr::lt_exec,
        &ExeScr::gt_exec,  &ExeScr::le_exec,       &ExeScr::ge_exec,  &ExeScr::band_exec,
        &ExeScr::bor_exec, &ExeScr::bxor_exec,     &ExeScr::shl_exec, &ExeScr::shr_exec,
    };
    for (int k = 0; k < bopcount; ++k)
        if (binops[k] == f)
            return k;
    return -1;
}

namespace {

using E = ExeScr;

// The kind of a right-operand push, or -1.
int rightof(execfn f)
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
    fuseview& v;

    // The parameters of a loop head at k (pushvar v; R; compare; conditional
    // jump): false when the cells there are not one.
    bool loophead(int64_t k, int& op, int& rk, int& jt) const
    {
        if (k < v.from || k >= v.end || v.opat(static_cast<int32_t>(k)) != &E::pushvar_exec)
            return false;
        const auto at = static_cast<int32_t>(k);
        rk = rightof(v.opat(at + 2));
        op = rk < 0 ? -1 : binopof(v.opat(at + 4));
        jt = op < 0 ? -1 : condjumpof(v.opat(at + 5));
        return jt >= 0 && op >= bopeq && op <= bopge && v.closed(at, 7);
    }

    // The superinstruction for the sequence at k and its length in cells, or
    // nullptr.
    execfn match(int32_t k, int32_t& len) const
    {
        const execfn f = v.opat(k);
        // R; compound assignment; the step of a loop to its head.
        if (const int rk = rightof(f); rk >= 0 && v.opat(k + 2) == &E::compoundassign_exec) {
            int op, crk, jt;
            if (v.opat(k + 4) == &E::incdec_exec && packed(v.operand(k + 5)).noresult &&
                v.opat(k + 6) == &E::jump_exec && loophead(v.baseof(k + 6) + v.operand(k + 7), op, crk, jt)) {
                len = 8;
                return E::fusedcompoundstep(rk, op, crk, jt == 1);
            }
        }
        return nullptr;
    }

};

}  // namespace

void ExeScr::fusecode(int32_t from)
{
    const int32_t end = codecount();
    dropsegments(from);
    if (!fuseon || from < 0 || from >= end)
        return;
    fuseview v(*this, from, end);
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
