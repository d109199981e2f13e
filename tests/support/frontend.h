// Compiling one front end on its own, for the tests of the command words:
// what it appended, or the fatal message it ended with.
#pragma once

#include <string>

#include "runtime/exescr.h"
#include "support/testenv.h"

namespace qtest {

// Compiles one front end on a fresh engine and keeps the cells it appended.
struct frontrun {
    ExeScr e;
    frontrun(void (ExeScr::*front)(wchar_t*), const wchar_t* text)
    {
        std::wstring buf = text;
        (e.*front)(buf.data());
    }
    ~frontrun()
    {
        e.freecode();
        e.freemypush();
        e.freemypush2();
        e.freestrtbls();
        e.freevartable();
    }
    frontrun(const frontrun&) = delete;
    frontrun& operator=(const frontrun&) = delete;
    // Whether the last two cells are `op` and the operand.
    bool lastop(execfn op, int64_t operand) const
    {
        const int32_t n = e.codecount();
        return n >= 2 && e.code[n - 2].op == op && e.code[n - 1].i == operand;
    }
    // Whether the last cell is `op` (a runtime that takes no operand).
    bool lastop(execfn op) const
    {
        const int32_t n = e.codecount();
        return n >= 1 && e.code[n - 1].op == op;
    }
};

// The fatal message a front end ends with on `text`.
inline std::wstring fronterror(void (ExeScr::*front)(wchar_t*), const wchar_t* text)
{
    const std::wstring t = text;
    return expectfatal(fatalengine(), [front, t](ExeScr& x) {
        std::wstring buf = t;
        (x.*front)(buf.data());
    });
}

}  // namespace qtest
