// The statement compiler.
#include "runtime/exescr.h"

int32_t ExeScr::compscr(wchar_t* text, int32_t mode)
{
    return 0;  // statements are not compiled yet: only declarations load
}
