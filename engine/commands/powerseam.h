// The calls that put the machine to sleep, restart it, log off, power it off or
// switch the monitors off. They are made through here and nowhere else, so that
// tests can put stand-ins in their place: no test may perform them (under Wine,
// ExitWindowsEx ends the whole session).
#pragma once

#include <windows.h>

struct powercalls {
    BOOL (*setsystempowerstate)(BOOL suspend, BOOL force);
    BOOL (*exitwindowsex)(UINT flags, DWORD reason);
    // Posts SC_MONITORPOWER with `level` (1 low power, 2 off) to every top-level window.
    BOOL (*monitorpower)(LPARAM level);
};

// The calls in use: the platform's, unless a test replaced them.
const powercalls& powerseam();
// Puts `calls` in place; returns the ones it replaced.
powercalls setpowerseam(const powercalls& calls);
