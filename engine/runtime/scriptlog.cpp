// The script log, the fatal-error exit and the process-wide "error.log" writer.
#include <cstdio>
#include <mutex>
#include <string>

#include "runtime/exescr.h"
#include "runtime/logline.h"
#include "runtime/owners.h"
#include "runtime/quorvelcore.h"
#include "runtime/utf16.h"

namespace {

HANDLE openlogfile(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

void writewide(HANDLE h, const wchar_t* text, size_t len)
{
    // In pieces: one WriteFile takes less than 4 GB.
    const char* p = reinterpret_cast<const char*>(text);
    size_t left = len * sizeof(wchar_t);
    while (left > 0) {
        const DWORD piece = static_cast<DWORD>(left < (1u << 30) ? left : (1u << 30));
        DWORD done = 0;
        if (!WriteFile(h, p, piece, &done, nullptr) || done == 0)
            return;
        p += done;
        left -= done;
    }
}

// The log pane is a word-wrapping EDIT, whose cost grows fast with the length
// of a line: a line longer than this shows its start and a mark that it was
// cut, while the log file keeps it whole.
constexpr size_t panelinemax = 4000;
const wchar_t panecutmark[] = L" ...(cut)";

void showinpane(const wchar_t* text, size_t len)
{
    if (len <= panelinemax) {
        SendMessageW(hEditp, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
        return;
    }
    size_t keep = panelinemax;
    if (ishigh(text[keep - 1]))
        --keep;  // never half a surrogate pair
    std::wstring shown(text, keep);
    shown += panecutmark;
    if (len >= 2 && text[len - 2] == L'\r' && text[len - 1] == L'\n')
        shown += L"\r\n";
    SendMessageW(hEditp, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(shown.c_str()));
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
    // A script thread never takes the plain name, nor the log of a run above
    // it: the main run may hold that log still or may just have closed it,
    // and creating it anew would wipe the main run's lines.
    auto ancestors = [this](const std::wstring& name) {
        for (const std::wstring& a : ancestorlogs)
            if (_wcsicmp(a.c_str(), name.c_str()) == 0)
                return true;
        return false;
    };
    loghandle = threadmode == 0 ? openlogfile(logpath) : INVALID_HANDLE_VALUE;
    if (loghandle == INVALID_HANDLE_VALUE) {
        for (int n = 1; n <= 99; ++n) {
            wchar_t name[MAX_PATH + 64];
            _snwprintf(name, MAX_PATH + 64, L"%slog\\%s_%02d.log", programdir.c_str(),
                       basename.c_str(), n);
            name[MAX_PATH + 63] = 0;
            logpath = name;
            if (threadmode != 0 && ancestors(logpath))
                continue;
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
    if (!line.whole)
        return;
    line.crlf();
    if (loghandle && (logsupfile == 0 || (logsupfile == 1 && logforce == 1)))
        writelog(line.text, line.len);
    if (g_suplogmsg == 0 && (logsupwin == 0 || (logsupwin == 1 && logforce == 1)) && hEditp)
        showinpane(line.text, line.len);
}

void ExeScr::flushlogbuf()
{
    if (logused && loghandle)
        writewide(loghandle, logbuf.data(), logused);
    logused = 0;
}

void ExeScr::flushlog()
{
    AcquireSRWLockExclusive(&loglock);
    flushlogbuf();
    ReleaseSRWLockExclusive(&loglock);
}

static void CALLBACK logtimerproc(void* engine, BOOLEAN)
{
    static_cast<ExeScr*>(engine)->flushlog();
}

void ExeScr::writelog(const wchar_t* text, size_t len)
{
    AcquireSRWLockExclusive(&loglock);
    // Each line of a log written at a reader's pace goes out as it is made;
    // a script that writes thousands of lines a second would spend its time
    // in the system's writes instead.
    const uint64_t tick = GetTickCount64();
    if (tick != logtick) {
        logtick = tick;
        logticklines = 0;
    }
    bool gather = ++logticklines > logburst && len < logbufchars;
    if (gather && !logtimer) {
        if (!CreateTimerQueueTimer(&logtimer, nullptr, logtimerproc, this, logflushms, logflushms,
                                   WT_EXECUTEDEFAULT)) {
            logtimer = nullptr;
            gather = false;
        }
    }
    if (gather) {
        if (logbuf.empty())
            logbuf.resize(logbufchars);
        if (logused + len > logbufchars)
            flushlogbuf();
        wmemcpy(logbuf.data() + logused, text, len);
        logused += len;
    } else {
        flushlogbuf();
        writewide(loghandle, text, len);
    }
    ReleaseSRWLockExclusive(&loglock);
}

void ExeScr::closescriptlog()
{
    if (logtimer) {
        // Waits for a flush under way; none starts after.
        DeleteTimerQueueTimer(nullptr, logtimer, INVALID_HANDLE_VALUE);
        logtimer = nullptr;
    }
    flushlog();
    if (loghandle)
        CloseHandle(loghandle);
    loghandle = nullptr;
    logbuf.clear();
    logbuf.shrink_to_fit();
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
    owners::localmem<wchar_t*> sys;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, err, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                   reinterpret_cast<LPWSTR>(sys.put()), 0, nullptr);
    std::wstring text = sys.valid() ? sys.get() : L"";
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n'))
        text.pop_back();
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

void (*g_fatalhook)(ExeScr& engine, const wchar_t* msg) = nullptr;
void (*g_fatalended)(ExeScr& engine) = nullptr;

void ExeScr::myerrexit(const wchar_t* fmt, ...)
{
    wchar_t msg[256];
    va_list ap;
    va_start(ap, fmt);
    int n = _vsnwprintf(msg, 256, fmt, ap);
    va_end(ap);
    if (n < 0 || n >= 256)
        msg[255] = 0;
    if (g_fatalhook)
        g_fatalhook(*this, msg);

    if (InterlockedCompareExchange(&g_screxits, 1, 0) != 0) {
        if (g_fatalended)
            g_fatalended(*this);
        dispatchforever();  // another fatal exit is already under way
    }
    logsupfile = 0;
    logsupwin = 0;

    if (logon == 1) {
        const int line = compiling == 0 ? curline() : 0;
        if (line > 0)
            mylogmsg(L"%s %s at line %d\n", L"Exiting...", msg, line);
        else
            mylogmsg(L"%s %s \n", L"Exiting...", msg);
    }
    flushlog();  // the process may end while the box is open
    MessageBoxW(hWndp, msg, L"QUORVEL - Exit", MB_OK | MB_TOPMOST);
    if (hWndp)
        SendMessageW(hWndp, WM_CLOSE, 0, 0);
    if (g_fatalended)
        g_fatalended(*this);
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
        // Opened to append and shared for writing, as the host opens it: each
        // side's lines land after the other's, and none truncates the file.
        HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return 0;
        errorloghandle = h;
        errorlogopened = 1;
        LARGE_INTEGER size = {};
        if (GetFileSizeEx(h, &size) && size.QuadPart == 0)
            writewide(errorloghandle, bom, 1);
    }
    writewide(errorloghandle, line, wcslen(line));
    return 1;
}
