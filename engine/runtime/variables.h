// Records of variables, the local value stack and arrays.
#pragma once

#include <cstdint>

// Variable states.
constexpr uint16_t varundef = 0;
constexpr uint16_t varnum = 256;
constexpr uint16_t varstr = 277;
// Kinds of pushlocal: varnum for a double, this for an integer, varstr.
constexpr uint32_t localint = 299;

constexpr int varnamemax = 20;    // globals are significant to 20 characters
constexpr int arraynamemax = 21;  // arrays and local names to 21
constexpr int32_t varinline = 128;

// Flags of a record.
constexpr uint16_t varheaped = 1;   // its text is a heap text (varaux::heap)
constexpr uint16_t varelement = 2;  // an array element: it has no name of its own
constexpr uint16_t varwide = 4;     // its inline text is in varaux::wide, not varaux::t

// Characters of an inline text kept in the varaux record itself; a longer
// one (up to varinline) goes to a block of its own (varaux::wide).
constexpr int32_t varshort = 23;

// One variable: only what a number needs. Everything else it has (its name,
// its inline text, the heap text that replaces that) lives in records of
// tables beside it, of the same index (ExeScr::auxof, ExeScr::varname): most
// variables are numbers, and every array element is a variable, so a table
// of these is written for each new element and every page of it is touched.
// A varaux is read only while the record's flags or state say it holds
// something: the table's free slots (all zero, or flags 0) have text
// capacity 128 and no heap text.
struct varrec {
    uint16_t state;  // varundef, varnum, varstr
    uint16_t flags;  // varheaped, varelement, varwide
    uint32_t isint;  // 1: `i` holds the number, 0: `d` does
    union {
        int64_t i;
        double d;
    };
};
static_assert(sizeof(varrec) == 16);

// A variable's text. An inline text of up to varshort characters is `t`; a
// longer one is `wide`, a block of varinline + 1 characters taken when the
// record first needs it and kept (null until then), so that a short text
// stored into a new element writes one small record.
//
// A text keeps its length (`len`), inline or on the heap, so that reading
// or appending to it need not measure it again. Every writer of a text in
// place keeps it true or sets it to -1 (not known: measured when next
// read). A free slot's 0 is its empty text's.
struct varaux {
    wchar_t* heap;   // while varheaped: the text, a tracked block
    int32_t cap;     // while varheaped: its room in characters
    int32_t heapid;  // while varheaped: its allocation id
    int32_t len;     // the text's length, or -1
    wchar_t* wide;
    wchar_t t[varshort + 1];
};
static_assert(sizeof(varaux) == 80);

// A global's name (an array element's is its array's, never written here).
struct globalname {
    wchar_t t[22];
};

// One level of an array: element slots (leaf) or index nodes.
struct indexnode {
    uint32_t leaf;
    uint32_t reserve;  // log2 of the address space reserved behind buf, 0: a heap block
    void* buf;       // indexnode[] or int32_t[] (global variable index, -1 = none yet)
    uint32_t count;
    int32_t id;
};

struct arrayrec {
    wchar_t name[22];
    uint32_t leaf;
    uint32_t reserve;  // as an index node's
    void* buf;
    uint32_t count;
    int32_t id;
    // Number of indices the array was first used with: a layout serves only one.
    int32_t dims;
};

constexpr int32_t nodebufid = 1385;
constexpr int32_t slotbufid = 1386;

