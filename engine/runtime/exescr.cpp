// Construction and destruction of the engine object, and the code-cell loop.
#include "runtime/exescr.h"

ExeScr::ExeScr() : instanceid(reinterpret_cast<uintptr_t>(this)) {}

ExeScr::~ExeScr()
{
    // A run always closes its log; an object left with the timer of a burst
    // must not be flushed from after its end.
    if (logtimer)
        DeleteTimerQueueTimer(nullptr, logtimer, INVALID_HANDLE_VALUE);
    // Reserved address space (the global tables, large array levels), when
    // a run did not get to its end.
    for (const memrec& r : allocs)
        if (r.reserved)
            VirtualFree(r.ptr, 0, MEM_RELEASE);
}

