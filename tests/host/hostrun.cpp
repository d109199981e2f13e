#include "host/hostrun.h"

#include "host/hostenv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace htest {

namespace {

struct search {
    DWORD pid;
    const wchar_t* cls;
    const wchar_t* caption;
    HWND found;
    HWND except = nullptr;
};

BOOL CALLBACK findproc(HWND hwnd, LPARAM lp)
{
    auto* s = reinterpret_cast<search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != s->pid || hwnd == s->except)
        return TRUE;
    wchar_t cls[64] = {}, caption[512] = {};
    GetClassNameW(hwnd, cls, 64);
    GetWindowTextW(hwnd, caption, 512);
    if (wcscmp(cls, s->cls) == 0 && (!s->caption || wcscmp(caption, s->caption) == 0)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK listproc(HWND hwnd, LPARAM lp)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == static_cast<DWORD>(lp)) {
        wchar_t cls[64] = {}, caption[512] = {};
        GetClassNameW(hwnd, cls, 64);
        GetWindowTextW(hwnd, caption, 512);
        fprintf(stderr, "  window %p class [%ls] caption [%ls] visible %d\n", (void*)hwnd, cls, caption, IsWindowVisible(hwnd));
    }
    return TRUE;
}

HWND findtop(DWORD pid, const wchar_t* cls, const wchar_t* caption)
{
    search s{pid, cls, caption, nullptr};
    EnumWindows(findproc, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

BOOL CALLBACK staticproc(HWND hwnd, LPARAM lp)
{
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (_wcsicmp(cls, L"Static") == 0 && GetWindowTextLengthW(hwnd) > 0) {
        *reinterpret_cast<std::wstring*>(lp) = hostrun::text(hwnd);
        return FALSE;
    }
    return TRUE;
}

void removetree(const std::wstring& dir)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removetree(dir + name + L"\\");
            } else {
                SetFileAttributesW((dir + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW((dir + name).c_str());
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

}  // namespace

std::wstring bindir()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.rfind(L'\\') + 1);
}

hostrun::hostrun() : owndir_(true), dir_(scratch(L"run"))
{
    for (const wchar_t* f : {L"quorvel.exe", L"quorvelcore.dll"})
        CopyFileW((bindir() + f).c_str(), (dir_ + f).c_str(), FALSE);
}

hostrun::hostrun(const std::wstring& dir) : dir_(dir) {}

hostrun::~hostrun()
{
    if (pi_.hProcess) {
        if (alive()) {
            TerminateProcess(pi_.hProcess, 99);
            WaitForSingleObject(pi_.hProcess, 5000);
        }
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    // Kept after a failure, for a look at its logs and settings.
    if (owndir_ && !testing::Test::HasFailure())
        removetree(dir_);
}

bool hostrun::start(const std::wstring& args)
{
    std::wstring cmd = L"\"" + dir_ + L"quorvel.exe\" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir_.c_str(), &si, &pi_))
        return true;
    // Seen once under Wine right after another host ended: say why.
    std::fprintf(stderr, "hostrun: CreateProcessW failed, error %lu\n", GetLastError());
    return false;
}

HWND hostrun::mainwindow(DWORD ms)
{
    if (main_ && IsWindow(main_))
        return main_;
    waitfor([&] { return (main_ = findtop(pi_.dwProcessId, L"quorvel.main", nullptr)) != nullptr; }, ms);
    // The window is found while it is still being created: wait for its last child.
    if (main_)
        waitfor([&] { return FindWindowExW(main_, nullptr, L"msctls_statusbar32", nullptr) != nullptr; }, ms);
    return main_;
}

int hostrun::waitexit(DWORD ms)
{
    if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<int>(code);
}

bool hostrun::alive() const
{
    return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

HWND hostrun::findbox(const wchar_t* caption, DWORD ms)
{
    HWND box = nullptr;
    waitfor([&] { return (box = findtop(pi_.dwProcessId, L"#32770", caption)) != nullptr; }, ms);
    if (!box)
        EnumWindows(listproc, pi_.dwProcessId);
    return box;
}

HWND hostrun::box(const wchar_t* caption, HWND except)
{
    search s{pi_.dwProcessId, L"#32770", caption, nullptr, except};
    EnumWindows(findproc, reinterpret_cast<LPARAM>(&s));
    return s.found && IsWindowVisible(s.found) ? s.found : nullptr;
}

std::wstring hostrun::boxtext(HWND box)
{
    std::wstring out;
    EnumChildWindows(box, staticproc, reinterpret_cast<LPARAM>(&out));
    return out;
}

void hostrun::press(HWND box, int id)
{
    PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

HWND hostrun::window(const wchar_t* cls, DWORD ms)
{
    HWND w = nullptr;
    // Shown only once its controls are made.
    waitfor([&] { return (w = findtop(pi_.dwProcessId, cls, nullptr)) != nullptr && IsWindowVisible(w); }, ms);
    return w;
}

std::vector<std::wstring> hostrun::buttons(HWND parent)
{
    std::vector<std::pair<int, std::wstring>> found;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t name[32] = {};
        GetClassNameW(c, name, 32);
        if (_wcsicmp(name, L"Button") == 0)
            found.emplace_back(GetDlgCtrlID(c), text(c));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::wstring> out;
    for (const auto& f : found)
        out.push_back(f.second);
    return out;
}

HWND hostrun::child(const wchar_t* cls, int id)
{
    HWND main = mainwindow();
    for (HWND c = GetWindow(main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        GetClassNameW(c, name, 64);
        if (_wcsicmp(name, cls) == 0 && GetDlgCtrlID(c) == id)
            return c;
    }
    return nullptr;
}

std::wstring hostrun::title()
{
    return text(mainwindow());
}

std::wstring hostrun::text(HWND w)
{
    // Bounded: a host that stopped answering fails the test instead of hanging it.
    DWORD_PTR n = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &n))
        return L"<no answer>";
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(w, WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(s.data()), SMTO_ABORTIFHUNG, 5000,
                             &got))
        return L"<no answer>";
    s.resize(static_cast<size_t>(got));
    return s;
}

std::wstring hostrun::syslog()
{
    return widen(readbytes(dir_ + L"log\\quorvelsys.log"));
}

void ctrlkey(WORD vk)
{
    INPUT in[4] = {};
    for (INPUT& i : in)
        i.type = INPUT_KEYBOARD;
    in[0].ki.wVk = VK_CONTROL;
    in[1].ki.wVk = vk;
    in[2].ki.wVk = vk;
    in[2].ki.dwFlags = KEYEVENTF_KEYUP;
    in[3].ki.wVk = VK_CONTROL;
    in[3].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(4, in, sizeof(INPUT));
}

void click(HWND target)
{
    RECT r;
    GetWindowRect(target, &r);
    const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    INPUT in[3] = {};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
        i.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
        i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    }
    in[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    SendInput(3, in, sizeof(INPUT));
}

}  // namespace htest
