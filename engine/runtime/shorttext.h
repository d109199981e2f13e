// Length and copy of the short texts that strings are mostly made of. The
// runtime's wcslen and memmove are calls into another module, which cost
// more than counting or moving a dozen characters here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

// strstr's search (strpbrk's with `pbrk`) of `set` in `text`: the empty
// text is found where the search starts; not every runtime's wcsstr agrees.
inline const wchar_t* findtext(const wchar_t* text, const wchar_t* set, bool pbrk)
{
    return pbrk ? wcspbrk(text, set) : *set == 0 ? text : wcsstr(text, set);
}

// Whether `needle` is a substring of `text`; the empty needle is in every
// text, the empty one too, as Windows' wcsstr has it (Wine's finds it in no
// empty text). Every title, class and item test of the window commands asks
// this, so that an empty target means the same on both.
inline bool hastext(const wchar_t* text, const wchar_t* needle) { return findtext(text, needle, false) != nullptr; }

inline size_t shortlen(const wchar_t* t)
{
    size_t n = 0;
    while (t[n])
        ++n;
    return n;
}

// Moves `bytes` as two chunks of T from either end, which overlap when
// bytes is below twice T's size; both are read before either is written.
template <class T>
inline void moveends(unsigned char* d, const unsigned char* s, size_t bytes)
{
    T a, b;
    memcpy(&a, s, sizeof a);
    memcpy(&b, s + bytes - sizeof b, sizeof b);
    memcpy(d, &a, sizeof a);
    memcpy(d + bytes - sizeof b, &b, sizeof b);
}

struct chunk16 {
    unsigned char c[16];
};

// As wmemmove: the ranges may overlap. Up to 16 characters move in place.
inline void shortmove(wchar_t* to, const wchar_t* from, size_t n)
{
    auto* d = reinterpret_cast<unsigned char*>(to);
    const auto* s = reinterpret_cast<const unsigned char*>(from);
    const size_t bytes = n * sizeof(wchar_t);
    if (bytes > 32)
        wmemmove(to, from, n);
    else if (bytes >= 16)
        moveends<chunk16>(d, s, bytes);
    else if (bytes >= 8)
        moveends<uint64_t>(d, s, bytes);
    else if (bytes >= 4)
        moveends<uint32_t>(d, s, bytes);
    else if (bytes == 2)
        *to = *from;
}
