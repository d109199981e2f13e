// The run list: the scripts running in the process, and the running-scripts line.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include <windows.h>

#include "runtime/scriptname.h"

class ExeScr;

// One running script or script thread. A listed engine is always alive:
// its thread removes the entry, under the lock, before destroying it.
struct listedrun {
    std::wstring path;  // exactly as the run was started with
    std::wstring name;  // the file name without folder, cut at its last "."
    ExeScr* exe;
    ExeScr* parent;     // the engine that started this script thread, else null
};

// Every access to runlist and g_runlisttext holds g_scriptmutex. The
// lock is never held while a message is sent to another thread's window, a
// box is shown or a fatal error is raised.
extern std::mutex g_scriptmutex;
extern std::vector<listedrun> runlist;
// One marker (" ", or "*" while a script window has the focus), then the
// names of every entry joined by "|".
extern std::wstring g_runlisttext;
// Script threads reserve this much stack: the compiler's nesting bound and
// the call depth bound both fit in it with room to spare.
constexpr unsigned scriptstacksize = 16u << 20;
// How long mythreadclosure waits at most for the run list to empty.
constexpr unsigned closurewaitms = 5000;

// Starts a main script or a script thread on a thread of its own; false when
// no thread could be started.
bool startscriptthread(unsigned(__stdcall* entry)(void*), void* arg);

// Removes the entry of `exe`; the caller holds the lock.
void unregister(ExeScr* exe);
// Rebuilds g_runlisttext from the run list; the caller holds the lock.
void rebuildrunlist();
// Sets the running-scripts line's marker and shows the line in hWndRunEdit.
void runlistmark(bool focused);
// Sets the stop flag (and wakes the wait) of every entry, or of every script
// thread started by `key`.
void stopscript(ExeScr* key, uint32_t all);
