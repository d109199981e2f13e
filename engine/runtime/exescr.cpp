// Construction and destruction of the engine object, and the code-cell loop.
#include "runtime/exescr.h"

ExeScr::ExeScr() : instanceid(reinterpret_cast<uintptr_t>(this)) {}

ExeScr::~ExeScr()
{
    // A run always closes its log; an object left with the timer of a burst
    // must not be flushed from after its end.
    if (logtimer)
        DeleteTimerQueueTimer(nullptr, logtimer, INVALID_HANDLE_VALUE);
    // The global table's address space, when a run did not get to its end.
    if (globalsreserved)
        VirtualFree(globals.base, 0, MEM_RELEASE);
    if (auxreserved)
        VirtualFree(globalaux.base, 0, MEM_RELEASE);
    if (namesreserved)
        VirtualFree(globalnames.base, 0, MEM_RELEASE);
}

