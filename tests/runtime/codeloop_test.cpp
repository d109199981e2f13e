// The engine object's construction and the code-cell loop, on hand-built code.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/exescr.h"

namespace {

// Operations for hand-built code lists. A member pointer of the derived class
// converts to one of ExeScr and runs on this object.
struct probe : ExeScr {
    std::vector<int64_t> seen;
    void record() { seen.push_back(ip->i), ++ip; }  // one operand: a marker
    void stop() { stopflag = 1; }
    void jump() { ip = code + unitbase + ip->i; }   // operand: target relative to unitbase
    virtual void virtualrecord() { seen.push_back(-1); }
};

codecell op(void (probe::*f)())
{
    codecell c = {};
    c.op = static_cast<execfn>(f);
    return c;
}

codecell operand(int64_t v)
{
    codecell c = {};
    c.i = v;
    return c;
}

codecell endcell()
{
    return codecell{};
}

}  // namespace

TEST(Construction, StartsSignedWithEveryTableEmpty)
{
    ExeScr e;
    EXPECT_EQ(e.instanceid, reinterpret_cast<uintptr_t>(&e));
    EXPECT_EQ(e.signmode, 1u);
    EXPECT_EQ(e.stopflag, 0u);
    EXPECT_EQ(e.threadmode, 0u);
    EXPECT_EQ(e.code, nullptr);
    EXPECT_EQ(e.codeid, 234);
    EXPECT_TRUE(e.globals.empty() && e.stackdd.empty() && e.arrays.empty());
    EXPECT_TRUE(e.datd.empty() && e.dats.empty() && e.offsets.empty() && e.offsets2.empty());
    EXPECT_TRUE(e.allocs.empty());
    EXPECT_EQ(e.loghandle, nullptr);
}

TEST(CodeCell, OperationIsTheMemberPointerPair)
{
    static_assert(sizeof(codecell) == 16);
    codecell plain = op(&probe::stop);
    EXPECT_EQ(plain.ref.fn % 2, 0u) << "an ordinary operation is stored by address";
    EXPECT_EQ(plain.ref.adj, 0u);
    codecell virt = op(&probe::virtualrecord);
    EXPECT_EQ(virt.ref.fn % 2, 1u) << "a virtual operation is its table offset + 1";
    EXPECT_EQ(endcell().ref.fn, 0u);
}

TEST(RunCode, EndCellFirstRunsNothing)
{
    probe p;
    codecell list[] = {endcell(), op(&probe::record), operand(1), endcell()};
    p.code = list;
    p.runcode(0);
    EXPECT_TRUE(p.seen.empty());
    EXPECT_EQ(p.ip, list);
}

TEST(RunCode, RunsCellsWithOperandsUntilTheEndCell)
{
    probe p;
    codecell list[] = {op(&probe::record), operand(7), op(&probe::virtualrecord),
                       op(&probe::record), operand(8), endcell(), op(&probe::record), operand(9)};
    p.code = list;
    p.runcode(0);
    EXPECT_EQ(p.seen, (std::vector<int64_t>{7, -1, 8}));
}

TEST(RunCode, StartsAtTheGivenCell)
{
    probe p;
    codecell list[] = {op(&probe::record), operand(1), endcell(), op(&probe::record), operand(2), endcell()};
    p.code = list;
    p.runcode(3);
    EXPECT_EQ(p.seen, (std::vector<int64_t>{2}));
}

TEST(RunCode, StopFlagEndsTheLoopRightAfterTheCell)
{
    probe p;
    codecell list[] = {op(&probe::record), operand(1), op(&probe::stop), op(&probe::record), operand(2), endcell()};
    p.code = list;
    p.runcode(0);
    EXPECT_EQ(p.seen, (std::vector<int64_t>{1}));
    EXPECT_EQ(p.ip, list + 3) << "ip already points at the next cell";
}

TEST(RunCode, StopSetBeforeTheRunStillRunsOneCell)
{
    probe p;
    p.stopflag = 1;
    codecell list[] = {op(&probe::record), operand(1), op(&probe::record), operand(2), endcell()};
    p.code = list;
    p.runcode(0);
    EXPECT_EQ(p.seen, (std::vector<int64_t>{1}));
}

TEST(RunCode, JumpMovesIpWithoutRunningTheNextCell)
{
    probe p;
    // unit at 2: jump over the first record to cell 2 + 5
    codecell list[] = {endcell(), endcell(),
                       op(&probe::jump), operand(5), op(&probe::record), operand(1), endcell(),
                       op(&probe::record), operand(2), endcell()};
    p.code = list;
    p.unitbase = 2;
    p.runcode(2);
    EXPECT_EQ(p.seen, (std::vector<int64_t>{2}));
}
