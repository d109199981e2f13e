// Records of the two datum stacks on which compiled code passes its values.
#pragma once

#include <cstdint>

// A datum stack never holds more than this many entries.
constexpr int32_t datumstackmax = 256;

// One numeric datum: a signed 64-bit integer or a double, as the tag says.
struct datdcell {
    union {
        int64_t i;
        double d;
    };
    uint32_t isint;  // 1 integer, 0 double
};
static_assert(sizeof(datdcell) == 16);

constexpr int32_t datsinline = 64;

// One string datum. Its text (see ExeScr::datstext): the variable's text when
// `isvar` is 1, else `text` when not null, else `inl`. A heap buffer belongs to
// the datum: whoever pops it gives it back under `heapid`.
struct datscell {
    wchar_t inl[datsinline + 1];
    wchar_t* text;     // null: the inline text
    int32_t cap;       // 64 inline, else the heap text's length
    wchar_t* heap;     // tracked block or null
    int32_t heapid;
    int32_t varindex;  // with isvar: negative local, else global
    uint32_t isvar;    // 1: stands for the string variable, carries no text
};
static_assert(sizeof(datscell) == 176);
