// The vocabulary of built-in words, as data: what the dispatcher does for each
// word and what kind of value the compiled code leaves.
#pragma once

#include <cstdint>

#include "runtime/codecell.h"

class ExeScr;

enum class wordaction : uint8_t {
    pending,      // no front end yet: compiled as a user-function call
    frontend,     // front(arguments)
    frontword,    // front(the whole word), for the prefix words
    variant,      // frontv(arguments, variant)
    emit,         // op, with `operand` when `hasoperand`
    enginetext,   // pushint_exec `operand`, then engstr_exec
    declaration,  // nothing: the loader has read it
    forheader,    // the "for" header
    argword,      // "arg_" and two digits
};

struct wordentry {
    const wchar_t* word;
    int32_t prefix;  // characters compared; 0: the whole word
    wordaction action;
    int32_t result;  // 1 number, 2 string, 3 nothing, 14 a "for" header
    void (ExeScr::*front)(wchar_t*);
    void (ExeScr::*frontv)(wchar_t*, int32_t);
    execfn op;
    int64_t operand;
    bool hasoperand;
};

// The entries of one first letter ('a' to 'y'), in the order they are tried.
struct wordrange {
    const wordentry* first;
    const wordentry* last;  // one past
};
wordrange wordsof(wchar_t letter);
