// The predefined classes, built by the compiler from code-point runs: nothing
// is computed when a pattern is compiled, a record is only copied.
#include "regexp/unicodetables.h"

#include <cstddef>

namespace {

#include "regexp/unicoderuns.inc"

// White_Space: 25 code points.
constexpr cprun spaceruns[] = {
    {0x09, 0x0D}, {0x20, 0x20}, {0x85, 0x85}, {0xA0, 0xA0}, {0x1680, 0x1680},
    {0x2000, 0x200A}, {0x2028, 0x2029}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000},
};

template <size_t N>
constexpr classrec fromruns(const cprun (&runs)[N], bool complement)
{
    classrec r{};
    for (const cprun& run : runs)
        r.addrange(run.first, run.last);
    if (complement)
        r.complement();
    return r;
}

constexpr classrec tables[tblcount] = {
    fromruns(digitruns, false), fromruns(digitruns, true), fromruns(spaceruns, false),
    fromruns(spaceruns, true),  fromruns(wordruns, false), fromruns(wordruns, true),
};

}  // namespace

const classrec& predefclass(uint32_t table)
{
    return tables[table];
}

uint32_t predefescape(wchar_t letter)
{
    switch (letter) {
    case L'd': return tbldigit;
    case L'D': return tblnotdigit;
    case L's': return tblspace;
    case L'S': return tblnotspace;
    case L'w': return tblword;
    case L'W': return tblnotword;
    default: return tblcount;
    }
}
