// 128-bit multiply and divide on 64-bit halves, in portable C++: the integer
// commands work on products and dividends wider than any standard type.
#pragma once

#include <cstdint>

// The unsigned product a * b: returns the low half, stores the high half.
inline uint64_t mulu128(uint64_t a, uint64_t b, uint64_t* hi)
{
    const uint64_t al = a & 0xFFFFFFFFu, ah = a >> 32;
    const uint64_t bl = b & 0xFFFFFFFFu, bh = b >> 32;
    const uint64_t ll = al * bl, lh = al * bh, hl = ah * bl, hh = ah * bh;
    const uint64_t mid = (ll >> 32) + (lh & 0xFFFFFFFFu) + (hl & 0xFFFFFFFFu);
    *hi = hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
    return (mid << 32) | (ll & 0xFFFFFFFFu);
}

// The signed product a * b as a two's complement 128-bit number.
inline uint64_t muls128(int64_t a, int64_t b, int64_t* hi)
{
    uint64_t uhi;
    const uint64_t lo = mulu128(static_cast<uint64_t>(a), static_cast<uint64_t>(b), &uhi);
    // Correct the unsigned product for the operands' signs.
    if (a < 0)
        uhi -= static_cast<uint64_t>(b);
    if (b < 0)
        uhi -= static_cast<uint64_t>(a);
    *hi = static_cast<int64_t>(uhi);
    return lo;
}

// hi:lo / d, unsigned. False when d is 0 or the quotient needs more than 64 bits.
inline bool divu128(uint64_t hi, uint64_t lo, uint64_t d, uint64_t* q, uint64_t* r)
{
    if (d == 0 || hi >= d)
        return false;
    if (hi == 0) {  // a 64-bit dividend: the processor's own division
        *q = lo / d;
        *r = lo % d;
        return true;
    }
    uint64_t rem = hi, quot = 0;
    for (int bit = 63; bit >= 0; --bit) {
        const uint64_t carry = rem >> 63;
        rem = (rem << 1) | ((lo >> bit) & 1u);
        quot <<= 1;
        if (carry || rem >= d) {
            rem -= d;
            quot |= 1u;
        }
    }
    *q = quot;
    *r = rem;
    return true;
}

// hi:lo / d, signed, truncating; the remainder takes the dividend's sign.
// False when d is 0 or the quotient does not fit a signed 64-bit integer.
inline bool divs128(int64_t hi, uint64_t lo, int64_t d, int64_t* q, int64_t* r)
{
    if (d == 0)
        return false;
    if (hi == (static_cast<int64_t>(lo) >> 63)) {  // a 64-bit dividend: the processor's own division
        const int64_t a = static_cast<int64_t>(lo);
        if (a == INT64_MIN && d == -1)
            return false;
        *q = a / d;
        *r = a % d;
        return true;
    }
    const bool negdividend = hi < 0;
    uint64_t uhi = static_cast<uint64_t>(hi), ulo = lo;
    if (negdividend) {
        ulo = ~ulo + 1u;
        uhi = ~uhi + (ulo == 0 ? 1u : 0u);
    }
    const bool negdivisor = d < 0;
    const uint64_t ud = negdivisor ? ~static_cast<uint64_t>(d) + 1u : static_cast<uint64_t>(d);
    uint64_t uq, ur;
    if (!divu128(uhi, ulo, ud, &uq, &ur))
        return false;
    const bool negq = negdividend != negdivisor;
    if (uq > (negq ? 0x8000000000000000u : 0x7FFFFFFFFFFFFFFFu))
        return false;
    *q = negq ? static_cast<int64_t>(~uq + 1u) : static_cast<int64_t>(uq);
    *r = negdividend ? static_cast<int64_t>(~ur + 1u) : static_cast<int64_t>(ur);
    return true;
}
