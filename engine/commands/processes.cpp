// Starting and ending programs, the shell, sounds, the file dialog, and the
// host's status bar, task-tray mode and the log switches.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

#include "compiler/textscan.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

namespace {

// The file dialog's buffer: room for any path the system can name, and for a
// longer initial text.
constexpr int32_t openfilebufid = 1801;
constexpr size_t openfilemin = 32768;
constexpr int32_t openfileresultid = 1802;

// What the host's main window answers WM_USER with by switching to or from
// its tray icon.
constexpr WPARAM traytoggle = 100;

}  // namespace

void ExeScr::creproc_exec()
{
    const int32_t wait = cmdargs::toi32(popd());
    datscell* c = pops();
    // CreateProcessW may write into the line it is given: a private copy, never
    // a literal's or a variable's own text.
    const wchar_t* text = datstext(c);
    std::vector<wchar_t> line(text, text + wcslen(text) + 1);
    datsrelease(c);

    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si,
                        &pi))
        return;  // not reported: the script goes on at once
    if (wait == 1)
        pumpwait(1, &pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

void ExeScr::shellexe_exec()
{
    const int64_t count = ip->i;
    ++ip;
    datscell* file = pops();
    datscell* params = count == 2 ? pops() : nullptr;
    ShellExecuteW(nullptr, L"open", datstext(file), params ? datstext(params) : nullptr, nullptr, SW_SHOWNORMAL);
    if (params)
        datsrelease(params);
    datsrelease(file);
}

void ExeScr::killprocess_exec()
{
    const datdcell id = popd();
    int64_t done = 0;
    if (id.isint) {
        if (HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(id.i))) {
            done = TerminateProcess(h, 9) ? 1 : 0;
            CloseHandle(h);
        }
    }
    pushint(done);
}

void ExeScr::playsound_exec()
{
    const int64_t async = ip->i;
    ++ip;
    datscell* c = pops();
    PlaySoundW(datstext(c), nullptr, async == 1 ? SND_FILENAME | SND_ASYNC : SND_FILENAME);
    datsrelease(c);
}

void ExeScr::status_exec()
{
    const int64_t part = ip->i;
    ++ip;
    datscell* c = pops();
    if (hStatus)
        SendMessageW(hStatus, SB_SETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(datstext(c)));
    datsrelease(c);
}

void ExeScr::getopenfilename_exec()
{
    datscell* c = pops();
    const wchar_t* initial = datstext(c);
    const size_t len = wcslen(initial);
    const size_t cap = len + 1 > openfilemin ? len + 1 : openfilemin;
    auto* buf = static_cast<wchar_t*>(mymalloc2(cap * sizeof(wchar_t), openfilebufid));
    wmemcpy(buf, initial, len + 1);
    datsrelease(c);

    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hWndp;
    ofn.lpstrFile = buf;
    ofn.nMaxFile = static_cast<DWORD>(cap);
    ofn.lpstrTitle = L"Set File/Directory";
    ofn.Flags = OFN_NOVALIDATE;
    if (!GetOpenFileNameW(&ofn)) {
        myfree(buf, openfilebufid);
        myerrexit(L"%s", L"GetOpenFileName error.");
    }
    buf[cap - 1] = 0;
    pushstrtext(buf, wcslen(buf), openfileresultid);
    myfree(buf, openfilebufid);
}

void ExeScr::pushpoptasktray_exec()
{
    // A window handle travels as the datum's raw 64 bits.
    HWND w = reinterpret_cast<HWND>(static_cast<intptr_t>(popd().i));
    SendMessageW(w, WM_USER, traytoggle, 0);
}

void ExeScr::logging_exec()
{
    const int32_t file = cmdargs::toi32(popd());
    const int32_t window = cmdargs::toi32(popd());
    if (file >= 0 && file <= 2)
        logsupfile = static_cast<uint32_t>(file);
    if (window >= 0 && window <= 2)
        logsupwin = static_cast<uint32_t>(window);
}

// ---- front ends

void ExeScr::creproc_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    nextnum(args);
    nextstr(args);
    emitcell(&ExeScr::creproc_exec);
}

void ExeScr::shellexe_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count > 2)
        comperr(L"the number of argument mismatch.");
    for (int32_t k = 0; k < count; ++k)
        nextstr(args);
    emitcell(&ExeScr::shellexe_exec);
    emitint(count);
}

void ExeScr::killprocess_comp(wchar_t* args)
{
    argnum(args);
    emitcell(&ExeScr::killprocess_exec);
}

void ExeScr::playsound_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count > 2)
        comperr(L"the number of argument mismatch.");
    int32_t async = 0;
    if (count == 2) {
        // A bare word, not compiled: only its first two letters count.
        const wchar_t* word = textscan::skipblank(args + mypop());
        async = wcsncmp(word, L"as", 2) == 0 ? 1 : 0;
    }
    nextstr(args);
    emitcell(&ExeScr::playsound_exec);
    emitint(async);
}

void ExeScr::status_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    nextstr(args);
    const wchar_t* first = textscan::skipblank(args + mypop());
    int32_t part = 0;
    if (*first) {
        if (*first < L'0' || *first > L'3')
            comperr(L"Not supported parameter. in status");
        part = *first - L'0';
    }
    emitcell(&ExeScr::status_exec);
    emitint(part);
}

void ExeScr::getopenfilename_comp(wchar_t* args)
{
    argstr(args);
    emitcell(&ExeScr::getopenfilename_exec);
}

void ExeScr::pushpoptasktray_comp(wchar_t* args)
{
    argnum(args);
    emitcell(&ExeScr::pushpoptasktray_exec);
}

void ExeScr::logging_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    nextnum(args);
    nextnum(args);
    emitcell(&ExeScr::logging_exec);
}
