// Runtimes of "idiv", "imul" and "iadd": 64-bit integer arithmetic with the
// side results a processor leaves (remainder, high half, status word).
#include "runtime/exescr.h"
#include "runtime/int128.h"

namespace {

// Status word bits, as the x86 FLAGS register holds them.
constexpr uint16_t flagcarry = 1u << 0;
constexpr uint16_t flagparity = 1u << 2;
constexpr uint16_t flagaux = 1u << 4;
constexpr uint16_t flagzero = 1u << 6;
constexpr uint16_t flagsign = 1u << 7;
constexpr uint16_t flagoverflow = 1u << 11;
constexpr uint16_t flagbase = ExeScr::eflagsbase;

uint16_t resultflags(uint64_t v)
{
    uint16_t f = flagbase;
    if (v == 0)
        f |= flagzero;
    if (v >> 63)
        f |= flagsign;
    uint8_t low = static_cast<uint8_t>(v);
    low ^= low >> 4;
    low ^= low >> 2;
    low ^= low >> 1;
    if (!(low & 1u))  // even number of set bits in the low byte
        f |= flagparity;
    return f;
}

int64_t intarg(const datdcell& c)
{
    return c.isint ? c.i : ExeScr::dbl2i64(c.d);
}

}  // namespace

void ExeScr::idiv_exec()
{
    const int64_t n = ip->i;
    ++ip;
    const int64_t dividend = intarg(popd());
    const int64_t divisor = intarg(popd());
    const bool issigned = n < 3 || static_cast<int32_t>(intarg(popd())) == 1;
    int64_t high;
    if (n >= 4)
        high = intarg(popd());
    else
        high = issigned ? (dividend < 0 ? -1 : 0) : 0;
    if (divisor == 0)
        myerrexit(L"division by zero");
    int64_t quotient, remainder;
    bool fits;
    if (issigned) {
        fits = divs128(high, static_cast<uint64_t>(dividend), divisor, &quotient, &remainder);
    } else {
        uint64_t q, r;
        fits = divu128(static_cast<uint64_t>(high), static_cast<uint64_t>(dividend),
                       static_cast<uint64_t>(divisor), &q, &r);
        quotient = static_cast<int64_t>(q);
        remainder = static_cast<int64_t>(r);
    }
    // The processor would fault on a quotient wider than 64 bits.
    if (!fits)
        myerrexit(L"idiv quotient overflow.");
    idivrem = remainder;
    eflags = flagbase;  // a divide leaves the arithmetic flags undefined
    pushint(quotient);
}

void ExeScr::imul_exec()
{
    const int64_t n = ip->i;
    ++ip;
    const int64_t a = intarg(popd());
    const int64_t b = intarg(popd());
    const bool issigned = n < 3 || static_cast<int32_t>(intarg(popd())) == 1;
    uint64_t lo;
    bool significant;
    if (issigned) {
        int64_t hi;
        lo = muls128(a, b, &hi);
        imuldx = hi;
        significant = hi != (static_cast<int64_t>(lo) >> 63);
    } else {
        uint64_t hi;
        lo = mulu128(static_cast<uint64_t>(a), static_cast<uint64_t>(b), &hi);
        imuldx = static_cast<int64_t>(hi);
        significant = hi != 0;
    }
    eflags = resultflags(lo);
    if (significant)
        eflags |= flagcarry | flagoverflow;
    pushint(static_cast<int64_t>(lo));
}

void ExeScr::iadd_exec()
{
    const uint64_t a = static_cast<uint64_t>(intarg(popd()));
    const uint64_t b = static_cast<uint64_t>(intarg(popd()));
    const uint64_t sum = a + b;
    uint16_t f = resultflags(sum);
    if (sum < a)
        f |= flagcarry;
    if ((a ^ b ^ sum) & 0x10u)
        f |= flagaux;
    if (((a ^ sum) & (b ^ sum)) >> 63)
        f |= flagoverflow;
    eflags = f;
    pushint(static_cast<int64_t>(sum));
}
