// The script log, the fatal-error exit and the process-wide "error.log" writer.
#include <cstdio>
#include <mutex>

#include "runtime/exescr.h"
#include "runtime/logline.h"
#include "runtime/quorvelcore.h"

namespace {

HANDLE openlogfile(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

void writewide(HANDLE h, const wchar_t* text, size_t len)
{
    DWORD done = 0;
    WriteFile(h, text, static_cast<DWORD>(len * sizeof(wchar_t)), &done, nullptr);
}

const wchar_t bom[1] = {0xFEFF};

// Does not return: keeps the thread's windows answering while the host closes.
[[noreturn]] void dispatchforever()
{
    for (;;) {
        MSG msg;
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            Sleep(10);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

int ExeScr::openscriptlog()
{
    loghandle = openlogfile(logpath);
    if (loghandle == INVALID_HANDLE_VALUE) {
        for (int n = 1; n <= 99; ++n) {
            wchar_t name[MAX_PATH + 64];
            _snwprintf(name, MAX_PATH + 64, L"%slog\\%s_%02d.log", programdir.c_str(),
                       basename.c_str(), n);
            name[MAX_PATH + 63] = 0;
            logpath = name;
            loghandle = openlogfile(logpath);
            if (loghandle != INVALID_HANDLE_VALUE)
                break;
        }
        if (loghandle == INVALID_HANDLE_VALUE) {
            loghandle = nullptr;
            myerrexit(L"%s:%s", L"Log file open failure.", logpath.c_str());
        }
    }
    writewide(loghandle, bom, 1);
    return 1;
}

void ExeScr::vmylogmsg(const wchar_t* fmt, va_list ap)
{
    logline line(fmt, ap);
    line.crlf();
    if (loghandle && (logsupfile == 0 || (logsupfile == 1 && logforce == 1)))
        writewide(loghandle, line.text, line.len);
    if (g_suplogmsg == 0 && (logsupwin == 0 || (logsupwin == 1 && logforce == 1)) && hEditp)
        SendMessageW(hEditp, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.text));
}

void ExeScr::mylogmsg(const wchar_t* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vmylogmsg(fmt, ap);
    va_end(ap);
}

void ExeScr::mylogmsgforced(const wchar_t* fmt, ...)
{
    const uint32_t savefile = logsupfile, savewin = logsupwin;
    logsupfile = 0;
    logsupwin = 0;
    va_list ap;
    va_start(ap, fmt);
    vmylogmsg(fmt, ap);
    va_end(ap);
    logsupfile = savefile;
    logsupwin = savewin;
}

void ExeScr::mylogverbose(const wchar_t* fmt, ...)
{
    if (logon != 1 || (logsupfile != 0 && logsupwin != 0))
        return;
    va_list ap;
    va_start(ap, fmt);
    vmylogmsg(fmt, ap);
    va_end(ap);
}

std::wstring lasterrortext(DWORD err)
{
    wchar_t* sys = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, err, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                   reinterpret_cast<LPWSTR>(&sys), 0, nullptr);
    std::wstring text = sys ? sys : L"";
    if (sys)
        LocalFree(sys);
    return text;
}

void ExeScr::mylogsyserr(const wchar_t* fmt, ...)
{
    const DWORD err = GetLastError();
    va_list ap;
    va_start(ap, fmt);
    logline msg(fmt, ap);
    va_end(ap);

    syserrtext = lasterrortext(err);
    if (logon == 1)
        mylogmsgforced(L"%s:%s: \n", msg.text, syserrtext.c_str());
}

int ExeScr::curline()
{
    if (!code || !ip || functable.empty())
        return 0;
    const int32_t line = lineofcode(static_cast<int32_t>(ip - code));
    return line < 0 ? 0 : line;
}

void ExeScr::myerrexit(const wchar_t* fmt, ...)
{
    if (InterlockedCompareExchange(&g_screxits, 1, 0) != 0)
        dispatchforever();  // another fatal exit is already under way

    wchar_t msg[256];
    va_list ap;
    va_start(ap, fmt);
    int n = _vsnwprintf(msg, 256, fmt, ap);
    va_end(ap);
    if (n < 0 || n >= 256)
        msg[255] = 0;
    logsupfile = 0;
    logsupwin = 0;

    if (logon == 1) {
        const int line = compiling == 0 ? curline() : 0;
        if (line > 0)
            mylogmsg(L"%s %s at line %d\n", L"Exiting...", msg, line);
        else
            mylogmsg(L"%s %s \n", L"Exiting...", msg);
    }
    MessageBoxW(hWndp, msg, L"QUORVEL - Exit", MB_OK | MB_TOPMOST);
    if (hWndp)
        SendMessageW(hWndp, WM_CLOSE, 0, 0);
    dispatchforever();
}

namespace {
std::mutex errorlogmutex;
HANDLE errorloghandle = nullptr;
int errorlogopened = 0;
}  // namespace

int writeerrorlog(const wchar_t* line)
{
    std::lock_guard<std::mutex> lock(errorlogmutex);
    if (!errorlogopened) {
        std::wstring path = programdir + L"error.log";
        // Shared for writing too, so that the host's own writer can still open it.
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return 0;
        errorloghandle = h;
        errorlogopened = 1;
        writewide(errorloghandle, bom, 1);
    }
    // Another writer may have added lines: always append at the end.
    LARGE_INTEGER zero = {};
    SetFilePointerEx(errorloghandle, zero, nullptr, FILE_END);
    writewide(errorloghandle, line, wcslen(line));
    return 1;
}
