// Opcodes that compute with numbers, move them between datd and variables, and
// steer the instruction pointer. Integers stay integers while exact; an overflow
// or an inexact quotient gives a double instead.
#include <cmath>

#include "runtime/exescr.h"
#include "runtime/int128.h"
#include "runtime/numrules.h"
#include "runtime/quorvelcore.h"

using namespace numrules;

datdcell ExeScr::arith(int op, datdcell l, datdcell r)
{
    if (l.isint && r.isint) {
        const int64_t a = l.i, b = r.i;
        switch (op) {
        case opadd: {
            int64_t s;
            if (!addfits(a, b, s))
                break;  // overflow: computed as doubles below
            return mkint(s);
        }
        case opsub: {
            int64_t s;
            if (!subfits(a, b, s))
                break;
            return mkint(s);
        }
        case opmul: {
            int64_t hi;
            const uint64_t lo = muls128(a, b, &hi);
            if (hi != (static_cast<int64_t>(lo) >> 63))
                break;
            return mkint(static_cast<int64_t>(lo));
        }
        case opdiv:
            if (b == 0)
                myerrexit(L"division by zero");
            if (a == INT64_MIN && b == -1)
                return mkdbl(9223372036854775808.0);
            if (a % b != 0)
                return mkdbl(static_cast<double>(a) / static_cast<double>(b));
            return mkint(a / b);
        default:  // opmod
            if (b == 0)
                myerrexit(L"division by zero");
            if (b == -1)
                return mkint(0);
            return mkint(a % b);
        }
    }
    const double x = asdbl(l), y = asdbl(r);
    switch (op) {
    case opadd:
        return mkdbl(x + y);
    case opsub:
        return mkdbl(x - y);
    case opmul:
        return mkdbl(x * y);
    case opdiv:
        return mkdbl(x / y);
    default:
        return mkdbl(std::fmod(x, y));
    }
}

void ExeScr::undefvar(int32_t index)
{
    if (index < 0)
        myerrexit(L"%s", L"undefined local variable.");
    myerrexit(L"%s:%s", L"undefined variable.", varname(varat(index)));
}

datdcell ExeScr::varnumber(int32_t index)
{
    const varrec* v = varat(index);
    if (v->state == varundef)
        undefvar(index);
    if (v->state == varstr) {
        datdcell c;
        c.isint = str2num(vartext(v), &c.d, &c.i) == 0;
        return c;
    }
    return v->isint ? mkint(v->i) : mkdbl(v->d);
}


// ---- jumps: targets are relative to the unit's first cell

void ExeScr::noop_exec() {}

void ExeScr::noop2_exec() {}

void ExeScr::jump_exec()
{
    ip = code + unitbase + ip->i;
}

void ExeScr::jumpiftrue_exec()
{
    if (truth(popd()))
        ip = code + unitbase + ip->i;
    else
        ++ip;
}

void ExeScr::jumpiffalse_exec()
{
    if (!truth(popd()))
        ip = code + unitbase + ip->i;
    else
        ++ip;
}

void ExeScr::loopexit_exec()
{
    jumpiffalse_exec();
}

// After the left operand of "&&": a false one stays as the expression's value.
void ExeScr::andjump_exec()
{
    if (datd.empty())
        datdunderflow();
    if (!truth(datd.top[-1])) {
        ip = code + unitbase + ip->i;
    } else {
        --datd.top;
        ++ip;
    }
}

// After the left operand of "||": a true one makes the expression 1.
void ExeScr::orjump_exec()
{
    if (datd.empty())
        datdunderflow();
    if (truth(datd.top[-1])) {
        datd.top[-1] = mkint(1);
        ip = code + unitbase + ip->i;
    } else {
        --datd.top;
        ++ip;
    }
}

int32_t ExeScr::casetarget(int64_t t, int64_t value) const
{
    const looprec& table = casetables.base[t];
    for (const caseentry* e = table.cases; e < table.cursor; ++e)
        if (e->value == value)
            return e->target;
    return table.defaulttarget ? table.defaulttarget : table.endtarget;
}

void ExeScr::switch_exec()
{
    const datdcell c = popd();
    // The whole value is compared: 2^32 + 1 is not case 1.
    ip = code + unitbase + casetarget(ip->i, intof(c));
}

// ---- pushes

void ExeScr::pushnum_exec()
{
    pushdbl(ip->d);
    ++ip;
}

void ExeScr::pushint_exec()
{
    pushint(ip->i);
    ++ip;
}

void ExeScr::pushvaridx_exec()
{
    pushint(ip->i);
    ++ip;
}

void ExeScr::pushvar_exec()
{
    const varrec* v = varat(static_cast<int32_t>(ip->i));
    if (v->state == varnum && datd.count() < datd.cap) {
        // The common case, without the conversions of varnumber.
        datdcell* top = datd.top++;
        if (v->isint) {
            top->i = v->i;
            top->isint = 1;
        } else {
            top->d = v->d;
            top->isint = 0;
        }
        ++ip;
        return;
    }
    const datdcell c = varnumber(static_cast<int32_t>(ip->i));
    ++ip;
    if (datd.full())
        datdbuff();
    *datd.top++ = c;
}

void ExeScr::pushvarx_exec()
{
    const datdcell c = varnumber(static_cast<int32_t>(popd().i));
    *datd.top++ = c;  // the popped slot is reused
}

void ExeScr::pushneg_exec()
{
    const datdcell c = negate(varnumber(static_cast<int32_t>(ip->i)));
    ++ip;
    if (datd.full())
        datdbuff();
    *datd.top++ = c;
}

void ExeScr::pushnegx_exec()
{
    const datdcell c = negate(varnumber(static_cast<int32_t>(popd().i)));
    *datd.top++ = c;
}

void ExeScr::pushnot_exec()
{
    const datdcell c = invert(varnumber(static_cast<int32_t>(ip->i)));
    ++ip;
    if (datd.full())
        datdbuff();
    *datd.top++ = c;
}

void ExeScr::pushnotx_exec()
{
    const datdcell c = invert(varnumber(static_cast<int32_t>(popd().i)));
    *datd.top++ = c;
}

// ---- binary operators: r is on top; the result takes l's slot

#define BINARY_OP(name, expr)                          \
    void ExeScr::name()                                \
    {                                                  \
        if (datd.count() < 2)                          \
            datdunderflow();                           \
        datdcell* r = datd.top - 1;                    \
        datdcell* l = r - 1;                           \
        *l = (expr);                                   \
        datd.top = r;                                  \
    }

BINARY_OP(add_exec, binval<bopadd>(*this, *l, *r))
BINARY_OP(subtract_exec, binval<bopsub>(*this, *l, *r))
BINARY_OP(mul_exec, binval<bopmul>(*this, *l, *r))
BINARY_OP(div_exec, binval<bopdiv>(*this, *l, *r))
BINARY_OP(mod_exec, binval<bopmod>(*this, *l, *r))
BINARY_OP(lt_exec, binval<boplt>(*this, *l, *r))
BINARY_OP(gt_exec, binval<bopgt>(*this, *l, *r))
BINARY_OP(le_exec, binval<bople>(*this, *l, *r))
BINARY_OP(ge_exec, binval<bopge>(*this, *l, *r))
BINARY_OP(eq_exec, binval<bopeq>(*this, *l, *r))
BINARY_OP(ne_exec, binval<bopne>(*this, *l, *r))
BINARY_OP(band_exec, binval<bopband>(*this, *l, *r))
BINARY_OP(bor_exec, binval<bopbor>(*this, *l, *r))
BINARY_OP(bxor_exec, binval<bopbxor>(*this, *l, *r))
BINARY_OP(shl_exec, binval<bopshl>(*this, *l, *r))
BINARY_OP(shr_exec, binval<bopshr>(*this, *l, *r))

#undef BINARY_OP

void ExeScr::bnot_exec()
{
    if (datd.empty())
        datdunderflow();
    datd.top[-1] = mkint(~intof(datd.top[-1]));
}

void ExeScr::lnot_exec()
{
    if (datd.empty())
        datdunderflow();
    datd.top[-1] = lognot(datd.top[-1]);
}

// ---- assignments

void ExeScr::storenum_exec()
{
    if (datd.count() < 2)
        datdunderflow();
    setvarnum(static_cast<int32_t>(datd.top[-1].i), datd.top[-2]);
    datd.top -= 2;
}

void ExeScr::assignnumx_exec()
{
    if (datd.count() < 2)
        datdunderflow();
    setvarnum(static_cast<int32_t>(datd.top[-1].i), datd.top[-2]);
    datd.top -= 1;  // the number stays as the result
}

void ExeScr::assignnum_exec()
{
    const packed w(ip->i);
    ++ip;
    if (datd.empty())
        datdunderflow();
    setvarnum(w.index, datd.top[-1]);
    if (w.noresult)
        --datd.top;
}

void ExeScr::setnumconst_exec()
{
    const datdcell value = mkdbl(ip[0].d);
    const packed w(ip[1].i);
    ip += 2;
    setvarnum(w.index, value);
    if (!w.noresult)
        pushdbl(value.d);
}

void ExeScr::setintconst_exec()
{
    const datdcell value = mkint(ip[0].i);
    const packed w(ip[1].i);
    ip += 2;
    setvarnum(w.index, value);
    if (!w.noresult)
        pushint(value.i);
}

// Modes: 0 pre-increment, 1 post-increment, 2 pre-decrement, 3 post-decrement.
void ExeScr::incdecvar(uint32_t mode, int32_t index, bool noresult)
{
    varrec* v = varat(index);
    if (v->state != varnum)
        undefvar(index);
    const bool up = mode < 2;
    const bool post = mode == 1 || mode == 3;
    datdcell before, after;
    if (v->isint) {
        before = mkint(v->i);
        v->i = up ? wrapadd(v->i, 1) : wrapsub(v->i, 1);
        after = mkint(v->i);
    } else {
        before = mkdbl(v->d);
        v->d += up ? 1.0 : -1.0;
        after = mkdbl(v->d);
    }
    if (!noresult) {
        const datdcell& r = post ? before : after;
        if (datd.full())
            datdbuff();
        *datd.top++ = r;
    }
}

void ExeScr::incdec_exec()
{
    const packed w(ip->i);
    ++ip;
    incdecvar(w.sub, w.index, w.noresult);
}

void ExeScr::incdecx_exec()
{
    const packed w(ip->i);
    ++ip;
    const int32_t index = static_cast<int32_t>(popd().i);
    incdecvar(w.sub, index, w.noresult);
}

void ExeScr::compoundvar(uint32_t op, int32_t index, bool noresult, const datdcell& v)
{
    varrec* var = varat(index);
    if (var->state != varnum)
        undefvar(index);
    const datdcell x = var->isint ? mkint(var->i) : mkdbl(var->d);
    const datdcell result = compound(*this, x, v, op);
    setvarnum(index, result);
    if (!noresult) {
        if (datd.full())
            datdbuff();
        *datd.top++ = result;
    }
}

void ExeScr::compoundassign_exec()
{
    const packed w(ip->i);
    ++ip;
    const datdcell v = popd();
    compoundvar(w.sub, w.index, w.noresult, v);
}

void ExeScr::compoundassignx_exec()
{
    const packed w(ip->i);
    ++ip;
    const int32_t index = static_cast<int32_t>(popd().i);
    const datdcell v = popd();
    compoundvar(w.sub, index, w.noresult, v);
}

// ---- printing and exit

void ExeScr::printnum_exec()
{
    const datdcell c = popd();
    if (logon != 1)
        return;
    if (c.isint)
        mylogmsg(L"\t%lld\n", static_cast<long long>(c.i));
    else
        mylogmsg(L"\t%.8g\n", c.d);
}

void ExeScr::exit_exec()
{
    if (threadmode)
        myerrexit(L"exit in thread.");
    stopflag = 1;
    exitflag = 1;
    pushint(0);
}
