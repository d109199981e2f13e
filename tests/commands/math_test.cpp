// The math commands: library functions, floor, rand and clock.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <ctime>

#include "runtime/exescr.h"
#include "support/codelist.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;
using qtest::popint;

namespace {

double popdbl(ExeScr& e)
{
    const datdcell c = e.popd();
    EXPECT_EQ(c.isint, 0u);
    return c.d;
}

int64_t floorof(ExeScr& e, double x)
{
    e.pushdbl(x);
    e.floor_exec();
    return popint(e);
}

int64_t randof(ExeScr& e, int64_t n)
{
    e.pushint(n);
    e.rand_exec();
    return popint(e);
}

}  // namespace

TEST(MathFunctions, EachWordItsFunctionAsADouble)
{
    ExeScr e;
    auto apply = [&](execfn op, int64_t x) {
        e.pushint(x);  // integers are converted
        (e.*op)();
        return popdbl(e);
    };
    EXPECT_EQ(apply(&ExeScr::sqrt_exec, 16), 4.0);
    EXPECT_EQ(apply(&ExeScr::sin_exec, 0), 0.0);
    EXPECT_EQ(apply(&ExeScr::cos_exec, 0), 1.0);
    EXPECT_DOUBLE_EQ(apply(&ExeScr::asin_exec, 1), 1.5707963267948966);
    EXPECT_DOUBLE_EQ(apply(&ExeScr::acos_exec, -1), 3.141592653589793);
    EXPECT_DOUBLE_EQ(apply(&ExeScr::tan_exec, 1), 1.5574077246549023);
    EXPECT_DOUBLE_EQ(apply(&ExeScr::atan_exec, 1), 0.7853981633974483);
    EXPECT_DOUBLE_EQ(apply(&ExeScr::log_exec, 1), 0.0);
    EXPECT_DOUBLE_EQ(apply(&ExeScr::log10_exec, 1000), 3.0);
    EXPECT_DOUBLE_EQ(apply(&ExeScr::exp_exec, 1), 2.718281828459045);
    // Domain errors go on as values.
    EXPECT_TRUE(std::isnan(apply(&ExeScr::sqrt_exec, -1)));
    EXPECT_TRUE(std::isnan(apply(&ExeScr::asin_exec, 2)));
    EXPECT_EQ(apply(&ExeScr::log_exec, 0), -HUGE_VAL);
    EXPECT_TRUE(e.datd.empty());
    e.freedatd();
}

TEST(MathFunctions, PowTakesTheFirstArgumentAsTheBase)
{
    ExeScr e;
    e.pushint(10);
    e.pushint(2);
    e.pow_exec();
    EXPECT_EQ(popdbl(e), 1024.0);
    e.pushdbl(0.5);
    e.pushint(9);
    e.pow_exec();
    EXPECT_EQ(popdbl(e), 3.0);
    e.freedatd();
}

TEST(MathFloor, IntegersAtOrBelowTheValue)
{
    ExeScr e;
    EXPECT_EQ(floorof(e, -2.5), -3);
    EXPECT_EQ(floorof(e, 2.0), 2);
    EXPECT_EQ(floorof(e, 2.9), 2);
    EXPECT_EQ(floorof(e, -0.5), -1);
    EXPECT_EQ(floorof(e, -0.0), 0);
    EXPECT_EQ(floorof(e, -3.0), -3);
    EXPECT_EQ(floorof(e, 4503599627370495.5), 4503599627370495);
    EXPECT_EQ(floorof(e, -4503599627370495.5), -4503599627370496);
    EXPECT_EQ(floorof(e, 9007199254740993.0), 9007199254740992);
    EXPECT_EQ(floorof(e, -9223372036854775808.0), INT64_MIN);
    EXPECT_EQ(floorof(e, 1e300), INT64_MIN) << "out of range gives the indefinite integer";
    EXPECT_EQ(floorof(e, std::nan("")), INT64_MIN);
    e.pushint(INT64_MAX - 1);
    e.floor_exec();
    EXPECT_EQ(popint(e), INT64_MAX - 1) << "an integer stays exact";
    e.pushint(INT64_MIN);
    e.floor_exec();
    EXPECT_EQ(popint(e), INT64_MIN);
    e.freedatd();
}

TEST(MathRand, ValuesBelowTheMagnitudeOfN)
{
    ExeScr e;
    EXPECT_EQ(e.randseeded, 0u);
    bool seen[6] = {};
    for (int k = 0; k < 600; ++k) {
        const int64_t r = randof(e, 6);
        ASSERT_GE(r, 0);
        ASSERT_LT(r, 6);
        seen[r] = true;
    }
    EXPECT_EQ(e.randseeded, 1u);
    for (bool s : seen)
        EXPECT_TRUE(s);
    for (int k = 0; k < 100; ++k) {
        const int64_t r = randof(e, -6);
        ASSERT_GE(r, 0);
        ASSERT_LT(r, 6);
    }
    EXPECT_EQ(randof(e, 1), 0);
    e.pushdbl(1.9);
    e.rand_exec();
    EXPECT_EQ(popint(e), 0) << "n is truncated";
    for (int k = 0; k < 100; ++k)
        ASSERT_LE(randof(e, 1000000), 32767);
    e.freedatd();

    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.pushint(0); x.rand_exec(); }), L"division by zero");
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.pushdbl(0.5); x.rand_exec(); }), L"division by zero");
}

// Each script runs on its own thread, and the generator's state is the thread's.
TEST(MathRand, ScriptsSeededInTheSameSecondShareTheirSequence)
{
    struct run {
        ExeScr e;
        int64_t values[8] = {};
        static DWORD WINAPI draw(void* p)
        {
            run* r = static_cast<run*>(p);
            for (int64_t& v : r->values)
                v = randof(r->e, 1000);
            return 0;
        }
    };
    for (int attempt = 0; attempt < 3; ++attempt) {
        const time_t before = time(nullptr);
        run a, b;
        HANDLE ta = CreateThread(nullptr, 0, &run::draw, &a, 0, nullptr);
        HANDLE tb = CreateThread(nullptr, 0, &run::draw, &b, 0, nullptr);
        WaitForSingleObject(ta, INFINITE);
        WaitForSingleObject(tb, INFINITE);
        CloseHandle(ta);
        CloseHandle(tb);
        a.e.freedatd();
        b.e.freedatd();
        if (time(nullptr) != before)
            continue;  // the seconds turned between the seeds
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(a.values[k], b.values[k]) << k;
        return;
    }
    GTEST_SKIP() << "the clock's second kept turning";
}

TEST(MathClock, MillisecondsOfTheProcess)
{
    ExeScr e;
    e.clock_exec();
    const int64_t a = popint(e);
    Sleep(50);
    e.clock_exec();
    const int64_t b = popint(e);
    EXPECT_GE(a, 0);
    EXPECT_GE(b - a, 30);
    EXPECT_LT(b - a, 5000);
    e.freedatd();
}
