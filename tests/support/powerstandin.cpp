#include "support/powerstandin.h"

#include <mutex>

#include "commands/powerseam.h"

namespace qtest {

namespace {

std::mutex g_lock;
std::vector<powercall> g_calls;

BOOL record(powercall::kind what, int64_t first, int64_t second)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_calls.push_back(powercall{what, first, second});
    return TRUE;
}

BOOL fakepowerstate(BOOL suspend, BOOL force) { return record(powercall::powerstate, suspend, force); }
BOOL fakeexitwindows(UINT flags, DWORD reason) { return record(powercall::exitwindows, flags, reason); }
BOOL fakemonitorpower(LPARAM level) { return record(powercall::monitorpower, level, 0); }

}  // namespace

void installpowerstandins()
{
    setpowerseam(::powercalls{fakepowerstate, fakeexitwindows, fakemonitorpower});
}

std::vector<powercall> powercalls()
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_calls;
}

void clearpowercalls()
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_calls.clear();
}

}  // namespace qtest
