// Drives one quorvel.exe process in a scratch copy of the program folder: its
// main window, its message boxes, its files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace htest {

// The folder the test binary (and quorvel.exe beside it) lives in, with "\".
std::wstring bindir();

class hostrun {
public:
    // A scratch program folder holding quorvel.exe and quorvelcore.dll.
    hostrun();
    // Uses the program folder of another run (a second instance of it).
    explicit hostrun(const std::wstring& dir);
    ~hostrun();
    hostrun(const hostrun&) = delete;
    hostrun& operator=(const hostrun&) = delete;

    const std::wstring& dir() const { return dir_; }

    // Starts "quorvel.exe <args>" with the program folder as current folder.
    bool start(const std::wstring& args);
    // The main window ("quorvel.main" of this process), waiting up to `ms`.
    HWND mainwindow(DWORD ms = 10000);
    // Waits for the process to end; its exit code, or -1 on a time-out.
    int waitexit(DWORD ms);
    bool alive() const;
    DWORD pid() const { return pi_.dwProcessId; }

    // A dialog box ("#32770") of this process with this caption, waiting up to `ms`.
    HWND findbox(const wchar_t* caption, DWORD ms = 5000);
    // Such a box shown now, other than `except`; null when there is none.
    HWND box(const wchar_t* caption, HWND except = nullptr);
    // Its text, and pressing one of its buttons (IDOK, IDYES, ...).
    static std::wstring boxtext(HWND box);
    static void press(HWND box, int id);

    // A shown top-level window of this process by class, waiting up to `ms`.
    HWND window(const wchar_t* cls, DWORD ms = 5000);
    // The texts of a window's BUTTON children, in creation order.
    static std::vector<std::wstring> buttons(HWND parent);

    // A child of the main window by class and control id.
    HWND child(const wchar_t* cls, int id);
    std::wstring title();
    static std::wstring text(HWND w);

    // The system log's text.
    std::wstring syslog();

private:
    bool owndir_ = false;  // made by this run: removed at the end
    std::wstring dir_;
    PROCESS_INFORMATION pi_ = {};
    HWND main_ = nullptr;
};

// Ctrl and a key, as typed on the keyboard.
void ctrlkey(WORD vk);
// A left click in the middle of a window, with the real mouse.
void click(HWND target);

// Waits until `cond` holds or `ms` pass; true when it held.
template <typename F>
bool waitfor(F cond, DWORD ms = 5000)
{
    const DWORD end = GetTickCount() + ms;
    for (;;) {
        if (cond())
            return true;
        if (static_cast<LONG>(GetTickCount() - end) > 0)
            return false;
        Sleep(20);
    }
}

}  // namespace htest
