// The registry of running scripts and the entry points the host calls.
#include "runtime/registry.h"

#include <process.h>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

std::mutex g_scriptmutex;
std::vector<regentry> scriptregistry;
std::wstring g_runlisttext;
volatile LONG g_startflag = 0;

void unregister(ExeScr* exe)
{
    for (auto it = scriptregistry.begin(); it != scriptregistry.end(); ++it) {
        if (it->exe == exe) {
            scriptregistry.erase(it);
            return;
        }
    }
}

void rebuildrunlist()
{
    g_runlisttext = L" ";
    for (size_t k = 0; k < scriptregistry.size(); ++k) {
        if (k)
            g_runlisttext += L'|';
        g_runlisttext += scriptregistry[k].name;
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
    for (regentry& r : scriptregistry) {
        if (!all && r.parent != key)
            continue;
        r.exe->stopflag = 1;
        if (r.exe->waitevent)
            SetEvent(r.exe->waitevent);
    }
}

// One main script on its own thread: build, register, run, unregister, destroy.
static void mainthreadproc(const wchar_t* path)
{
    ExeScr engine;
    engine.threadmode = 0;
    engine.threadinfo = nullptr;
    const std::wstring name = runname(path);
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        scriptregistry.push_back(regentry{path, name, &engine, nullptr});
        engine.scriptpath = path;
        engine.args = argbuffs;
        rebuildrunlist();
        InterlockedExchange(&g_startflag, 0);  // `path` may go away from here on
    }
    engine.runscriptchk();
    std::unique_lock<std::mutex> lock(g_scriptmutex);
    if (engine.stopflag != 1) {
        for (const regentry& r : scriptregistry) {
            if (r.parent == &engine) {
                lock.unlock();
                engine.myerrexit(L" Child thread is still running error.");
            }
        }
    }
    unregister(&engine);
}

static void __cdecl mainthreadentry(void* arg)
{
    mainthreadproc(static_cast<const wchar_t*>(arg));
}

// Pumps the calling thread's messages until `done` says so; MsgWaitForMultiple
// with no handles sleeps until input arrives or `ms` pass.
template <class F>
static void pumpuntil(F done, DWORD ms)
{
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (done())
                return;
        }
        if (done())
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
    }
}

extern "C" {

void startMyExec(const wchar_t* path)
{
    InterlockedExchange(&g_startflag, 1);
    if (_beginthread(mainthreadentry, 0, const_cast<wchar_t*>(path)) == static_cast<uintptr_t>(-1)) {
        InterlockedExchange(&g_startflag, 0);
        return;
    }
    // The new thread copies the path and registers the run before it clears the
    // flag; meanwhile its messages to our windows must be answered.
    pumpuntil([] { return g_startflag != 1; }, 10);
}

int setfocusto()
{
    HWND wnd = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        if (scriptregistry.empty())
            return 0;
        wnd = scriptregistry.back().exe->scriptwnd;
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
        for (const regentry& r : scriptregistry)
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
    return scriptregistry.empty() ? 0 : static_cast<int>(scriptregistry.back().exe->running);
}

int queryexealive(const wchar_t* path)
{
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    for (const regentry& r : scriptregistry)
        if (r.path == path)
            return 1;
    return 0;
}

int mythreadclosure()
{
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        for (regentry& r : scriptregistry) {
            ExeScr& e = *r.exe;
            e.stopflag = 1;
            if (e.waitevent)
                SetEvent(e.waitevent);
            if (e.joinevent)
                SetEvent(e.joinevent);
            if (e.clipevent) {
                e.clipresult = 2;
                SetEvent(e.clipevent);
            }
            // Every box wait ends too, the ones begun from now on included.
            e.wakeboxwaits();
        }
    }
    for (int timeouts = 0; timeouts < 50;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const DWORD r = MsgWaitForMultipleObjectsEx(0, nullptr, 100, QS_ALLINPUT | QS_ALLPOSTMESSAGE,
                                                    MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0)
            continue;
        if (r != WAIT_TIMEOUT)
            break;
        ++timeouts;
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        if (scriptregistry.empty())
            break;
    }
    return 1;
}

}  // extern "C"
