#include "core/syslog.h"

#include <cstdio>

#include "runtime/owners.h"
#include "runtime/quorvelcore.h"

namespace host {

HWND hEditSys = nullptr;

namespace {

owners::handle g_syslog;
std::wstring g_syslogpath;
owners::handle g_errlog;

const wchar_t bom[1] = {0xFEFF};

bool writewide(HANDLE h, const std::wstring& text)
{
    DWORD done = 0;
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    return WriteFile(h, text.data(), bytes, &done, nullptr) && done == bytes;
}

HANDLE createlog(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

void fatalboxdefault(const wchar_t* text)
{
    MessageBoxW(hWndp, text, L"QUORVEL - Exit", MB_OK);
}

fatalboxfn g_fatalbox = fatalboxdefault;

}  // namespace

std::wstring vformat(const wchar_t* fmt, va_list ap)
{
    wchar_t buf[256];
    va_list copy;
    va_copy(copy, ap);
    const int n = _vsnwprintf(buf, 256, fmt, copy);
    va_end(copy);
    if (n >= 0 && n < 256)
        return std::wstring(buf, static_cast<size_t>(n));
    // Too long for the line buffer: _vscwprintf gives the exact length.
    va_copy(copy, ap);
    const int need = _vscwprintf(fmt, copy);
    va_end(copy);
    if (need < 0)
        return std::wstring(buf, 255);
    std::wstring out(static_cast<size_t>(need) + 1, L'\0');
    va_copy(copy, ap);
    _vsnwprintf(out.data(), out.size(), fmt, copy);
    va_end(copy);
    out.resize(static_cast<size_t>(need));
    return out;
}

std::wstring format(const wchar_t* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    std::wstring s = vformat(fmt, ap);
    va_end(ap);
    return s;
}

void crlfend(std::wstring& line)
{
    const size_t n = line.size();
    if (n > 0 && line[n - 1] == L'\n' && (n == 1 || line[n - 2] != L'\r'))
        line.insert(n - 1, 1, L'\r');
}

std::wstring syserrtext(DWORD err)
{
    owners::localmem<wchar_t*> sys;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, err, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(sys.put()), 0,
                   nullptr);
    std::wstring text = sys.valid() ? sys.get() : L"";
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r'))
        text.pop_back();
    return text;
}

bool ensurelogdir(const std::wstring& programdir)
{
    const std::wstring dir = programdir + L"log\\";
    if (GetFileAttributesW(dir.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    return CreateDirectoryW(dir.c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS;
}

int openlogfile(const std::wstring& programdir, bool nolog)
{
    if (nolog)
        return 1;
    if (!ensurelogdir(programdir))
        return 0;
    std::wstring path = programdir + L"log\\quorvelsys.log";
    HANDLE h = createlog(path);
    if (h == INVALID_HANDLE_VALUE) {
        // Another instance holds the plain name: take the first numbered one.
        const std::wstring stem = path.substr(0, path.rfind(L'.'));
        for (int n = 1; n <= 999 && h == INVALID_HANDLE_VALUE; ++n) {
            path = stem + format(L"-%03d.log", n);
            h = createlog(path);
        }
        if (h == INVALID_HANDLE_VALUE)
            return 0;
    }
    g_syslog.reset(h);
    g_syslogpath = path;
    DWORD done = 0;
    WriteFile(h, bom, sizeof bom, &done, nullptr);
    return 1;
}

void closelogfile()
{
    g_syslog.reset();
}

const std::wstring& syslogpath()
{
    return g_syslogpath;
}

void logmsg(const wchar_t* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    std::wstring line = vformat(fmt, ap);
    va_end(ap);
    crlfend(line);
    if (g_syslog.valid())
        writewide(g_syslog.get(), line);
    if (g_suplogmsg == 0 && hEditSys)
        SendMessageW(hEditSys, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
}

int errlog(const std::wstring& programdir, const wchar_t* text)
{
    const std::wstring path = programdir + L"error.log";
    if (!g_errlog.valid()) {
        // The engine holds the file open for writing while the process runs:
        // both sides open it to append, sharing reads and writes.
        HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD err = GetLastError();
            logmsg(L"File open failed.:%s:%s: \n", path.c_str(), syserrtext(err).c_str());
            return 0;
        }
        g_errlog.reset(h);
        LARGE_INTEGER size = {};
        if (GetFileSizeEx(h, &size) && size.QuadPart == 0)
            writewide(h, std::wstring(bom, 1));
    }
    if (!writewide(g_errlog.get(), text)) {
        const DWORD err = GetLastError();
        logmsg(L"File write failed.:%s:%s: \n", path.c_str(), syserrtext(err).c_str());
        return 0;
    }
    return 1;
}

void closeerrlog()
{
    g_errlog.reset();
}

void fatalexit(const wchar_t* fmt, ...)
{
    // Either side's first fatal exit silences every later one.
    if (InterlockedCompareExchange(&g_screxits, 1, 0) != 0)
        return;
    va_list ap;
    va_start(ap, fmt);
    const std::wstring msg = vformat(fmt, ap);
    va_end(ap);
    logmsg(L"%s %s \n", L"Exiting...", msg.c_str());
    g_fatalbox(msg.c_str());
    // Posted, not sent: the caller goes on unwinding its failed operation and
    // must not find the window's state destroyed under it.
    if (hWndp)
        PostMessageW(hWndp, WM_CLOSE, 0, 0);
}

fatalboxfn setfatalbox(fatalboxfn fn)
{
    fatalboxfn old = g_fatalbox;
    g_fatalbox = fn ? fn : fatalboxdefault;
    return old;
}

}  // namespace host
