// Test entry: the engine's program folder is a scratch folder with a "log"
// folder, the host's main window is a hidden window of the test thread, and
// the power calls are stand-ins.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/quorvelcore.h"
#include "support/powerstandin.h"
#include "support/testenv.h"

namespace {

// A crash on any thread must fail the test binary: left to Wine, the debugger
// reports it and the process may still end with status 0.
LONG WINAPI crashed(EXCEPTION_POINTERS* info)
{
    fprintf(stderr, "\nunhandled exception 0x%08lx at %p\n", info->ExceptionRecord->ExceptionCode,
            info->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 70);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

int main(int argc, char** argv)
{
    SetUnhandledExceptionFilter(crashed);
    // A child the process tests start: it only lives for the time asked.
    if (argc == 3 && strcmp(argv[1], "--qtest-sleep") == 0) {
        Sleep(static_cast<DWORD>(atoi(argv[2])));
        return 0;
    }
    // Before anything could reach them: no test may touch the machine's power.
    qtest::installpowerstandins();
    testing::InitGoogleTest(&argc, argv);
    programdir = qtest::scratchdir();
    hWndp = qtest::ownerwindow();
    const int result = RUN_ALL_TESTS();
    // Runs the tests started through the real start path may still be ending
    // on their threads: the process must not end (and destroy the engine's
    // globals) under them. A thread that never ends (a fatal exit dispatching
    // for ever) leaves only the end without destructors.
    fflush(stdout);
    fflush(stderr);
    if (!waitscriptthreads(5000))
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
    return result;
}
