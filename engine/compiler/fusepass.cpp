// The pass after compilation that places superinstructions (fused.cpp): it
// finds the cell sequences they stand for and replaces the operation of each
// sequence's first cell. Nothing moves: code positions, jump operands and the
// line table stay valid. A sequence is taken only where every cell the pattern
// reads as an operation was emitted as one, and no jump, case, label or unit
// start lands inside it.
#include <algorithm>
#include <vector>

#include "runtime/exescr.h"
#include "runtime/numrules.h"

using namespace numrules;

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

bool isjump(execfn f)
{
    return f == &E::jump_exec || f == &E::jumpiftrue_exec || f == &E::jumpiffalse_exec || f == &E::loopexit_exec ||
           f == &E::andjump_exec || f == &E::orjump_exec;
}

struct pass {
    ExeScr& e;
    int32_t from, end;
    std::vector<uint8_t> landing;  // by index - from
    std::vector<execfn> replaced;  // the operation a superinstruction took the place of
    std::vector<int32_t> units;    // first cells of the units, ascending

    pass(ExeScr& engine, int32_t first, int32_t last)
        : e(engine), from(first), end(last), landing(static_cast<size_t>(last - first)),
          replaced(static_cast<size_t>(last - first))
    {
    }

    bool isop(int32_t k) const
    {
        return k >= from && k < end && static_cast<size_t>(k) < e.opmarks.size() &&
               e.opmarks[static_cast<size_t>(k)] == 1;
    }
    // The operation the compiler placed at k.
    execfn opat(int32_t k) const
    {
        if (!isop(k))
            return nullptr;
        const execfn r = replaced[static_cast<size_t>(k - from)];
        return r ? r : e.code[k].op;
    }
    void replace(int32_t k, execfn s)
    {
        replaced[static_cast<size_t>(k - from)] = e.code[k].op;
        e.code[k].op = s;
    }
    int64_t baseof(int32_t k) const
    {
        const auto it = std::upper_bound(units.begin(), units.end(), k);
        return it == units.begin() ? from : *(it - 1);
    }
    int64_t operand(int32_t k) const { return k < end ? e.code[k].i : 0; }
    void land(int64_t k)
    {
        if (k >= from && k < end)
            landing[static_cast<size_t>(k - from)] = 1;
    }
    // No cell strictly after `k` and before `k + len` is entered from elsewhere.
    bool closed(int32_t k, int32_t len) const
    {
        for (int32_t j = k + 1; j < k + len; ++j)
            if (landing[static_cast<size_t>(j - from)])
                return false;
        return true;
    }

    // Where control can arrive other than from the cell before.
    void marklandings()
    {
        units.push_back(from);
        for (const funcrec& f : e.functable)
            if (f.codestart >= from && f.codestart < end)
                units.push_back(f.codestart);
        std::sort(units.begin(), units.end());
        for (int32_t u : units)
            land(u);
        size_t unit = 0;
        for (int32_t k = from; k < end; ++k) {
            while (unit + 1 < units.size() && units[unit + 1] <= k)
                ++unit;
            const execfn f = opat(k);
            if (!f || k + 1 >= end)
                continue;
            const int64_t base = units[unit];
            if (isjump(f)) {
                land(base + e.code[k + 1].i);
            } else if (f == &E::switch_exec) {
                const int64_t t = e.code[k + 1].i;
                if (t < 0 || t >= e.casetables.count())
                    continue;
                const looprec& table = e.casetables.base[t];
                for (const caseentry* c = table.cases; c && c < table.cursor; ++c)
                    land(base + c->target);
                land(base + table.defaulttarget);
                land(base + table.endtarget);
            }
        }
        for (const labelrec* l = e.labels.base; l && l < e.labels.top; ++l)
            land(static_cast<int64_t>(l->unit) + l->codeidx);
    }

    // The parameters of a loop head at k (pushvar v; R; compare; conditional
    // jump): false when the cells there are not one.
    bool loophead(int64_t k, int& op, int& rk, int& jt) const
    {
        if (k < from || k >= end || opat(static_cast<int32_t>(k)) != &E::pushvar_exec)
            return false;
        const auto at = static_cast<int32_t>(k);
        rk = rightof(opat(at + 2));
        op = rk < 0 ? -1 : binopof(opat(at + 4));
        jt = op < 0 ? -1 : condjumpof(opat(at + 5));
        return jt >= 0 && E::fusedcmpjump(op, rk, jt == 1) && closed(at, 7);
    }

    // The call forms end at the usercall_exec cell at k; an assignnum_exec or
    // add_exec right after its operand the form takes too, its cells added
    // to `len`.
    int afterof(int32_t k, int32_t& len) const
    {
        if (opat(k + 2) == &E::assignnum_exec && k + 3 < end) {
            len += 2;
            return E::aftercallassign;
        }
        if (opat(k + 2) == &E::add_exec) {
            len += 1;
            return E::aftercalladd;
        }
        return E::aftercallnone;
    }

    // The superinstruction for the sequence at k and its length in cells, or
    // nullptr.
    execfn match(int32_t k, int32_t& len) const
    {
        const execfn f = opat(k);
        if (f == &E::pushvar_exec && opat(k + 2) == &E::arrayindex_run && k + 3 < end) {
            // An element of an array of one index, and what is done with it.
            const auto n = static_cast<int16_t>((operand(k + 3) >> 16) & 0xFFFF);
            if (n != 2 && n != 3) {
                if (opat(k + 4) == &E::storenum_exec) {
                    len = 5;
                    return &E::felemstore_exec;
                }
                if (opat(k + 4) == &E::pushvarx_exec) {
                    if (opat(k + 5) == &E::compoundassign_exec && k + 6 < end) {
                        len = 7;
                        return &E::felemcompound_exec;
                    }
                    len = 5;
                    return &E::felemread_exec;
                }
                len = 4;
                return &E::felemindex_exec;
            }
        }
        if (f == &E::pushvar_exec) {
            // N x pushvar; N x callargnum; usercall.
            int32_t n = 0;
            while (n < E::fusedcallmax && opat(k + 2 * n) == &E::pushvar_exec)
                ++n;
            for (; n > 0; --n) {
                const int32_t at = k + 2 * n;
                int32_t m = 0;
                while (m < n && opat(at + m) == &E::callargnum_exec)
                    ++m;
                if (m == n && opat(at + n) == &E::usercall_exec) {
                    len = 3 * n + 2;
                    return E::fusedvarcall(n, afterof(at + n, len));
                }
            }
            const int rk = rightof(opat(k + 2));
            const int op = rk < 0 ? -1 : binopof(opat(k + 4));
            if (op >= 0) {
                // pushvar v; R; compare; conditional jump.
                const int jt = condjumpof(opat(k + 5));
                if (jt >= 0) {
                    // ...and "pushvar w; end" after it, where the end is a
                    // null operation cell.
                    if (opat(k + 7) == &E::pushvar_exec && isop(k + 9) && !e.code[k + 9].op) {
                        if (execfn s = E::fusedcmpjumpret(op, rk, jt == 1)) {
                            len = 10;
                            return s;
                        }
                    }
                    if (execfn s = E::fusedcmpjump(op, rk, jt == 1)) {
                        len = 7;
                        return s;
                    }
                }
                // pushvar v; pushint; operator; pushint; compare; conditional jump.
                if (rk == E::rightint && opat(k + 5) == &E::pushint_exec) {
                    const int op2 = binopof(opat(k + 7));
                    const int jt2 = op2 < 0 ? -1 : condjumpof(opat(k + 8));
                    if (jt2 >= 0) {
                        if (execfn s = E::fusedvarcmpjump(op, op2, jt2 == 1)) {
                            len = 10;
                            return s;
                        }
                    }
                }
                // pushvar v; R; operator; callargnum; usercall.
                if (opat(k + 5) == &E::callargnum_exec && opat(k + 6) == &E::usercall_exec) {
                    int32_t calllen = 8;
                    if (execfn s = E::fusedvarbincall(op, rk, afterof(k + 6, calllen))) {
                        len = calllen;
                        return s;
                    }
                }
                // pushvar v; R; operator.
                len = 5;
                return E::fusedvarbin(op, rk);
            }
        }
        // var2str v; a literal; strconcat; strassign v, no result.
        if (f == &E::var2str && opat(k + 2) == &E::pushstrlit_exec && opat(k + 4) == &E::strconcat &&
            opat(k + 5) == &E::strassign_exec && k + 6 < end) {
            const packed w(operand(k + 6));
            if (w.noresult && w.index == static_cast<int32_t>(operand(k + 1))) {
                len = 7;
                return &E::fappend_exec;
            }
        }
        if (const int rk = rightof(f); rk >= 0) {
            // R; compare with the top; conditional jump.
            const int op = binopof(opat(k + 2));
            const int jt = op < 0 ? -1 : condjumpof(opat(k + 3));
            if (jt >= 0) {
                if (execfn s = E::fusedtopcmpjump(op, rk, jt == 1)) {
                    len = 5;
                    return s;
                }
            }
            // R; compound assignment; and the step of a loop to its head.
            if (opat(k + 2) == &E::compoundassign_exec) {
                int op, crk, jt;
                if (opat(k + 4) == &E::incdec_exec && packed(operand(k + 5)).noresult &&
                    opat(k + 6) == &E::jump_exec && loophead(baseof(k + 6) + operand(k + 7), op, crk, jt)) {
                    len = 8;
                    return E::fusedcompoundstep(rk, op, crk, jt == 1);
                }
                len = 4;
                return E::fusedcompound(rk);
            }
        }
        // N x callargnum; usercall.
        if (f == &E::callargnum_exec) {
            int32_t n = 1;
            while (n < E::fusedcallmax && opat(k + n) == &E::callargnum_exec)
                ++n;
            if (opat(k + n) == &E::usercall_exec) {
                len = n + 2;
                return E::fusedargcall(n, afterof(k + n, len));
            }
        }
        // An increment without a result; jump (to a loop head, whose test it makes).
        int op, rk, jt;
        if (f == &E::incdec_exec && packed(operand(k + 1)).noresult && opat(k + 2) == &E::jump_exec) {
            len = 4;
            if (loophead(baseof(k + 2) + operand(k + 3), op, rk, jt))
                return E::fusedincjumpcond(op, rk, jt == 1);
            return &E::fincjump_exec;
        }
        if (f == &E::jump_exec && loophead(baseof(k) + operand(k + 1), op, rk, jt)) {
            len = 2;
            return E::fusedjumpcond(op, rk, jt == 1);
        }
        return nullptr;
    }

    // The form of function f's first cells that calls may answer without
    // running it: only where the pass fused them (no jump lands inside), and
    // for numeric parameters and no other locals, file pointers or handles.
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
        int32_t len = 0;
        const execfn s = isop(cs) ? match(cs, len) : nullptr;
        if (!s || e.code[cs].op != s || opat(cs) != &E::pushvar_exec)
            return c;
        const int rk = rightof(opat(cs + 2));
        const int op = rk < 0 ? -1 : binopof(opat(cs + 4));
        if (op < 0 || op == bopdiv || op == bopmod)
            return c;  // these can end the script: the function's cells report it
        c.p = operand(cs + 1);
        c.rk = static_cast<uint8_t>(rk);
        c.op = static_cast<uint8_t>(op);
        c.right = e.code[cs + 3];
        c.params = n;
        if (len == 5 && isop(cs + 5) && !e.code[cs + 5].op) {
            c.kind = E::calleebin;
            return c;
        }
        const int jt = condjumpof(opat(cs + 5));
        if (len == 10 && jt >= 0 && opat(cs + 7) == &E::pushvar_exec && isop(cs + 9) && !e.code[cs + 9].op) {
            c.kind = E::calleeguard;
            c.jt = static_cast<uint8_t>(jt);
            c.w = operand(cs + 8);
            c.past = operand(cs + 6);
        }
        return c;
    }
};

}  // namespace

void ExeScr::fusecode(int32_t from)
{
    const int32_t end = codecount();
    if (!fuseon || from < 0 || from >= end)
        return;
    pass p(*this, from, end);
    p.marklandings();
    for (int32_t k = from; k < end;) {
        int32_t len = 0;
        const execfn s = p.isop(k) ? p.match(k, len) : nullptr;
        if (s && k + len <= end && p.closed(k, len)) {
            p.replace(k, s);
            k += len;
        } else {
            ++k;
        }
    }
    calleeforms.resize(functable.size());
    for (size_t f = 0; f < functable.size(); ++f)
        if (functable[f].codestart >= from && functable[f].codestart < end)
            calleeforms[f] = p.calleeof(functable[f]);
}
