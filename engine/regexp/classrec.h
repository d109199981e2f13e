// A character class of the regular-expression engine: a bitset over the code
// points 0 to 0x2FFFF with a member count. Code points at or above 0x30000 are
// never members. The operations are constexpr so that the predefined classes
// can be built by the compiler into the engine's data.
#pragma once

#include <bit>
#include <cstdint>

constexpr uint32_t cplimit = 0x30000;           // first code point that is never a member
constexpr uint32_t clswords = cplimit / 64;      // 3072 words of 64 bits

// An inclusive run of code points.
struct cprun {
    uint32_t first, last;
};

struct classrec {
    uint32_t count;  // members; only empty / not empty matters to the parser
    uint64_t bits[clswords];

    constexpr bool has(uint32_t cp) const
    {
        return cp < cplimit && ((bits[cp >> 6] >> (cp & 63)) & 1) != 0;
    }

    constexpr void add(uint32_t cp)
    {
        if (cp >= cplimit)
            return;
        const uint64_t bit = uint64_t(1) << (cp & 63);
        if (!(bits[cp >> 6] & bit)) {
            bits[cp >> 6] |= bit;
            ++count;
        }
    }

    // Adds first..last inclusive, a word at a time.
    constexpr void addrange(uint32_t first, uint32_t last)
    {
        if (last >= cplimit)
            last = cplimit - 1;
        if (first > last)
            return;
        for (uint32_t w = first >> 6; w <= (last >> 6); ++w) {
            const uint32_t lo = w == (first >> 6) ? (first & 63) : 0;
            const uint32_t hi = w == (last >> 6) ? (last & 63) : 63;
            const uint64_t mask = (hi == 63 ? ~uint64_t(0) : ((uint64_t(1) << (hi + 1)) - 1)) &
                                  ~((uint64_t(1) << lo) - 1);
            count += static_cast<uint32_t>(std::popcount(mask & ~bits[w]));
            bits[w] |= mask;
        }
    }

    constexpr void unite(const classrec& o)
    {
        for (uint32_t w = 0; w < clswords; ++w)
            bits[w] |= o.bits[w];
        recount();
    }

    constexpr void subtract(const classrec& o)
    {
        for (uint32_t w = 0; w < clswords; ++w)
            bits[w] &= ~o.bits[w];
        recount();
    }

    constexpr void complement()
    {
        for (uint32_t w = 0; w < clswords; ++w)
            bits[w] = ~bits[w];
        count = cplimit - count;
    }

    constexpr void recount()
    {
        uint32_t n = 0;
        for (uint32_t w = 0; w < clswords; ++w)
            n += static_cast<uint32_t>(std::popcount(bits[w]));
        count = n;
    }
};
