// Runtimes of the math commands: the library's floating-point functions,
// floor, a random integer and the process clock.
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "runtime/cmdargs.h"
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

// ---- front ends: one number argument, compiled whole

#define QUORVEL_ONEARG(word)                  \
    void ExeScr::word##_comp(wchar_t* args)   \
    {                                         \
        argnum(args);                         \
        emitcell(&ExeScr::word##_exec);       \
    }
QUORVEL_ONEARG(sqrt)
QUORVEL_ONEARG(sin)
QUORVEL_ONEARG(asin)
QUORVEL_ONEARG(cos)
QUORVEL_ONEARG(acos)
QUORVEL_ONEARG(tan)
QUORVEL_ONEARG(atan)
QUORVEL_ONEARG(log)
QUORVEL_ONEARG(log10)
QUORVEL_ONEARG(exp)
QUORVEL_ONEARG(floor)
QUORVEL_ONEARG(rand)
#undef QUORVEL_ONEARG

void ExeScr::pow_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    nextnum(args);
    nextnum(args);
    emitcell(&ExeScr::pow_exec);
}

// "idiv" takes 2 to 4 numbers, "imul" 2 or 3; the count is the operand.
void ExeScr::intcomp(wchar_t* args, int32_t most, execfn op)
{
    const int32_t count = splitargs(args);
    if (count < 2 || count > most)
        comperr(L"the number of argument mismatch.");
    for (int32_t k = 0; k < count; ++k)
        nextnum(args);
    emitcell(op);
    emitint(count);
}

void ExeScr::idiv_comp(wchar_t* args)
{
    intcomp(args, 4, &ExeScr::idiv_exec);
}

void ExeScr::imul_comp(wchar_t* args)
{
    intcomp(args, 3, &ExeScr::imul_exec);
}
