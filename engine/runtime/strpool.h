// Records of the string-literal pools: texts fixed at compile time, pushed at
// run time by reference.
#pragma once

#include <cstdint>

#include "runtime/tracked.h"

// Entries of pool 0 (up to 32 characters) and pool 1 (33 to 64), terminated.
struct strlit33 {
    wchar_t text[33];
};
struct strlit65 {
    wchar_t text[65];
};

constexpr int32_t strlitinline = 128;

// An entry of pool 2 (longer literals). Its text is `heap` when not null (a
// tracked block of cap + 1 characters), else `inl`. No pointer into `inl` is
// kept: the pool block moves when it grows.
struct strlitlong {
    wchar_t inl[strlitinline + 1];
    int32_t cap;  // 128 inline, else the heap text's length
    wchar_t* heap;
    int32_t heapid;
};

// The three pools of one engine object; each starts with room for 64 entries
// and doubles. Only pool 0 shares equal texts.
struct strpool {
    tbuf<strlit33> p0;    // id 213
    tbuf<strlit65> p1;    // id 214
    tbuf<strlitlong> p2;  // id 215, and 215 for each entry's heap text
};

constexpr int32_t strpool0id = 213;
constexpr int32_t strpool1id = 214;
constexpr int32_t strpool2id = 215;
constexpr int32_t strpoolfirst = 64;

// Pool number 3 names the empty string and has no entries.
constexpr uint32_t strpoolempty = 3;

// A literal reference: the pool number in the low 32 bits, the entry index in
// the high 32 bits.
constexpr int64_t strlitref(uint32_t pool, uint32_t index)
{
    return static_cast<int64_t>((static_cast<uint64_t>(index) << 32) | pool);
}
constexpr uint32_t strlitpool(int64_t ref) { return static_cast<uint32_t>(static_cast<uint64_t>(ref) & 0xFFFFFFFFu); }
constexpr uint32_t strlitindex(int64_t ref) { return static_cast<uint32_t>(static_cast<uint64_t>(ref) >> 32); }
