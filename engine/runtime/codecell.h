// One cell of compiled code: an operation of the engine object, or an operand.
#pragma once

#include <cstdint>

class ExeScr;

// An operation of compiled code: a member operation of ExeScr taking nothing.
// It finds its operands at `ip` and moves `ip` past them (or elsewhere, for jumps).
using execfn = void (ExeScr::*)();

// 16 bytes. As an operation it is the member pointer {fn, adj}: an even `fn` is
// the operation's address, an odd one names a virtual operation (fn - 1 is its
// offset in the virtual table), `adj` is added to the receiver (always 0 here).
// A null operation ends the run. As an operand only the first 64-bit word counts.
struct codecell {
    union {
        execfn op;
        struct {
            uint64_t fn;
            uint64_t adj;
        } ref;
        int64_t i;
        uint64_t u;
        double d;
        void* p;
        unsigned char raw[16];  // keeps the size where member pointers are 8 bytes
    };
};
static_assert(sizeof(codecell) == 16, "a code cell is 16 bytes");
