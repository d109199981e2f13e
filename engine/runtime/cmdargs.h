// How the command runtimes read a popped number: as a 32-bit position, count
// or code, as a 64-bit integer, or as a double.
#pragma once

#include <climits>
#include <cstdint>

#include "runtime/datum.h"

namespace cmdargs {

// An integer's low 32 bits; a double truncated toward zero, and out of range
// (or NaN) the smallest integer, as the processor's conversion gives.
inline int32_t toi32(const datdcell& c)
{
    if (c.isint)
        return static_cast<int32_t>(c.i);
    if (!(c.d > -2147483649.0 && c.d < 2147483648.0))
        return INT32_MIN;
    return static_cast<int32_t>(c.d);
}

// A double truncated toward zero; out of range or NaN gives INT64_MIN.
inline int64_t toi64(const datdcell& c)
{
    if (c.isint)
        return c.i;
    if (!(c.d > -9223372036854775808.0 && c.d < 9223372036854775808.0))
        return INT64_MIN;
    return static_cast<int64_t>(c.d);
}

inline double todbl(const datdcell& c) { return c.isint ? static_cast<double>(c.i) : c.d; }

}  // namespace cmdargs
