// Code emitters and compile-error reports.
#include <gtest/gtest.h>

#include "runtime/exescr.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;

TEST(Emit, ListStartsAt512CellsAndDoublesKeepingEveryCell)
{
    ExeScr e;
    EXPECT_EQ(e.emitcell(&ExeScr::noop_exec), 0);
    EXPECT_EQ(e.codecap, 512);
    ASSERT_EQ(e.allocs.size(), 1u);
    EXPECT_EQ(e.allocs[0].id, 234);
    for (int32_t n = 1; n < 512; ++n)
        EXPECT_EQ(e.emitint(n), n);
    EXPECT_EQ(e.codecap, 512);
    e.unitbase = 10;
    EXPECT_EQ(e.emitint(-1), 502) << "indexes are relative to the unit";
    EXPECT_EQ(e.codecap, 1024);
    EXPECT_EQ(e.allocs.size(), 1u) << "the old block went back";
    EXPECT_TRUE(e.code[0].op == static_cast<execfn>(&ExeScr::noop_exec));
    EXPECT_EQ(e.code[300].i, 300);
    EXPECT_EQ(e.code[512].u, UINT64_MAX) << "emitint sign-extends";
    e.freecode();
    EXPECT_TRUE(e.allocs.empty());
}

TEST(Emit, OperandCellsAndPatchingByIndexAcrossGrowth)
{
    ExeScr e;
    e.emitcell(&ExeScr::jump_exec);
    const int32_t at = e.codecount();
    codecell* c = e.emitu64r(0);
    c->i = 7;  // valid until the next append
    e.emitnum(2.5);
    e.emitptr(&e);
    e.emitu64(0x123456789ULL);
    for (int n = 0; n < 600; ++n)
        e.emitcell(&ExeScr::noop_exec);
    e.code[at].i = 99;  // found again by its index after the list moved
    EXPECT_EQ(e.code[at].i, 99);
    EXPECT_EQ(e.code[at + 1].d, 2.5);
    EXPECT_EQ(e.code[at + 2].p, &e);
    EXPECT_EQ(e.code[at + 3].u, 0x123456789ULL);
    e.freecode();
}

TEST(Emit, RunningCodeSurvivesTheListMoving)
{
    ExeScr e;
    for (int n = 0; n < 512; ++n)
        e.emitcell(&ExeScr::noop_exec);
    e.ip = e.code + 100;
    e.emitcell(&ExeScr::noop_exec);
    EXPECT_EQ(e.ip, e.code + 100);
    e.freecode();
}

TEST(CompileErrors, MessagesWithAndWithoutTheLine)
{
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.comperr(L"bad"); }), L"bad");
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.comperr2(L"bad", L"detail"); }), L"bad:detail:");
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.synerr(59, L"what"); }), L"syntax error:3b:what");

    // While compiling, the line of the current position is named.
    static std::wstring src = std::wstring(1, wchar_t(0xFEFF)) + L"a\r\nbb\r\nccc";
    auto compiling = [](int line) {
        ExeScr& e = fatalengine();
        e.srctext = src.data();
        static wchar_t* pos;
        pos = src.data() + (line == 3 ? 9 : 5);  // inside line 3 or line 2
        e.srccursor = &pos;
        e.compiling = 1;
        return &e;
    };
    EXPECT_EQ(expectfatal(*compiling(3), [](ExeScr& x) { x.comperr(L"bad"); }), L"bad at line 3");
    EXPECT_EQ(expectfatal(*compiling(2), [](ExeScr& x) { x.comperr2(L"bad", L"d"); }), L"bad at line 2:d:");
    EXPECT_EQ(expectfatal(*compiling(2), [](ExeScr& x) { x.synerr(274, L"t"); }), L"syntax error at line 2:%=:t");
    EXPECT_EQ(expectfatal(*compiling(2), [](ExeScr& x) { x.synerr(292, L"t"); }), L"syntax error at line 2:124:t");
    EXPECT_EQ(expectfatal(*compiling(2), [](ExeScr& x) { x.synerr(262, L"t"); }), L"syntax error at line 2:=:t");
    EXPECT_EQ(expectfatal(*compiling(2), [](ExeScr& x) { x.synerr(256, L"t"); }), L"syntax error at line 2:VAR:t");
}
