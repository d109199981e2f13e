// The start record of a script thread and what the thread keeps of it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class ExeScr;

constexpr int32_t threadrecid = 480;  // the record, skipped by the leak report
constexpr int32_t threadtextid = 481; // argument texts longer than 64 characters

// One argument of a thread start: kind 1 a number, else a string.
struct threadarg {
    uint32_t kind;
    union {
        int64_t i;
        double d;
    };
    uint32_t isint;
    wchar_t inl[65];
    int32_t cap;
    wchar_t* heap;  // null while the text fits inline
    int32_t heapid;
    const wchar_t* text() const { return heap ? heap : inl; }
};

// Made and given back by the parent, in one plain heap block recorded under
// threadrecid, with `argcount` arguments behind it. The child copies what it
// needs before it sets the start event; after that only the parent touches it.
struct threadrec {
    wchar_t name[22];
    ExeScr* parent;
    int32_t argcount;
    ExeScr* child;
    HANDLE startevent;
    int32_t allocid;
    threadarg* args() { return reinterpret_cast<threadarg*>(this + 1); }
};

// An argument as the child keeps it until its entry unit takes it.
struct startarg {
    uint32_t kind;  // 1 number, else string
    int64_t i;
    double d;
    uint32_t isint;
    std::wstring text;
};
