// The host program's entry: command line, system log, first-instance test,
// main window and message loop.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "core/syslog.h"
#include "hoststate.h"
#include "mainwindow.h"
#include "runtime/owners.h"
#include "runtime/quorvelcore.h"
#include "enrolres.h"
#include "tabs.h"

using namespace host;

namespace {

// How long the end waits for script threads once the window has closed.
constexpr unsigned endwaitms = 5000;

std::wstring modulepath()
{
    std::wstring buf(260, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        buf.resize(buf.size() + 260);
    }
}

std::wstring currentdir()
{
    const DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::wstring dir(n, L'\0');
    dir.resize(GetCurrentDirectoryW(n, dir.data()));
    return dir + L"\\";
}

}  // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int show)
{
    hoststate& h = hs();
    h.inst = inst;
    h.exepath = modulepath();
    programdir = h.exepath.substr(0, h.exepath.rfind(L'\\') + 1);
    h.inipath = programdir + L"quorvel.ini";
    h.curdir = currentdir();

    int argc = 0;
    const owners::localmem<LPWSTR*> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (!argv.valid()) {
        fatalexit(L"CommandLineToArgvW failed.");
        return 0;
    }
    h.cmd = parsecmdline(std::vector<std::wstring>(argv.get(), argv.get() + argc), h.curdir);
    argbuffs = h.cmd.args;
    if (h.cmd.quit)
        quitflag = 1;
    if (h.cmd.scriptgiven)
        h.curscript = h.cmd.script;
    fatalboxforhost();

    const int opened = openlogfile(programdir, h.cmd.nolog);
    if (opened != 1)
        return opened;
    // Script logs go to the "log" folder whether or not the system log is kept.
    ensurelogdir(programdir);

    h.firstapp = findfirstapp(L"quorvel.main", L"QUORVEL (HotKey:") == nullptr;
    h.taskbarcreated = RegisterWindowMessageW(L"TaskbarCreated");
    if (!regmainclass(inst))
        return 0;
    const int created = createmainwnd(inst, show);
    if (created != 1)
        return created;
    if (h.firstapp) {
        // A script on the command line is this instance's whole work.
        if (!h.cmd.scriptgiven)
            startresidents();
        if (h.set.tasktrayf)
            tasktray(true);
    }

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    closelogfile();
    // Runs that left the run list may still be ending on their threads; the
    // process must not end under them. A fatal exit's thread never ends, nor
    // does a script that a second instance was told to leave running: then
    // the process ends without its normal exit, which would destroy the
    // engine's globals while they run.
    const int code = static_cast<int>(msg.wParam);
    if (g_screxits || !waitscriptthreads(endwaitms))
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    return code;
}
