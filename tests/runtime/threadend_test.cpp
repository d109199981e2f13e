// The end of a run's thread: a run leaves the run list before its thread has
// ended (it still destroys its engine, leaves the C runtime and passes the
// system's thread detach), and a host must not end the process under it.
// waitscriptthreads is how a host waits for that end. The tests make the
// detach of one chosen thread slow with a TLS callback of this program, which
// the loader calls in every thread's detach, after its thread routine returned.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"
#include "support/testenv.h"

using qtest::pump;
using qtest::scratchdir;

namespace {

volatile DWORD g_slowtid = 0;     // the thread whose detach is slowed
volatile DWORD g_detachms = 0;    // by this much
volatile LONG g_detachdone = 0;   // set once its detach has slept

void NTAPI slowdetach(PVOID, DWORD reason, PVOID)
{
    if (reason == DLL_THREAD_DETACH && g_slowtid != 0 && GetCurrentThreadId() == g_slowtid) {
        Sleep(g_detachms);
        InterlockedExchange(&g_detachdone, 1);
    }
}

}  // namespace

#if defined(_MSC_VER)
#pragma comment(linker, "/INCLUDE:_tls_used")
#pragma section(".CRT$XLQ", long, read)
extern "C" __declspec(allocate(".CRT$XLQ")) const PIMAGE_TLS_CALLBACK qtest_slowdetach = slowdetach;
#else
extern "C" __attribute__((section(".CRT$XLQ"), used)) const PIMAGE_TLS_CALLBACK qtest_slowdetach = slowdetach;
#endif

namespace {

// The thread of the registered run of `path` (main run, or with `child` its
// script thread), found by its script window; 0 while it has none.
DWORD runthread(const std::wstring& path, bool child)
{
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    for (const listedrun& r : runlist)
        if (r.path == path && (r.parent != nullptr) == child && r.exe->scriptwnd)
            return GetWindowThreadProcessId(r.exe->scriptwnd, nullptr);
    return 0;
}

bool waitfor(const std::function<bool()>& done, DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() > end)
            return false;
        pump(5);
    }
    return true;
}

// Starts `text` as a main run and arms the slow detach for the thread of its
// run (or of its script thread) once that has its script window.
DWORD startslow(const wchar_t* name, const wchar_t* text, bool child, DWORD ms)
{
    const std::wstring path = scratchdir() + name + L".tst";
    qtest::writescript(path, text);
    g_detachdone = 0;
    g_detachms = ms;
    startMyExec(path.c_str());
    DWORD tid = 0;
    waitfor([&] { return (tid = runthread(path, child)) != 0; }, 10000);
    g_slowtid = tid;
    return tid;
}

bool left(const wchar_t* name)
{
    const std::wstring path = scratchdir() + name + L".tst";
    return waitfor([&] { return queryexealive(path.c_str()) == 0; }, 10000);
}

struct disarm {
    ~disarm()
    {
        waitscriptthreads(10000);
        g_slowtid = 0;
    }
};

}  // namespace

TEST(ThreadEnd, AHostWaitsForTheMainRunsThreadAfterItLeftTheRunList)
{
    disarm guard;
    ASSERT_NE(startslow(L"slowmain", L"main\r\n{\r\n    sleepm(200)\r\n}\r\n", false, 400), 0u);
    ASSERT_TRUE(left(L"slowmain"));
    EXPECT_EQ(g_detachdone, 0) << "the run has left the run list; its thread still runs its end";
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(waitscriptthreads(5000), 1);
    EXPECT_EQ(g_detachdone, 1) << "returned only once the thread had ended";
    EXPECT_LT(GetTickCount64() - started, 5000u);
}

TEST(ThreadEnd, AHostWaitsForAScriptThreadToo)
{
    disarm guard;
    // The main run ends with "exit" (which does not wait for its script
    // thread) while the thread waits for a process that no stop ends: the
    // thread is the last to leave the run list, long after the main run's
    // thread has ended.
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring text = L"main\r\n{\r\n    t = threadstart(worker)\r\n    sleepm(100)\r\n    exit\r\n}\r\n"
                              L"thread worker()\r\n{\r\n    creproc('\"" +
                              std::wstring(self) + L"\" --qtest-sleep 600', 1)\r\n}\r\n";
    ASSERT_NE(startslow(L"slowchild", text.c_str(), true, 400), 0u);
    ASSERT_TRUE(left(L"slowchild"));
    exitflag = 0;  // for the runs of later tests
    EXPECT_EQ(g_detachdone, 0) << "the script thread has left the run list; it still runs its end";
    EXPECT_EQ(waitscriptthreads(5000), 1);
    EXPECT_EQ(g_detachdone, 1) << "returned only once the script thread had ended";
}

TEST(ThreadEnd, TheWaitIsBoundedInTime)
{
    disarm guard;
    ASSERT_NE(startslow(L"slowbound", L"main\r\n{\r\n    sleepm(100)\r\n}\r\n", false, 1500), 0u);
    ASSERT_TRUE(left(L"slowbound"));
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(waitscriptthreads(100), 0) << "the thread is still in its end";
    EXPECT_LT(GetTickCount64() - started, 1000u);
    EXPECT_EQ(g_detachdone, 0);
    EXPECT_EQ(waitscriptthreads(10000), 1);
    EXPECT_EQ(g_detachdone, 1);
}

TEST(ThreadEnd, WithNoRunsTheWaitReturnsAtOnce)
{
    EXPECT_EQ(waitscriptthreads(10000), 1);
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(waitscriptthreads(10000), 1);
    EXPECT_LT(GetTickCount64() - started, 1000u);
}

// The other half of a process's odd ends lay before any of its code ran: Wine's
// loader, started with a randomised layout, now and then finds its own heap on
// the page it must map the shared user data at and ends with status 1. The
// tools start it unrandomised (tools/wine); a program started any other way
// would meet that end again, so the test process checks how it was started.
TEST(ProcessStart, UnderWineTheLoaderRunsWithAFixedLayout)
{
    if (!qtest::underwine())
        GTEST_SKIP() << "not under Wine";
    wchar_t self[MAX_PATH];
    const DWORD len = GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_GT(len, 0u);
    std::wstring wide(self, len);
    wide.erase(0, wide.rfind(L'\\') + 1);
    const std::string image(wide.begin(), wide.end());  // an ASCII file name
    // Wine's Z: is the Unix root, but "/proc/self" there is the wineserver,
    // which opens files for its clients: the process is found by its command
    // line, which Wine's loader sets to the program's path as it was given.
    // Every process of this program is checked; they are all started alike.
    int found = 0;
    WIN32_FIND_DATAW fd;
    HANDLE dir = FindFirstFileW(L"Z:\\proc\\*", &fd);
    ASSERT_NE(dir, INVALID_HANDLE_VALUE);
    do {
        if (fd.cFileName[0] < L'0' || fd.cFileName[0] > L'9')
            continue;
        const std::wstring proc = std::wstring(L"Z:\\proc\\") + fd.cFileName;
        const std::string cmd = qtest::readbytes(proc + L"\\cmdline");
        std::string first = cmd.substr(0, cmd.find('\0'));
        first.erase(0, first.find_last_of("/\\") + 1);
        if (_stricmp(first.c_str(), image.c_str()) != 0)
            continue;
        ++found;
        const std::string personality = qtest::readbytes(proc + L"\\personality");
        constexpr unsigned long addr_no_randomize = 0x0040000;
        EXPECT_NE(strtoul(personality.c_str(), nullptr, 16) & addr_no_randomize, 0u)
            << image << " runs with personality " << personality;
    } while (FindNextFileW(dir, &fd));
    FindClose(dir);
    EXPECT_GE(found, 1) << "no process runs " << image;
}
