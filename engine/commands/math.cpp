// Runtimes of the math commands: the library's floating-point functions,
// floor, a random integer and the process clock.
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "commands/cmdargs.h"
#include "runtime/exescr.h"

namespace {

template <class F>
void applydbl(ExeScr& e, F f)
{
    const double x = cmdargs::todbl(e.popd());
    e.pushdbl(f(x));
}

}  // namespace

// Domain errors are no script errors: NaN and infinities go on as values.
void ExeScr::sqrt_exec() { applydbl(*this, [](double x) { return std::sqrt(x); }); }
void ExeScr::sin_exec() { applydbl(*this, [](double x) { return std::sin(x); }); }
void ExeScr::asin_exec() { applydbl(*this, [](double x) { return std::asin(x); }); }
void ExeScr::cos_exec() { applydbl(*this, [](double x) { return std::cos(x); }); }
void ExeScr::acos_exec() { applydbl(*this, [](double x) { return std::acos(x); }); }
void ExeScr::tan_exec() { applydbl(*this, [](double x) { return std::tan(x); }); }
void ExeScr::atan_exec() { applydbl(*this, [](double x) { return std::atan(x); }); }
void ExeScr::log_exec() { applydbl(*this, [](double x) { return std::log(x); }); }
void ExeScr::log10_exec() { applydbl(*this, [](double x) { return std::log10(x); }); }
void ExeScr::exp_exec() { applydbl(*this, [](double x) { return std::exp(x); }); }

void ExeScr::pow_exec()
{
    const double x = cmdargs::todbl(popd());
    const double y = cmdargs::todbl(popd());
    pushdbl(std::pow(x, y));
}

void ExeScr::floor_exec()
{
    const datdcell c = popd();
    // An integer is its own floor; through a double it could lose its low digits.
    if (c.isint) {
        pushint(c.i);
        return;
    }
    double x = c.d;
    // From 2^52 on every double is integral already.
    if (std::fabs(x) < 4503599627370496.0) {
        const double t = static_cast<double>(static_cast<int64_t>(x));
        x = t > x ? t - 1.0 : t;
    }
    pushint(dbl2i64(x));
}

void ExeScr::rand_exec()
{
    const int32_t n = cmdargs::toi32(popd());
    if (!randseeded) {
        // The generator's state is this thread's, and each script has its own thread.
        srand(static_cast<unsigned>(time(nullptr)));
        randseeded = 1;
    }
    if (n == 0)
        myerrexit(L"division by zero");
    pushint(rand() % n);
}

void ExeScr::clock_exec() { pushint(static_cast<int64_t>(clock())); }
