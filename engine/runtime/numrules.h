// The rules of numbers shared by the numeric opcodes and the fused cell
// sequences: tags, truth, the packed operand word, and the binary operators.
// Both evaluate through these, so a fused sequence computes exactly what its
// cells compute one by one.
#pragma once

#include <cstdint>

#include "runtime/exescr.h"

// The hot paths of the opcodes are small; they must not stay calls.
#if defined(_MSC_VER)
#define NUMRULES_INLINE __forceinline
#else
#define NUMRULES_INLINE inline __attribute__((always_inline))
#endif

namespace numrules {

enum arithop { opadd, opsub, opmul, opdiv, opmod };

// Operator token codes of the compound assignments.
enum : uint32_t {
    tokoreq = 265,
    tokandeq = 267,
    tokpluseq = 269,
    tokminuseq = 271,
    tokmuleq = 272,
    tokdiveq = 273,
    tokmodeq = 274,
    tokxoreq = 275,
    tokshleq = 301,
    tokshreq = 302,
};

// The binary operators, in the order of their opcodes' table in fused.cpp.
enum binopcode {
    bopadd,
    bopsub,
    bopmul,
    bopdiv,
    bopmod,
    bopeq,
    bopne,
    boplt,
    bopgt,
    bople,
    bopge,
    bopband,
    bopbor,
    bopbxor,
    bopshl,
    bopshr,
    bopcount
};

inline datdcell mkint(int64_t v)
{
    datdcell c;
    c.i = v;
    c.isint = 1;
    return c;
}

inline datdcell mkdbl(double v)
{
    datdcell c;
    c.d = v;
    c.isint = 0;
    return c;
}

inline double asdbl(const datdcell& c)
{
    return c.isint ? static_cast<double>(c.i) : c.d;
}

// The integer of a number: a double truncated toward zero (-2^63 when out of range).
inline int64_t intof(const datdcell& c)
{
    return c.isint ? c.i : ExeScr::dbl2i64(c.d);
}

// A double is truncated toward zero before its truth is tested: 0.5 is false.
inline bool truth(const datdcell& c)
{
    return c.isint ? c.i != 0 : !(c.d > -1.0 && c.d < 1.0);
}

// The packed operand word of assignments, increments and compound assignments.
struct packed {
    bool noresult;
    uint32_t sub;
    int32_t index;
    explicit packed(int64_t w)
        : noresult((w & 0xFFFF) != 0),
          sub(static_cast<uint32_t>((w >> 16) & 0xFFFF)),
          index(static_cast<int32_t>(w >> 32))
    {
    }
};

inline int64_t wrapadd(int64_t a, int64_t b)
{
    return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}

inline int64_t wrapsub(int64_t a, int64_t b)
{
    return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}

// Whether a + b, and a - b, fit in 64 bits; `s` is the wrapped result.
inline bool addfits(int64_t a, int64_t b, int64_t& s)
{
    s = wrapadd(a, b);
    return ((a ^ s) & (b ^ s)) >= 0;
}

inline bool subfits(int64_t a, int64_t b, int64_t& s)
{
    s = wrapsub(a, b);
    return ((a ^ b) & (a ^ s)) >= 0;
}

inline int64_t shiftright(int64_t v, int64_t count, uint32_t signmode)
{
    const int n = static_cast<int>(count & 63);
    return signmode != 0 ? v >> n : static_cast<int64_t>(static_cast<uint64_t>(v) >> n);
}

inline int64_t shiftleft(int64_t v, int64_t count)
{
    return static_cast<int64_t>(static_cast<uint64_t>(v) << (count & 63));
}

// Integer ordering follows the sign mode; mixed operands compare as doubles.
template <int OP>
NUMRULES_INLINE bool ordered(const ExeScr& e, const datdcell& l, const datdcell& r)
{
    if (l.isint && r.isint) {
        if (e.signmode != 0) {
            if constexpr (OP == boplt)
                return l.i < r.i;
            else if constexpr (OP == bopgt)
                return l.i > r.i;
            else if constexpr (OP == bople)
                return l.i <= r.i;
            else
                return l.i >= r.i;
        }
        const auto a = static_cast<uint64_t>(l.i), b = static_cast<uint64_t>(r.i);
        if constexpr (OP == boplt)
            return a < b;
        else if constexpr (OP == bopgt)
            return a > b;
        else if constexpr (OP == bople)
            return a <= b;
        else
            return a >= b;
    }
    const double x = asdbl(l), y = asdbl(r);
    if constexpr (OP == boplt)
        return x < y;
    else if constexpr (OP == bopgt)
        return x > y;
    else if constexpr (OP == bople)
        return x <= y;
    else
        return x >= y;
}

// l OP r by the rules of the binary opcodes. Division and remainder by an
// integer 0 end the script (through arith), as their opcodes do.
template <int OP>
NUMRULES_INLINE datdcell binval(ExeScr& e, const datdcell& l, const datdcell& r)
{
    if constexpr (OP == bopadd) {
        int64_t s;
        if (l.isint && r.isint && addfits(l.i, r.i, s))
            return mkint(s);
        return e.arith(opadd, l, r);
    } else if constexpr (OP == bopsub) {
        int64_t s;
        if (l.isint && r.isint && subfits(l.i, r.i, s))
            return mkint(s);
        return e.arith(opsub, l, r);
    } else if constexpr (OP == bopmul) {
        return e.arith(opmul, l, r);
    } else if constexpr (OP == bopdiv) {
        return e.arith(opdiv, l, r);
    } else if constexpr (OP == bopmod) {
        return e.arith(opmod, l, r);
    } else if constexpr (OP == bopeq) {
        return mkint((l.isint && r.isint) ? l.i == r.i : asdbl(l) == asdbl(r));
    } else if constexpr (OP == bopne) {
        return mkint((l.isint && r.isint) ? l.i != r.i : asdbl(l) != asdbl(r));
    } else if constexpr (OP == boplt || OP == bopgt || OP == bople || OP == bopge) {
        return mkint(ordered<OP>(e, l, r));
    } else if constexpr (OP == bopband) {
        return mkint(intof(l) & intof(r));
    } else if constexpr (OP == bopbor) {
        return mkint(intof(l) | intof(r));
    } else if constexpr (OP == bopbxor) {
        return mkint(intof(l) ^ intof(r));
    } else if constexpr (OP == bopshl) {
        return mkint(shiftleft(intof(l), intof(r)));
    } else {
        return mkint(shiftright(intof(l), intof(r), e.signmode));
    }
}

// Whether l OP r would end the script: an integer division or remainder by 0.
template <int OP>
inline bool binfails(const datdcell& l, const datdcell& r)
{
    return (OP == bopdiv || OP == bopmod) && l.isint && r.isint && r.i == 0;
}

}  // namespace numrules
