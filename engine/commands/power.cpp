// "shutdown": suspend, hibernate, restart or power off the machine, keep it
// awake, or turn the monitors down; and the shutdown privilege these need.
#include <cwchar>

#include "commands/powerseam.h"
#include "compiler/textscan.h"
#include "runtime/exescr.h"

namespace {

BOOL realpowerstate(BOOL suspend, BOOL force) { return SetSystemPowerState(suspend, force); }
BOOL realexitwindows(UINT flags, DWORD reason) { return ExitWindowsEx(flags, reason); }
BOOL realmonitorpower(LPARAM level)
{
    return PostMessageW(HWND_BROADCAST, WM_SYSCOMMAND, SC_MONITORPOWER, level);
}

powercalls& current()
{
    static powercalls calls = {realpowerstate, realexitwindows, realmonitorpower};
    return calls;
}

// In the order they are tried; each is matched over its own length.
const wchar_t* const powerwords[] = {L"suspend",      L"hibernate",      L"reboot",
                                     L"shutdown",     L"forcereboot",    L"forceshudown",
                                     L"preventsuspend", L"monitor_low",  L"monitor_off"};

}  // namespace

const powercalls& powerseam() { return current(); }

powercalls setpowerseam(const powercalls& calls)
{
    const powercalls old = current();
    current() = calls;
    return old;
}

void ExeScr::enableshutdownpriv()
{
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token);
    TOKEN_PRIVILEGES tp = {};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &tp.Privileges[0].Luid)) {
        const DWORD err = GetLastError();
        if (token)
            CloseHandle(token);
        myerrexit(L"LookupPrivilegeValue error: %u", static_cast<unsigned>(err));
    }
    if (!AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr)) {
        const DWORD err = GetLastError();
        if (token)
            CloseHandle(token);
        myerrexit(L"AdjustTokenPrivileges error: %u", static_cast<unsigned>(err));
    }
    if (token)
        CloseHandle(token);
    shutdownpriv = 1;
}

void ExeScr::shutdownprivonce()
{
    if (shutdownpriv == 0)
        enableshutdownpriv();
}

void ExeScr::shutdown_exec()
{
    const int32_t code = static_cast<int32_t>(popd().i);
    if (code == 6) {
        const EXECUTION_STATE was = SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
        mylogverbose(was ? L"SetThreadExecutionState success \n" : L"SetThreadExecutionState faill \n");
        return;
    }
    if (code < 0 || code > 8)
        return;
    shutdownprivonce();
    const powercalls& calls = powerseam();
    switch (code) {
    case 0: calls.setsystempowerstate(TRUE, FALSE); break;
    case 1: calls.setsystempowerstate(FALSE, FALSE); break;
    case 2: calls.exitwindowsex(EWX_REBOOT, 0); break;
    case 3: calls.exitwindowsex(EWX_POWEROFF, 0); break;
    case 4: calls.exitwindowsex(EWX_REBOOT | EWX_FORCE, 0); break;
    case 5: calls.exitwindowsex(EWX_POWEROFF | EWX_FORCE, 0); break;
    case 7: calls.monitorpower(1); break;
    default: calls.monitorpower(2); break;
    }
}

void ExeScr::shutdown_comp(wchar_t* args)
{
    const wchar_t* text = textscan::skipblank(args);
    for (int32_t code = 0; code < 9; ++code) {
        const wchar_t* w = powerwords[code];
        if (wcsncmp(text, w, wcslen(w)) == 0) {
            emitcell(&ExeScr::pushint_exec);
            emitint(code);
            emitcell(&ExeScr::shutdown_exec);
            return;
        }
    }
    comperr(L"Not supported parameter.");
}
