// Decimal digits of an unsigned value, written by the engine itself: the
// runtime's formatter costs more than the whole of a short string built from
// text and numbers, and printf writes its own fields around the digits.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t decimalmax = 20;  // digits of the largest 64-bit value

// Writes the digits of `v` back from `end` (two at a time) and returns where
// they begin; the buffer before `end` holds at least decimalmax characters.
inline wchar_t* decimaldigits(uint64_t v, wchar_t* end)
{
    static constexpr char pairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    wchar_t* p = end;
    while (v >= 100) {
        const auto k = static_cast<size_t>(v % 100) * 2;
        v /= 100;
        *--p = static_cast<wchar_t>(pairs[k + 1]);
        *--p = static_cast<wchar_t>(pairs[k]);
    }
    if (v >= 10) {
        *--p = static_cast<wchar_t>(pairs[v * 2 + 1]);
        *--p = static_cast<wchar_t>(pairs[v * 2]);
    } else {
        *--p = static_cast<wchar_t>(L'0' + v);
    }
    return p;
}
