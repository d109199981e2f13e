// Value words: argument counts and texts, the work area, system checks, the
// kept system time and the engine variables.
#include <gtest/gtest.h>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "support/codelist.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;
using qtest::popint;
using qtest::popstr;
using qtest::runop;

namespace {

int64_t word(ExeScr& e, execfn op, int64_t operand)
{
    runop(e, op, operand);
    return popint(e);
}

}  // namespace

TEST(ValueWords, ArgumentCountsAndTexts)
{
    ExeScr e;
    e.args = {L"quorvel.exe", L"job.tst", L"one"};
    EXPECT_EQ(word(e, &ExeScr::argcnt_exec, 0), 3);
    EXPECT_EQ(word(e, &ExeScr::argcnt_exec, 1), 0);
    runop(e, &ExeScr::arg_exec, 2);
    EXPECT_EQ(popstr(e), L"one");
    runop(e, &ExeScr::arg_exec, 3);
    EXPECT_EQ(popstr(e), L"") << "not below the count";
    runop(e, &ExeScr::carg_exec, 0);
    EXPECT_EQ(popstr(e), L"") << "no call yet";
    e.callargs = {L"a", L"b"};
    runop(e, &ExeScr::carg_exec, 1);
    EXPECT_EQ(popstr(e), L"b");
    e.freedatd();
    e.freedats();
}

TEST(ValueWords, SystemAndScreen)
{
    ExeScr e;
    RECT r = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    EXPECT_EQ(word(e, &ExeScr::workarea_exec, 0), r.left);
    EXPECT_EQ(word(e, &ExeScr::workarea_exec, 3), r.bottom);
    e.is64bit_exec();
    EXPECT_EQ(popint(e), 1) << "an x64 process runs on an x64 system";
    // At least 6.1 implies the checks below it; 10.0 implies all three.
    const int64_t is7 = word(e, &ExeScr::osversion_exec, 2);
    const int64_t is8 = word(e, &ExeScr::osversion_exec, 3);
    const int64_t is10 = word(e, &ExeScr::osversion_exec, 4);
    EXPECT_GE(is7, is8);
    EXPECT_GE(is8, is10);
    EXPECT_EQ(is7, 1);
    EXPECT_EQ(word(e, &ExeScr::osversion_exec, 0), 1) << "5.1";
    e.keptsystime.wYear = 2026;
    e.keptsystime.wMilliseconds = 999;
    EXPECT_EQ(word(e, &ExeScr::systimefield_exec, 0), 2026);
    EXPECT_EQ(word(e, &ExeScr::systimefield_exec, 7), 999);
    e.freedatd();
}

TEST(ValueWords, EngineVariables)
{
    ExeScr e;
    EXPECT_EQ(word(e, &ExeScr::engvar_exec, 16), 0) << "idivrem before any idiv";
    EXPECT_EQ(word(e, &ExeScr::engvar_exec, 0), static_cast<int64_t>(reinterpret_cast<intptr_t>(&e)));
    EXPECT_EQ(word(e, &ExeScr::engvar_exec, 1), reinterpret_cast<intptr_t>(hWndp));
    e.idivrem = -7;
    e.imuldx = INT64_MIN;
    e.eflags = 0x8A93;
    e.winrect = RECT{1, 2, 3, 4};
    EXPECT_EQ(word(e, &ExeScr::engvar_exec, 16), -7);
    EXPECT_EQ(word(e, &ExeScr::engvar_exec, 17), INT64_MIN) << "64 bits wide";
    EXPECT_EQ(word(e, &ExeScr::engvar_exec, 18), static_cast<int16_t>(0x8A93)) << "a signed 16-bit value";
    EXPECT_EQ(word(e, &ExeScr::engvar_exec, 32), 1);
    EXPECT_EQ(word(e, &ExeScr::engvar_exec, 33), 3) << "left, right, top, bottom";
    EXPECT_EQ(word(e, &ExeScr::engvar_exec, 34), 2);
    EXPECT_EQ(word(e, &ExeScr::engvar_exec, 21), -1) << "no line table";
    EXPECT_EQ(word(e, &ExeScr::engvar_exec, 22), 0) << "a selector without a word";
    e.freedatd();
}

TEST(ValueWords, ArgumentAndTimeFieldWordsCompile)
{
    ExeScr e;
    std::wstring w = L"carg_07x";
    e.carg_comp(w.data());
    std::wstring f = L" systemtime.wDay ";
    e.systemtimefield_comp(f.data());
    std::wstring a = L"wMinute";
    e.systemtime_comp(a.data());
    ASSERT_EQ(e.codecount(), 6);
    EXPECT_TRUE(e.code[0].op == static_cast<execfn>(&ExeScr::carg_exec));
    EXPECT_EQ(e.code[1].i, 7) << "characters behind the two digits are not examined";
    EXPECT_TRUE(e.code[2].op == static_cast<execfn>(&ExeScr::systimefield_exec));
    EXPECT_EQ(e.code[3].i, 3);
    EXPECT_EQ(e.code[5].i, 5);
    e.freecode();

    for (const wchar_t* bad : {L"carg_5", L"carg_x1"}) {
        const std::wstring t = bad;
        EXPECT_EQ(expectfatal(fatalengine(),
                              [t](ExeScr& x) {
                                  std::wstring b = t;
                                  x.carg_comp(b.data());
                              }),
                  L"invalid name.")
            << t;
    }
    EXPECT_EQ(expectfatal(fatalengine(),
                          [](ExeScr& x) {
                              std::wstring b = L"wday";
                              x.systemtime_comp(b.data());
                          }),
              L"Not supported parameter.:wday:");
}
