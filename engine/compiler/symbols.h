// Records the loader fills from a script's declarations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "runtime/tracked.h"

constexpr int symnamemax = 21;  // function, thread, parameter and local names

// Whether the `len` characters at `name` name the symbol stored (cut) as
// `stored`: a longer name means the symbol that holds its first 21 characters,
// so a declaration and its uses always agree.
inline bool samesymbol(const wchar_t* stored, const wchar_t* name, size_t len)
{
    const size_t n = len < static_cast<size_t>(symnamemax) ? len : static_cast<size_t>(symnamemax);
    return wcsncmp(stored, name, n) == 0 && stored[n] == 0;
}

// A declared name; `kind` 1 number, 2 string where the list has kinds.
struct nameitem {
    wchar_t name[22];
    uint32_t kind;
};

// A source line and the first code cell emitted for it.
struct lineitem {
    int32_t line;       // 0 for the first line
    int32_t srcoffset;  // first character, counted from the byte-order mark
    int32_t codeidx;    // -1 until the compiler emits a cell for the line
};

// One user function. Only the last record of the table (the "main" or "null"
// one) carries the line table.
struct funcrec {
    wchar_t name[22];
    tbuf<nameitem> dirnames;    // "localdir", id 206
    tbuf<nameitem> fpnames;     // "localfp", id 205
    tbuf<nameitem> localnames;  // parameters first, then "localvar"; id 204
    int32_t codestart;
    uint32_t paramcount;
    uint32_t functstr;          // 1: the result is a string
    uint32_t module;            // "main"/"null" records before this one
    std::vector<lineitem> lines;
};

// One "thread" declaration; its address goes to the script thread it starts.
struct blockrec {
    wchar_t name[22];
    tbuf<nameitem> params;  // id 470
};

// A label of a goto target. Labels are looked up within the unit that defines
// them only, so two functions may use one label name.
struct labelrec {
    wchar_t name[22];
    int32_t codeidx;  // relative to the unit's first cell
    int32_t unit;     // the unit's first cell (its unitbase)
};
