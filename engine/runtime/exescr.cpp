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
    if (globals.base)
        VirtualFree(globals.base, 0, MEM_RELEASE);
}

void ExeScr::runcode(uint32_t start)
{
    ip = code + start;
    for (;;) {
        codecell* cell = ip;
        if (!cell->op)
            return;
        ip = cell + 1;  // before the call: operands follow, jumps overwrite it
        (this->*(cell->op))();
        if (stopflag == 1)
            return;
        // Now and then, hear the script window: ESC must reach a busy loop.
        if (--pollcountdown == 0) {
            pollcountdown = pollinterval;
            pollmessages();
        }
    }
}
