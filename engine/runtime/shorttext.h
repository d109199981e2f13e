// Length and copy of the short texts that strings are mostly made of. The
// runtime's wcslen and memmove are calls into another module, which cost
// more than counting or moving a dozen characters here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

inline size_t shortlen(const wchar_t* t)
{
    size_t n = 0;
    while (t[n])
        ++n;
    return n;
}

// As wmemmove: the ranges may overlap. Up to 16 characters move as two
// chunks that may overlap each other, both read before either is written.
inline void shortmove(wchar_t* to, const wchar_t* from, size_t n)
{
    auto* d = reinterpret_cast<unsigned char*>(to);
    const auto* s = reinterpret_cast<const unsigned char*>(from);
    const size_t bytes = n * sizeof(wchar_t);
    if (bytes >= 16 && bytes <= 32) {
        unsigned char a[16], b[16];
        memcpy(a, s, 16);
        memcpy(b, s + bytes - 16, 16);
        memcpy(d, a, 16);
        memcpy(d + bytes - 16, b, 16);
    } else if (bytes >= 8 && bytes < 16) {
        uint64_t a, b;
        memcpy(&a, s, 8);
        memcpy(&b, s + bytes - 8, 8);
        memcpy(d, &a, 8);
        memcpy(d + bytes - 8, &b, 8);
    } else if (bytes >= 4 && bytes < 8) {
        uint32_t a, b;
        memcpy(&a, s, 4);
        memcpy(&b, s + bytes - 4, 4);
        memcpy(d, &a, 4);
        memcpy(d + bytes - 4, &b, 4);
    } else if (bytes == 2) {
        *to = *from;
    } else if (bytes > 32) {
        wmemmove(to, from, n);
    }
}
