// The run list (the scripts running in the process) and the entry points the
// host calls.
#include "runtime/runlist.h"

#include <process.h>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

std::mutex g_scriptmutex;
std::vector<listedrun> runlist;
std::wstring g_runlisttext;

// Set whenever a run leaves the run list, so that mythreadclosure wakes at
// once instead of at its next poll. Made with the first start.
static HANDLE runlistchanged()
{
    static HANDLE ev = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    return ev;
}

void unregister(ExeScr* exe)
{
    if (HANDLE ev = runlistchanged())
        SetEvent(ev);
    exe->wakejoiners();
    for (auto it = runlist.begin(); it != runlist.end(); ++it) {
        if (it->exe == exe) {
            runlist.erase(it);
            return;
        }
    }
}

void rebuildrunlist()
{
    g_runlisttext = L" ";
    for (size_t k = 0; k < runlist.size(); ++k) {
        if (k)
            g_runlisttext += L'|';
        g_runlisttext += runlist[k].name;
    }
}

void runlistmark(bool focused)
{
    std::wstring line;
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        if (!g_runlisttext.empty())
            g_runlisttext[0] = focused ? L'*' : L' ';
        line = g_runlisttext;
    }
    if (hWndRunEdit)
        SetWindowTextW(hWndRunEdit, line.c_str());
}

void stopscript(ExeScr* key, uint32_t all)
{
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    for (listedrun& r : runlist) {
        if (!all && r.parent != key)
            continue;
        r.exe->stopflag = 1;
        if (r.exe->waitevent)
            SetEvent(r.exe->waitevent);
        if (r.exe->clipevent) {
            r.exe->clipresult = 2;
            SetEvent(r.exe->clipevent);
        }
        r.exe->wakeboxwaits();
    }
}

namespace {

// Every script thread not yet seen ended: a run leaves the run list before its
// thread has destroyed its engine and left the C runtime and the system's
// thread detach, and the process must not end (and destroy this library's
// globals) while that is under way.
std::mutex threadsmutex;
std::vector<HANDLE> scriptthreads;

bool threadended(HANDLE h)
{
    return WaitForSingleObject(h, 0) != WAIT_TIMEOUT;
}

// Closes the handles of the threads that have ended; the caller holds the lock.
void dropended()
{
    auto it = scriptthreads.begin();
    while (it != scriptthreads.end()) {
        if (threadended(*it)) {
            CloseHandle(*it);
            it = scriptthreads.erase(it);
        } else {
            ++it;
        }
    }
}

// A handle of the first script thread still running, for the caller to wait
// on and close; null when none runs.
HANDLE runningthread()
{
    std::lock_guard<std::mutex> lock(threadsmutex);
    dropended();
    HANDLE copy = nullptr;
    if (!scriptthreads.empty())
        DuplicateHandle(GetCurrentProcess(), scriptthreads.front(), GetCurrentProcess(), &copy, SYNCHRONIZE,
                        FALSE, 0);
    return copy;
}

}  // namespace

bool startscriptthread(unsigned(__stdcall* entry)(void*), void* arg)
{
    // The stack size is a reservation, not a commitment: pages are committed
    // only as the compiler or a deep call chain reaches them.
    const uintptr_t h = _beginthreadex(nullptr, scriptstacksize, entry, arg, STACK_SIZE_PARAM_IS_A_RESERVATION,
                                       nullptr);
    if (h == 0)
        return false;
    std::lock_guard<std::mutex> lock(threadsmutex);
    dropended();
    scriptthreads.push_back(reinterpret_cast<HANDLE>(h));
    return true;
}

namespace {

// One start's handshake. Each start waits on its own record, so a start made
// while an earlier one pumps messages (a second Run from the host's window)
// can never release the earlier one before its thread has copied the path.
struct startrec {
    const wchar_t* path;
    volatile LONG done;
};

// One main script on its own thread: build, register, run, unregister, destroy.
void mainthreadproc(startrec* rec)
{
    ExeScr engine;
    engine.threadmode = 0;
    engine.threadinfo = nullptr;
    const std::wstring path = rec->path;
    const std::wstring name = runname(path);
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        runlist.push_back(listedrun{path, name, &engine, nullptr});
        engine.scriptpath = path;
        engine.args = argbuffs;
        rebuildrunlist();
        InterlockedExchange(&rec->done, 1);  // `rec` and its path may go away from here on
    }
    engine.runscriptchk();
    std::unique_lock<std::mutex> lock(g_scriptmutex);
    if (engine.stopflag != 1) {
        for (const listedrun& r : runlist) {
            if (r.parent == &engine) {
                lock.unlock();
                engine.myerrexit(L" Child thread is still running error.");
            }
        }
    }
    unregister(&engine);
}

unsigned __stdcall mainthreadentry(void* arg)
{
    mainthreadproc(static_cast<startrec*>(arg));
    return 0;
}

// Pumps the calling thread's messages until `done` says so (tested after each
// message and whenever the queue is empty) or `deadline` (GetTickCount64)
// passes, waiting between looks for `h` (none when null) or a message, at most
// `step` ms at a time; false when the deadline came first.
template <class F>
bool pumpbefore(F done, HANDLE h, ULONGLONG deadline, DWORD step)
{
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (done())
                return true;
        }
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        const ULONGLONG left = deadline - now;
        if (msgwait(h ? 1 : 0, &h, left < step ? static_cast<DWORD>(left) : step) == WAIT_FAILED)
            Sleep(10);
    }
}

constexpr ULONGLONG never = ~0ull;

}  // namespace

extern "C" {

void startMyExec(const wchar_t* path)
{
    startrec rec{path, 0};
    if (!startscriptthread(mainthreadentry, &rec))
        return;
    // The new thread copies the path and registers the run before it marks the
    // record; meanwhile its messages to our windows must be answered.
    pumpbefore([&rec] { return rec.done != 0; }, nullptr, never, 10);
}

int setfocusto()
{
    HWND wnd = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        if (runlist.empty())
            return 0;
        wnd = runlist.back().exe->scriptwnd;
    }
    if (!wnd)
        return 0;
    return SetFocus(wnd) ? 1 : 0;
}

int setfocusto_m(const wchar_t* name)
{
    std::wstring want = name;
    const size_t dot = want.rfind(L'.');
    if (dot != std::wstring::npos)
        want.resize(dot);
    std::vector<HWND> windows;
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        for (const listedrun& r : runlist)
            if (r.name == want && r.exe->scriptwnd)
                windows.push_back(r.exe->scriptwnd);
    }
    int any = 0;
    for (HWND w : windows)
        if (SetFocus(w))
            any = 1;
    return any;
}

int queryexeflag()
{
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    return runlist.empty() ? 0 : static_cast<int>(runlist.back().exe->running);
}

int queryexealive(const wchar_t* path)
{
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    for (const listedrun& r : runlist)
        if (r.path == path)
            return 1;
    return 0;
}

int mythreadclosure()
{
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        for (listedrun& r : runlist) {
            ExeScr& e = *r.exe;
            e.stopflag = 1;
            if (e.waitevent)
                SetEvent(e.waitevent);
            e.wakejoiners();
            if (e.clipevent) {
                e.clipresult = 2;
                SetEvent(e.clipevent);
            }
            // Every box wait ends too, the ones begun from now on included.
            e.wakeboxwaits();
        }
    }
    // Bounded by time, not by idle waits: a steady stream of messages (mouse
    // moves) must not keep the close waiting for ever.
    pumpbefore(
        [] {
            std::lock_guard<std::mutex> lock(g_scriptmutex);
            return runlist.empty();
        },
        runlistchanged(), GetTickCount64() + closurewaitms, 100);
    return 1;
}

int waitscriptthreads(unsigned ms)
{
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
        HANDLE h = runningthread();
        if (!h)
            return 1;
        // An ending thread may still send to the caller's windows: answer it.
        const bool ended = pumpbefore([h] { return threadended(h); }, h, deadline, INFINITE);
        CloseHandle(h);
        if (!ended)
            return 0;
    }
}

}  // extern "C"
