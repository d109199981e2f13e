#include "seams.h"

#include "core/syslog.h"
#include "hoststate.h"

namespace host {

namespace {

void notyet(const wchar_t* what)
{
    logmsg(L"%s: not available in this version\n", what);
}

}  // namespace

void regmainhotkey(HWND)
{
    if (!hs().firstapp) {
        logmsg(L"%s\n", L"This is not first app.");
        return;
    }
    // No main hotkey is registered yet; the title still marks the first
    // instance, which later instances look for.
    hs().titlebase = L"QUORVEL (HotKey:None)";
    settitle();
}

void unregisterhotkeys(HWND) {}

void onhotkey(HWND main, int id)
{
    if (id == 122)
        launchmenu(main, 1);
}

void launchmenu(HWND, int)
{
    notyet(L"Launch Menu");
}

void runlaunchentry(HWND, int, int)
{
    notyet(L"Launch Menu");
}

int recentmenu(HWND)
{
    notyet(L"Recently Opened Menu");
    return -1;
}

void settingwindow(HWND)
{
    notyet(L"Setting");
}

void enrollscript(HWND, int)
{
    notyet(L"Enroll Script");
}

void enrollhotkey(HWND)
{
    notyet(L"Enroll Direct Hotkey");
}

void enrollresident(HWND)
{
    notyet(L"Enroll Resident Script");
}

void startresidents() {}

}  // namespace host
