// What the tests of the process, WMI, clipboard and device commands share.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>

#include "runtime/quorvelcore.h"
#include "runtime/exescr.h"
#include "runtime/runlist.h"
#include "support/testenv.h"

namespace qtest {

// The test program's own path: the only program besides cmd.exe these tests
// start (with "--qtest-sleep MS" it just lives that long).
inline std::wstring selfexe()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

// Set by the test set-up that started an audio server for Wine.
inline bool hasaudio()
{
    const char* v = getenv("QUORVEL_AUDIO");
    return v && v[0] == '1';
}

// Whether the log holds this exact line.
inline bool hasline(const std::wstring& log, const std::wstring& line)
{
    return (L"\n" + log).find(L"\n" + line + L"\n") != std::wstring::npos;
}

// Runs `text` as the script file "<name>.tst" of the scratch folder through
// the host's entry point, the whole run with its releases, while dispatching
// this thread's messages and calling `meanwhile` every 50 ms; returns its log.
// A fatal error's box is closed and its text added as "[box] ...".
template <class F>
std::wstring runfile(const std::wstring& name, const wchar_t* text, F meanwhile)
{
    const std::wstring path = scratchdir() + name + L".tst";
    writescript(path, text);
    startMyExec(path.c_str());
    std::wstring box;
    const ULONGLONG end = GetTickCount64() + 20000;
    DWORD tid = 0;  // the run's own thread: a box of another run is not this one's
    while (queryexealive(path.c_str()) && GetTickCount64() < end) {
        pump(50);
        meanwhile();
        if (!tid) {
            std::lock_guard<std::mutex> lock(g_scriptmutex);
            for (const listedrun& r : runlist)
                if (r.path == path && r.exe->scriptwnd)
                    tid = GetWindowThreadProcessId(r.exe->scriptwnd, nullptr);
        }
        if (HWND b = tid ? findexitbox(tid) : nullptr) {
            box = L"[box] " + boxtext(b) + L"\n";
            PostMessageW(b, WM_COMMAND, IDOK, 0);
        }
    }
    InterlockedExchange(&g_screxits, 0);
    std::wstring log = readfile(scratchdir() + L"log\\" + name + L".log");
    if (!log.empty() && log[0] == 0xFEFF)
        log.erase(0, 1);
    return log + box;
}

inline std::wstring runfile(const std::wstring& name, const wchar_t* text)
{
    return runfile(name, text, [] {});
}

}  // namespace qtest
