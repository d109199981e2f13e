// The pass after compilation: it places the superinstructions of fused.cpp
// (a loop whose body is one compound assignment, an append of a literal in
// place), then the fused segments of everything else that computes numbers
// (segpass.cpp), and notes the functions a call can answer without running
// them. Nothing moves: code positions, jump operands and the line table stay
// valid. A sequence is taken only where every cell the pattern reads as an
// operation was emitted as one, and no jump, case, label or unit start lands
// inside it.
#include "compiler/fuseview.h"
#include "runtime/numrules.h"

using namespace numrules;

void buildsegments(fuseview& v);

namespace {

using E = ExeScr;

// The opcode of each binary operator, by numrules::binopcode.
const execfn binops[bopcount] = {
    &E::add_exec, &E::subtract_exec, &E::mul_exec, &E::div_exec, &E::mod_exec, &E::eq_exec,
    &E::ne_exec,  &E::lt_exec,       &E::gt_exec,  &E::le_exec,  &E::ge_exec,  &E::band_exec,
    &E::bor_exec, &E::bxor_exec,     &E::shl_exec, &E::shr_exec,
};

int binopof(execfn f)
{
    for (int k = 0; k < bopcount; ++k)
        if (binops[k] == f)
            return k;
    return -1;
}

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
        // var2str v; a literal; strconcat; strassign v, no result.
        if (f == &E::var2str && v.opat(k + 2) == &E::pushstrlit_exec && v.opat(k + 4) == &E::strconcat &&
            v.opat(k + 5) == &E::strassign_exec && k + 6 < v.end) {
            const packed w(v.operand(k + 6));
            if (w.noresult && w.index == static_cast<int32_t>(v.operand(k + 1))) {
                len = 7;
                return &E::fappend_exec;
            }
        }
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

    // The form of function f's first cells that calls may answer without
    // running it: for numeric parameters and no other locals, file pointers
    // or handles, and no jump landing inside the cells read.
    E::calleeform calleeof(const funcrec& f) const
    {
        E::calleeform c;
        const int32_t cs = f.codestart;
        const int32_t n = f.localnames.count();
        if (f.functstr || n != static_cast<int32_t>(f.paramcount) || f.fpnames.base || f.dirnames.base)
            return c;
        for (int32_t k = 0; k < n; ++k)
            if (f.localnames.base[k].kind != 1)
                return c;
        if (v.opat(cs) != &E::pushvar_exec)
            return c;
        const int rk = rightof(v.opat(cs + 2));
        const int op = rk < 0 ? -1 : binopof(v.opat(cs + 4));
        if (op < 0 || op == bopdiv || op == bopmod)
            return c;  // these can end the script: the function's cells report it
        c.p = v.operand(cs + 1);
        c.rk = static_cast<uint8_t>(rk);
        c.op = static_cast<uint8_t>(op);
        c.right = v.e.code[cs + 3];
        c.params = n;
        // "return(p op R)": the value, then the end cell.
        if (v.isop(cs + 5) && !v.opat(cs + 5) && v.closed(cs, 6)) {
            c.kind = E::calleebin;
            return c;
        }
        // "if (p cmp R) return(w)": the test, then w and the end cell.
        const int jt = condjumpof(v.opat(cs + 5));
        if (jt >= 0 && op >= bopeq && op <= bopge && v.opat(cs + 7) == &E::pushvar_exec && v.isop(cs + 9) &&
            !v.opat(cs + 9) && v.closed(cs, 10)) {
            c.kind = E::calleeguard;
            c.jt = static_cast<uint8_t>(jt);
            c.w = v.operand(cs + 8);
            c.past = v.operand(cs + 6);
        }
        return c;
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
    calleeforms.resize(functable.size());
    for (size_t f = 0; f < functable.size(); ++f)
        if (functable[f].codestart >= from && functable[f].codestart < end)
            calleeforms[f] = p.calleeof(functable[f]);
}
