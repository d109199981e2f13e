// stressctl: the control program of tools/stress (test code, never shipped).
// It makes the platform calls of one console run without the engine: a
// hidden main window with a log pane, a worker thread with a 16 MB stack
// reservation that joins the COM apartment, makes a child window of the main
// window, writes a log file and opens a layered box window on a window
// thread of its own, closes it and joins that thread; the main thread pumps
// until the worker says it is done, then prints the log and "control end".
//
//   stressctl [--nowait]
//
// By default the main thread then waits for the worker's thread handle
// before it returns, as the runner does; --nowait returns at once, while the
// worker still runs its end, as the runner did before.
#include <windows.h>
#include <objbase.h>
#include <process.h>

#include <cstdio>
#include <cwchar>
#include <mutex>
#include <string>
#include <vector>

namespace {

std::mutex g_lock;  // stands for the run list's lock
bool g_alive = false;
HWND g_main = nullptr;
wchar_t g_logpath[MAX_PATH];

struct startrecord {
    volatile LONG done;
};

LRESULT CALLBACK mainproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK boxproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_CLOSE) {
        DestroyWindow(hwnd);
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

struct boxstate {
    HANDLE ready;
    HWND wnd;
};

unsigned __stdcall boxthreadproc(void* arg)
{
    auto* b = static_cast<boxstate*>(arg);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = boxproc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"stressctl.box";
    RegisterClassW(&wc);
    b->wnd = CreateWindowExW(WS_EX_LAYERED, wc.lpszClassName, L"box", 0, 0, 0, 200, 100, g_main, nullptr,
                             wc.hInstance, nullptr);
    if (b->wnd)
        SetLayeredWindowAttributes(b->wnd, 0, 255, LWA_ALPHA);
    SetEvent(b->ready);
    if (b->wnd) {
        ShowWindow(b->wnd, SW_SHOW);
        UpdateWindow(b->wnd);
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

// Waits for `h` while dispatching this thread's messages.
void pumpwait(HANDLE h)
{
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const DWORD r = MsgWaitForMultipleObjectsEx(1, &h, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (r != WAIT_OBJECT_0 + 1)
            return;
    }
}

void logline(HANDLE log, const wchar_t* text)
{
    DWORD n = 0;
    WriteFile(log, text, static_cast<DWORD>(wcslen(text) * sizeof(wchar_t)), &n, nullptr);
}

unsigned __stdcall workerproc(void* arg)
{
    auto* rec = static_cast<startrecord*>(arg);
    std::vector<std::wstring> owned(64, std::wstring(200, L'x'));  // freed at the thread's end
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_alive = true;
        InterlockedExchange(&rec->done, 1);
    }
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = mainproc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"stressctl.child";
    RegisterClassW(&wc);
    HWND child = CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD | WS_BORDER, 0, 0, 0, 0, g_main, nullptr,
                                 wc.hInstance, nullptr);
    HANDLE log = CreateFileW(g_logpath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    logline(log, L"\xFEFF" L"control start\r\n");

    boxstate b = {CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr};
    const uintptr_t th = _beginthreadex(nullptr, 0, boxthreadproc, &b, 0, nullptr);
    if (th) {
        pumpwait(b.ready);
        if (b.wnd)
            SendMessageW(b.wnd, WM_CLOSE, 0, 0);
        HANDLE h = reinterpret_cast<HANDLE>(th);
        pumpwait(h);
        CloseHandle(h);
    }
    CloseHandle(b.ready);
    logline(log, b.wnd ? L"box 1\r\n" : L"box 0\r\n");
    logline(log, L"control end\r\n");
    CloseHandle(log);
    if (child)
        SendMessageW(child, WM_CLOSE, 0, 0);
    CoUninitialize();
    std::lock_guard<std::mutex> lock(g_lock);
    g_alive = false;
    return 0;
}

bool alive()
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_alive;
}

void pumpfor(DWORD ms)
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const bool nowait = argc > 1 && wcscmp(argv[1], L"--nowait") == 0;
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    _snwprintf(g_logpath, MAX_PATH, L"%sstressctl_%lu.log", dir, GetCurrentProcessId());
    g_logpath[MAX_PATH - 1] = 0;

    WNDCLASSW wc = {};
    wc.lpfnWndProc = mainproc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"stressctl.main";
    RegisterClassW(&wc);
    g_main = CreateWindowExW(0, wc.lpszClassName, L"stressctl", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                             nullptr, wc.hInstance, nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE, 0, 0, 400, 200, g_main, nullptr,
                                wc.hInstance, nullptr);
    SendMessageW(edit, EM_SETLIMITTEXT, 0, 0);

    startrecord rec{0};
    const uintptr_t th = _beginthreadex(nullptr, 16u << 20, workerproc, &rec, STACK_SIZE_PARAM_IS_A_RESERVATION,
                                        nullptr);
    if (!th)
        return 2;
    while (!rec.done)
        pumpfor(10);
    while (alive())
        pumpfor(1);

    HANDLE log = CreateFileW(g_logpath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::wstring text;
    if (log != INVALID_HANDLE_VALUE) {
        wchar_t buf[1024];
        DWORD got = 0;
        while (ReadFile(log, buf, sizeof buf, &got, nullptr) && got > 0)
            text.append(buf, got / sizeof(wchar_t));
        CloseHandle(log);
    }
    DeleteFileW(g_logpath);
    std::string out;
    for (wchar_t c : text)
        if (c < 128 && c != L'\r')
            out += static_cast<char>(c);
    DWORD n = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &n, nullptr);

    HANDLE h = reinterpret_cast<HANDLE>(th);
    if (!nowait) {
        const ULONGLONG until = GetTickCount64() + 5000;
        while (WaitForSingleObject(h, 0) == WAIT_TIMEOUT && GetTickCount64() < until)
            pumpfor(10);
    }
    CloseHandle(h);
    return 0;
}
