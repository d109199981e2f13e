// UTF-16 surrogate halves and the code point of a pair: the one place these
// rules are written, for the regular expressions, the ViewBox and the log.
#pragma once

#include <cstdint>

inline bool ishigh(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
inline bool islow(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }
inline uint32_t joinpair(uint32_t hi, uint32_t lo) { return 0x10000 + ((hi - 0xD800) << 10) + (lo - 0xDC00); }
