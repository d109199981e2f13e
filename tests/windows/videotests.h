// What the video tests share: the media the test set-up made, and a hidden
// window for a renderer to draw into.
#pragma once

#include <windows.h>

#include <cstdlib>
#include <string>

#include "support/scriptrun.h"

namespace qtest {

// The folder of the test media (made by tests/videoclips, with its final
// "\"), empty when the test set-up made none.
inline std::wstring clipdir()
{
    const char* v = getenv("QUORVEL_VIDEO_DIR");
    if (!v || !*v)
        return L"";
    std::wstring dir = hostpath(v);
    if (dir.back() != L'\\')
        dir += L'\\';
    return dir;
}

inline std::wstring clip(const wchar_t* name) { return clipdir() + name; }

// Set by the test set-up that started an audio server for Wine.
inline bool hasplayback()
{
    const char* v = getenv("QUORVEL_AUDIO");
    return v && v[0] == '1' && !clipdir().empty();
}

// The whole rectangle of the monitor under the cursor.
inline RECT cursormonitor()
{
    POINT pt = {};
    GetCursorPos(&pt);
    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromPoint(pt, MONITOR_DEFAULTTOPRIMARY), &mi);
    return mi.rcMonitor;
}

// A script literal of a path: in double quotes, its backslashes escaped.
inline std::wstring pathliteral(const std::wstring& path)
{
    std::wstring out = L"\"";
    for (wchar_t c : path) {
        if (c == L'\\')
            out += L'\\';
        out += c;
    }
    return out + L"\"";
}

// A hidden top-level window of the calling thread.
struct hiddenwindow {
    HWND hwnd;
    hiddenwindow()
        : hwnd(CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr))
    {
    }
    ~hiddenwindow() { DestroyWindow(hwnd); }
    hiddenwindow(const hiddenwindow&) = delete;
    hiddenwindow& operator=(const hiddenwindow&) = delete;
};

}  // namespace qtest
