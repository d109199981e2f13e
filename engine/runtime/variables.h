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

// One variable. Its text is `heap` when not null, else its inline text, which
// lives in a table beside the record's own (ExeScr::inlof): most records are
// numbers (every array element is a global), and a record that carried its
// 258 bytes of inline text would make a table of them four times as large,
// every page of it touched. Unused slots of the global table and of stackdd
// always have cap 128 and no heap text.
struct varrec {
    wchar_t name[22];
    uint16_t state;  // varundef, varnum, varstr
    double d;
    int64_t i;
    uint32_t isint;  // 1: `i` holds the number, 0: `d` does
    int32_t cap;     // 128 inline, else the heap text's length
    wchar_t* heap;
    int32_t heapid;
};

// The inline text of the record of the same index.
struct inltext {
    wchar_t t[varinline + 1];
};

// One level of an array: element slots (leaf) or index nodes.
struct indexnode {
    uint32_t leaf;
    void* buf;       // indexnode[] or int32_t[] (global variable index, -1 = none yet)
    uint32_t count;
    int32_t id;
};

struct arrayrec {
    wchar_t name[22];
    uint32_t leaf;
    void* buf;
    uint32_t count;
    int32_t id;
    // Number of indices the array was first used with: a layout serves only one.
    int32_t dims;
};

constexpr int32_t nodebufid = 1385;
constexpr int32_t slotbufid = 1386;

