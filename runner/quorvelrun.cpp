// quorvelrun: a minimal console host for the engine. It stands where the main
// window would, runs one script through startMyExec, and prints the script's log
// as UTF-8 when the run is over.
//
//   quorvelrun [--timeout SECONDS] [--nopane] [--nosegments] SCRIPT [ARG...]
//
// --nopane keeps log lines out of the log pane (only the file gets them), as
// a host does when told to; long logs then cost no window updates.
// --nosegments runs the compiled code without the segment pass, so that the
// tests can compare a script's log both ways.
//
// Exit status: 0 the run ended; 2 bad command line; 3 the script ended in a
// fatal error (the box text goes to standard error); 4 the time-out stopped it;
// 70 the process crashed.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "runtime/quorvelcore.h"

namespace {

volatile bool g_closed = false;

// How long the end waits for the script threads once the run has left the
// run list (they need microseconds unless something is wrong).
constexpr unsigned endwaitms = 5000;

LRESULT CALLBACK mainproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_CLOSE) {
        // The window must outlive the run: script windows are its children.
        g_closed = true;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void writeall(HANDLE out, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD n = 0;
        if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n, nullptr) || n == 0)
            return;
        done += n;
    }
}

std::string utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// A log is UTF-16LE behind its mark; line ends come out as LF.
std::wstring readlog(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    std::wstring text;
    wchar_t buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        text.append(buf, got / sizeof(wchar_t));
    CloseHandle(h);
    if (!text.empty() && text[0] == 0xFEFF)
        text.erase(0, 1);
    std::wstring lf;
    lf.reserve(text.size());
    for (size_t k = 0; k < text.size(); ++k)
        if (!(text[k] == L'\r' && k + 1 < text.size() && text[k + 1] == L'\n'))
            lf += text[k];
    return lf;
}

// The log the run opened: "NAME.log", or a numbered "NAME_NN.log" when that
// was held; never one of its script threads' logs. Empty when it opened none.
std::wstring runlog(const std::wstring& script)
{
    const int len = querylogpath(script.c_str(), nullptr, 0);
    if (len <= 0)
        return {};
    std::wstring path(static_cast<size_t>(len) + 1, L'\0');
    querylogpath(script.c_str(), path.data(), len + 1);
    path.resize(static_cast<size_t>(len));
    return path;
}

struct boxsearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK findbox(HWND w, LPARAM lp)
{
    auto* s = reinterpret_cast<boxsearch*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    wchar_t cls[16], title[32];
    if (pid == s->pid && GetClassNameW(w, cls, 16) && wcscmp(cls, L"#32770") == 0 &&
        GetWindowTextW(w, title, 32) && wcscmp(title, L"QUORVEL - Exit") == 0) {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// The fatal-error box of this process, or null.
HWND exitbox()
{
    boxsearch s{GetCurrentProcessId(), nullptr};
    EnumWindows(findbox, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

BOOL CALLBACK longeststatic(HWND w, LPARAM lp)
{
    auto* text = reinterpret_cast<std::wstring*>(lp);
    wchar_t cls[16];
    if (GetClassNameW(w, cls, 16) && _wcsicmp(cls, L"Static") == 0) {
        const int n = GetWindowTextLengthW(w);
        std::wstring t(static_cast<size_t>(n) + 1, L'\0');
        t.resize(static_cast<size_t>(GetWindowTextW(w, t.data(), n + 1)));
        if (t.size() > text->size())
            *text = t;
    }
    return TRUE;
}

// Dispatches messages for up to `ms` milliseconds.
void pump(DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

// Reports a crash on any thread and ends with its own status, so that no crash
// passes for a normal end.
LONG WINAPI crashed(EXCEPTION_POINTERS* info)
{
    char line[96];
    _snprintf(line, sizeof line, "quorvelrun: unhandled exception 0x%08lx\n", info->ExceptionRecord->ExceptionCode);
    line[sizeof line - 1] = 0;
    writeall(GetStdHandle(STD_ERROR_HANDLE), line);
    TerminateProcess(GetCurrentProcess(), 70);
    return EXCEPTION_EXECUTE_HANDLER;
}

int usage()
{
    writeall(GetStdHandle(STD_ERROR_HANDLE), "usage: quorvelrun [--timeout SECONDS] [--nopane] [--nosegments] SCRIPT [ARG...]\n");
    return 2;
}

}  // namespace

int wmain()
{
    SetUnhandledExceptionFilter(crashed);
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return usage();
    int first = 1;
    DWORD timeoutms = 0;
    for (;;) {
        if (first + 1 < argc && wcscmp(argv[first], L"--timeout") == 0) {
            timeoutms = static_cast<DWORD>(_wtoi(argv[first + 1])) * 1000;
            first += 2;
        } else if (first < argc && wcscmp(argv[first], L"--nopane") == 0) {
            g_suplogmsg = 1;
            ++first;
        } else if (first < argc && wcscmp(argv[first], L"--nosegments") == 0) {
            g_segpassoff = 1;
            ++first;
        } else {
            break;
        }
    }
    if (first >= argc)
        return usage();

    wchar_t self[MAX_PATH];
    const DWORD len = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (len == 0 || len >= MAX_PATH)
        return usage();
    std::wstring dir(self, len);
    dir.resize(dir.rfind(L'\\') + 1);
    programdir = dir;
    // Script logs go below the program folder; the engine does not make it.
    CreateDirectoryW((dir + L"log").c_str(), nullptr);

    wchar_t full[MAX_PATH * 4];
    const DWORD fl = GetFullPathNameW(argv[first], MAX_PATH * 4, full, nullptr);
    if (fl == 0 || fl >= MAX_PATH * 4)
        return usage();
    const std::wstring script(full, fl);

    // Like the host: every argument, the program and the script included.
    argbuffs.assign(1, std::wstring(self, len));
    for (int k = first; k < argc; ++k)
        argbuffs.push_back(argv[k]);

    WNDCLASSW wc = {};
    wc.lpfnWndProc = mainproc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"quorvelrun.main";
    RegisterClassW(&wc);
    hWndp = CreateWindowExW(0, wc.lpszClassName, L"quorvelrun", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                            nullptr, wc.hInstance, nullptr);
    hEditp = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, 400, 200, hWndp,
                             nullptr, wc.hInstance, nullptr);
    SendMessageW(hEditp, EM_SETLIMITTEXT, 0, 0);
    hWndRunEdit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_READONLY, 0, 200, 400, 20, hWndp, nullptr,
                                  wc.hInstance, nullptr);

    const ULONGLONG started = GetTickCount64();
    startMyExec(script.c_str());

    int status = 0;
    std::wstring boxmsg;
    ULONGLONG boxlook = 0;
    for (;;) {
        // A millisecond at a time, so that the end of a run is seen when it
        // comes (the timings of tools/bench rest on it); the box search, a
        // walk over every window, only every 20 ms.
        pump(1);
        const ULONGLONG now = GetTickCount64();
        HWND box = nullptr;
        if (now - boxlook >= 20) {
            boxlook = now;
            box = exitbox();
        }
        if (box) {
            EnumChildWindows(box, longeststatic, reinterpret_cast<LPARAM>(&boxmsg));
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            // The fatal exit closes the main window next, then keeps its thread
            // waiting for ever: the run never leaves the run list.
            const ULONGLONG until = GetTickCount64() + 3000;
            while (!g_closed && GetTickCount64() < until)
                pump(20);
            status = 3;
            break;
        }
        if (!queryexealive(script.c_str()))
            break;
        if (g_closed) {
            // "exit" closes the main window before its run has left the run list.
            const ULONGLONG until = GetTickCount64() + 5000;
            while (queryexealive(script.c_str()) && GetTickCount64() < until)
                pump(20);
            break;
        }
        if (timeoutms && GetTickCount64() - started > timeoutms) {
            mythreadclosure();
            status = 4;
            break;
        }
    }

    // The run has left the run list, but its thread may still be destroying
    // its engine and leaving the runtime: returning now would end the process
    // under it (and destroy the library's globals while it runs them).
    const bool allended = status != 3 && waitscriptthreads(endwaitms) != 0;
    if (const std::wstring log = runlog(script); !log.empty())
        writeall(GetStdHandle(STD_OUTPUT_HANDLE), utf8(readlog(log)));
    if (status == 3)
        writeall(GetStdHandle(STD_ERROR_HANDLE), utf8(boxmsg) + "\n");
    else if (status == 4)
        writeall(GetStdHandle(STD_ERROR_HANDLE), "quorvelrun: time-out, the script was stopped\n");
    // A fatal exit keeps its thread waiting for ever, and a script that did
    // not stop keeps running: end the process without its normal exit, which
    // would run the library's detach while they run.
    if (!allended)
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    return status;
}
