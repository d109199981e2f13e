// The rules of numbers: tags, truth, the packed operand word and the binary
// operators. The numeric opcodes compute through binval and compound (with
// ExeScr::arith behind them); the segments' nodes and runs through fastbin,
// which gives the same results inline and answers false where an opcode
// would end the script; the loop superinstruction (segloop.cpp) through
// binval, for the sums and comparisons that cannot end it. The tests keep
// them equal by running every script with the segment pass and without it.
#pragma once

#include <cmath>
#include <cstdint>

#include "runtime/exescr.h"
#include "runtime/int128.h"

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

// The binary operators. seg::binopof (segops.h) gives the code of each opcode;
// its table is checked against this order when it is compiled.
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

// A datum copied by its fields, as they were written: a whole copy also
// moves the padding, and a load wider than the stores that wrote a cell
// stalls.
NUMRULES_INLINE void putcell(datdcell& to, const datdcell& from)
{
    to.i = from.i;
    to.isint = from.isint;
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

// Whether a + b, and a - b, fit in 64 bits; `s` is the wrapped result. (The
// compilers that have it test the processor's overflow flag: one
// instruction where the sign arithmetic takes four and three registers.)
inline bool addfits(int64_t a, int64_t b, int64_t& s)
{
#if defined(__GNUC__)
    return !__builtin_add_overflow(a, b, &s);
#else
    s = wrapadd(a, b);
    return ((a ^ s) & (b ^ s)) >= 0;
#endif
}

inline bool subfits(int64_t a, int64_t b, int64_t& s)
{
#if defined(__GNUC__)
    return !__builtin_sub_overflow(a, b, &s);
#else
    s = wrapsub(a, b);
    return ((a ^ b) & (a ^ s)) >= 0;
#endif
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

// Whether a * b fits in 64 bits; `p` is the product when it does.
inline bool mulfits(int64_t a, int64_t b, int64_t& p)
{
#if defined(__GNUC__)
    return !__builtin_mul_overflow(a, b, &p);
#else
    // Two factors of 32 bits (the common case) cannot overflow.
    if (((static_cast<uint64_t>(a) + 0x80000000u) | (static_cast<uint64_t>(b) + 0x80000000u)) >> 32 == 0) {
        p = a * b;
        return true;
    }
    int64_t hi;
    const uint64_t lo = muls128(a, b, &hi);
    p = static_cast<int64_t>(lo);
    return hi == (static_cast<int64_t>(lo) >> 63);
#endif
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

constexpr bool iscompare(int op)
{
    return op == bopeq || op == bopne || op == boplt || op == bopgt || op == bople || op == bopge;
}

// The outcome of comparison OP.
template <int OP>
NUMRULES_INLINE bool compare(const ExeScr& e, const datdcell& l, const datdcell& r)
{
    if constexpr (OP == bopeq)
        return (l.isint & r.isint) ? l.i == r.i : asdbl(l) == asdbl(r);
    else if constexpr (OP == bopne)
        return (l.isint & r.isint) ? l.i != r.i : asdbl(l) != asdbl(r);
    else
        return ordered<OP>(e, l, r);
}

// l OP r as binval gives it, every path inline (the doubles too), or false
// where the opcode would end the script: an integer division or remainder
// by 0, which the cells must report.
template <int OP>
NUMRULES_INLINE bool fastbin(const ExeScr& e, const datdcell& l, const datdcell& r, datdcell& out)
{
    if constexpr (OP == bopadd || OP == bopsub || OP == bopmul) {
        if (l.isint & r.isint) {
            int64_t s;
            const bool fits = OP == bopadd   ? addfits(l.i, r.i, s)
                              : OP == bopsub ? subfits(l.i, r.i, s)
                                             : mulfits(l.i, r.i, s);
            if (fits) {
                out.i = s;
                out.isint = 1;
                return true;
            }
        }
        // Mixed, doubles, or an overflow: computed from the operands as doubles.
        const double x = asdbl(l), y = asdbl(r);
        out.d = OP == bopadd ? x + y : OP == bopsub ? x - y : x * y;
        out.isint = 0;
        return true;
    } else if constexpr (OP == bopdiv) {
        if (l.isint & r.isint) {
            const int64_t a = l.i, b = r.i;
            if (b == 0)
                return false;
            if (a == INT64_MIN && b == -1) {
                out = mkdbl(9223372036854775808.0);
                return true;
            }
            const int64_t q = a / b;
            if (q * b != a)
                out = mkdbl(static_cast<double>(a) / static_cast<double>(b));
            else
                out = mkint(q);
            return true;
        }
        out = mkdbl(asdbl(l) / asdbl(r));
        return true;
    } else if constexpr (OP == bopmod) {
        if (l.isint & r.isint) {
            if (r.i == 0)
                return false;
            out = mkint(r.i == -1 ? 0 : l.i % r.i);
            return true;
        }
        out = mkdbl(std::fmod(asdbl(l), asdbl(r)));
        return true;
    } else if constexpr (iscompare(OP)) {
        out = mkint(compare<OP>(e, l, r));
        return true;
    } else {
        out = binval<OP>(const_cast<ExeScr&>(e), l, r);  // the bitwise operators and shifts: never fail
        return true;
    }
}

// The negation of a number: -2^63 becomes the double 2^63.
inline datdcell negate(const datdcell& c)
{
    if (!c.isint)
        return mkdbl(-c.d);
    if (c.i == INT64_MIN)
        return mkdbl(9223372036854775808.0);
    return mkint(-c.i);
}

// Bitwise NOT of a variable: a double from 2^63 upward is taken modulo 2^64.
inline datdcell invert(const datdcell& c)
{
    if (c.isint)
        return mkint(~c.i);
    if (c.d >= 9223372036854775808.0 && std::isfinite(c.d)) {
        const double m = std::fmod(c.d, 18446744073709551616.0);
        return mkint(~static_cast<int64_t>(static_cast<uint64_t>(m)));
    }
    return mkint(~ExeScr::dbl2i64(c.d));
}

// "!": unlike the truth rule, any double but 0.0 counts as not zero here.
inline datdcell lognot(const datdcell& c)
{
    return mkint(c.isint ? c.i == 0 : c.d == 0.0);
}

inline bool divides(uint32_t op)
{
    return op == tokdiveq || op == tokmodeq;
}

// x op= v. Both integers: the binary operators' integer rules. Otherwise the
// arithmetic is done in doubles, while the bitwise operators and the shifts
// work on the 64-bit integers of both sides, as their binary forms do. A
// zero divisor of /= or %= ends the script.
inline datdcell compound(ExeScr& e, const datdcell& x, const datdcell& v, uint32_t op)
{
    const bool ints = x.isint && v.isint;
    switch (op) {
    case tokoreq:
        return mkint(intof(x) | intof(v));
    case tokandeq:
        return mkint(intof(x) & intof(v));
    case tokxoreq:
        return mkint(intof(x) ^ intof(v));
    case tokshleq:
        return mkint(shiftleft(intof(x), intof(v)));
    case tokshreq:
        return mkint(shiftright(intof(x), intof(v), e.signmode));
    case tokpluseq:
        return e.arith(opadd, x, v);
    case tokminuseq:
        return e.arith(opsub, x, v);
    case tokmuleq:
        return e.arith(opmul, x, v);
    case tokdiveq:
        if (!ints && asdbl(v) == 0.0)
            e.myerrexit(L"division by zero.");
        return e.arith(opdiv, x, v);
    case tokmodeq:
        if (!ints && asdbl(v) == 0.0)
            e.myerrexit(L"division by zero.");
        return e.arith(opmod, x, v);
    default:
        return x;
    }
}

// Whether l OP r would end the script: an integer division or remainder by 0.
template <int OP>
inline bool binfails(const datdcell& l, const datdcell& r)
{
    return (OP == bopdiv || OP == bopmod) && l.isint && r.isint && r.i == 0;
}

}  // namespace numrules
