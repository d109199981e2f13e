#include "support/testenv.h"

#include <gtest/gtest.h>

#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"

namespace qtest {

namespace {

int g_closes = 0;

LRESULT CALLBACK ownerproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_CLOSE) {
        ++g_closes;
        return 0;  // stays open for the next test
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

struct boxsearch {
    DWORD tid;
    HWND found;
};

BOOL CALLBACK findbox(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<boxsearch*>(lp);
    wchar_t cls[32] = {}, title[64] = {};
    GetClassNameW(hwnd, cls, 32);
    GetWindowTextW(hwnd, title, 64);
    if (wcscmp(cls, L"#32770") == 0 && wcscmp(title, L"QUORVEL - Exit") == 0 &&
        (s->tid == 0 || GetWindowThreadProcessId(hwnd, nullptr) == s->tid)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK findstatic(HWND hwnd, LPARAM lp)
{
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (_wcsicmp(cls, L"Static") == 0 && GetWindowTextLengthW(hwnd) > 0) {
        auto* out = reinterpret_cast<std::wstring*>(lp);
        out->resize(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1);
        out->resize(static_cast<size_t>(GetWindowTextW(hwnd, out->data(), static_cast<int>(out->size()))));
        return FALSE;
    }
    return TRUE;
}

struct fatalrun {
    ExeScr* engine;
    const std::function<void(ExeScr&)>* fn;
    volatile LONG returned;
};

thread_local bool unwinds = false;

void endedhook(ExeScr&)
{
    if (unwinds)
        throw qtest::fatalended{};
}

DWORD WINAPI fatalthread(void* arg)
{
    auto* run = static_cast<fatalrun*>(arg);
    qtest::unwindfatalhere();
    {
        qtest::ownhost host;
        try {
            (*run->fn)(*run->engine);
            InterlockedExchange(&run->returned, 1);
        } catch (const qtest::fatalended&) {
        }
        // What the run made on this thread goes before its host window.
        if (HWND w = run->engine->scriptwnd)
            DestroyWindow(w);
        run->engine->scriptwnd = nullptr;
    }
    return 0;
}

}  // namespace

const std::wstring& scratchdir()
{
    static std::wstring dir = [] {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        wchar_t name[MAX_PATH + 40];
        _snwprintf(name, MAX_PATH + 40, L"%squorveltest-%lu\\", tmp, GetCurrentProcessId());
        CreateDirectoryW(name, nullptr);
        CreateDirectoryW((std::wstring(name) + L"log").c_str(), nullptr);
        return std::wstring(name);
    }();
    return dir;
}

std::wstring readfile(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return L"<missing>";
    DWORD size = GetFileSize(h, nullptr);
    std::wstring text(size / sizeof(wchar_t), L'\0');
    DWORD got = 0;
    ReadFile(h, text.data(), size, &got, nullptr);
    CloseHandle(h);
    return text;
}

size_t countid(const ExeScr& e, int32_t id)
{
    size_t n = 0;
    for (const memrec& r : e.allocs)
        n += r.id == id;
    return n;
}

const memrec* findid(const ExeScr& e, int32_t id)
{
    for (const memrec& r : e.allocs)
        if (r.id == id)
            return &r;
    return nullptr;
}

void releaseall(ExeScr& e)
{
    e.clearlocals();
    e.freevartable();
    e.freefunctbl();
    e.freestrtbls();
    e.freespare();
    e.tokenlistfree();
    e.freedatd();
    e.freedats();
    EXPECT_TRUE(e.allocs.empty()) << "blocks still held: " << e.allocs.size();
}

loggedengine::loggedengine(const wchar_t* name)
{
    basename = name;
    logpath = programdir + L"log\\" + basename + L".log";
    openscriptlog();
    logon = 1;
}

loggedengine::~loggedengine()
{
    closelog();
}

void loggedengine::closelog()
{
    closescriptlog();
}

std::wstring loggedengine::contents() const
{
    // What a burst of lines left gathered goes out first, as at the log's close.
    const_cast<loggedengine*>(this)->flushlog();
    return readfile(logpath);
}

logpane::logpane()
{
    hwnd = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | WS_VSCROLL | ES_READONLY | ES_MULTILINE, 0, 0, 300, 200, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    SendMessageW(hwnd, EM_SETLIMITTEXT, 0, 0);
    hEditp = hwnd;
}

logpane::~logpane()
{
    hEditp = nullptr;
    DestroyWindow(hwnd);
}

std::wstring logpane::text() const
{
    std::wstring t(static_cast<size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    t.resize(static_cast<size_t>(GetWindowTextW(hwnd, t.data(), static_cast<int>(t.size()))));
    return t;
}

void writebytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
}

bool underwine()
{
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string readbytes(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "<missing>";
    // Read to the end: files of /proc (through Z: under Wine) report size 0.
    std::string bytes;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0)
        bytes.append(buf, got);
    CloseHandle(h);
    return bytes;
}

void writescript(const std::wstring& path, const wchar_t* text)
{
    const std::wstring body = std::wstring(1, wchar_t(0xFEFF)) + text;
    writebytes(path, std::string(reinterpret_cast<const char*>(body.data()), body.size() * sizeof(wchar_t)));
}

HWND ownerwindow()
{
    static HWND hwnd = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ownerproc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"quorveltest.owner";
        RegisterClassW(&wc);
        return CreateWindowExW(0, wc.lpszClassName, L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                               nullptr, nullptr, wc.hInstance, nullptr);
    }();
    return hwnd;
}

ownhost::ownhost()
{
    ownerwindow();  // the class is registered with the first owner
    hwnd = CreateWindowExW(0, L"quorveltest.owner", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    saved = hWndp;
    hWndp = hwnd;
}

ownhost::~ownhost()
{
    hWndp = saved;
    DestroyWindow(hwnd);
}

int closecount()
{
    return g_closes;
}

void pump(DWORD ms)
{
    const DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

HWND findexitbox(DWORD tid)
{
    boxsearch s{tid, nullptr};
    EnumWindows(findbox, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::wstring boxtext(HWND box)
{
    std::wstring text;
    EnumChildWindows(box, findstatic, reinterpret_cast<LPARAM>(&text));
    return text;
}

std::wstring expectfatal(ExeScr& engine, const std::function<void(ExeScr&)>& fn)
{
    fatalrun run{&engine, &fn, 0};
    DWORD tid = 0;
    HANDLE thread = CreateThread(nullptr, scriptstacksize, fatalthread, &run, STACK_SIZE_PARAM_IS_A_RESERVATION, &tid);
    const int closesbefore = g_closes;
    std::wstring text = L"<no box>";
    for (int tries = 0; tries < 2000; ++tries) {
        pump(5);
        if (run.returned) {
            text = L"<returned>";
            break;
        }
        if (HWND box = findexitbox(tid)) {
            text = boxtext(box);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            for (int wait = 0; wait < 1000 && g_closes == closesbefore; ++wait)
                pump(5);
            EXPECT_EQ(g_closes, closesbefore + 1) << "WM_CLOSE did not reach the owner window";
            break;
        }
    }
    endthread(thread, 5000);
    InterlockedExchange(&g_screxits, 0);
    return text;
}

void unwindfatalhere()
{
    unwinds = true;
    g_fatalended = endedhook;
}

void endthread(HANDLE thread, DWORD ms)
{
    const ULONGLONG end = GetTickCount64() + ms;
    while (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT && GetTickCount64() < end)
        pump(5);
    if (WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
        TerminateThread(thread, 0);  // a thread that never reached the end of its exit
        WaitForSingleObject(thread, 5000);
    }
    CloseHandle(thread);
}

ExeScr& fatalengine()
{
    return *new ExeScr();
}

}  // namespace qtest
