// The statement compiler.
#include "runtime/exescr.h"

int32_t ExeScr::compscr(wchar_t* text, int32_t mode)
{
    emitcell(nullptr);  // statements are not compiled yet: every unit ends at once
    return 0;
}
