// Hand-built code lists for driving opcodes through the real code-cell loop.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/exescr.h"

namespace qtest {

class codelist {
public:
    // An operation cell.
    codelist& op(execfn f)
    {
        codecell c = {};
        c.op = f;
        cells.push_back(c);
        return *this;
    }
    // Operand cells.
    codelist& i(int64_t v)
    {
        codecell c = {};
        c.i = v;
        cells.push_back(c);
        return *this;
    }
    codelist& d(double v)
    {
        codecell c = {};
        c.d = v;
        cells.push_back(c);
        return *this;
    }
    // The index the next cell will have (a jump target while unitbase is 0).
    int64_t here() const { return static_cast<int64_t>(cells.size()); }
    // Overwrites an operand placed earlier, for forward jumps.
    void patch(int64_t at, int64_t v) { cells[static_cast<size_t>(at)].i = v; }

    // Ends the list and runs it from its first cell on `e`.
    void run(ExeScr& e)
    {
        cells.push_back(codecell{});
        e.code = cells.data();
        e.unitbase = 0;
        e.runcode(0);
    }

    std::vector<codecell> cells;
};

// Runs an operation that reads one operand cell, and checks that it moved past it.
inline void runop(ExeScr& e, execfn op, int64_t operand)
{
    codecell list[2] = {};
    list[0].i = operand;
    e.ip = list;
    (e.*op)();
    EXPECT_EQ(e.ip, list + 1);
}

// Pops a string datum and gives back its buffer.
inline std::wstring popstr(ExeScr& e)
{
    datscell* c = e.pops();
    std::wstring t = e.datstext(c);
    e.datsrelease(c);
    return t;
}

// Pops a numeric datum that must be an integer.
inline int64_t popint(ExeScr& e)
{
    const datdcell c = e.popd();
    EXPECT_EQ(c.isint, 1u);
    return c.i;
}

// The packed operand word of assignments and increments.
inline int64_t packword(int32_t index, uint32_t sub, bool noresult)
{
    return (static_cast<int64_t>(index) << 32) | (static_cast<int64_t>(sub & 0xFFFF) << 16) |
           (noresult ? 1 : 0);
}

}  // namespace qtest
