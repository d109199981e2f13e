// What the engine's unit tests share: a scratch program folder, a window that
// stands for the host's main window, and the catching of fatal-error boxes.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "runtime/exescr.h"

namespace qtest {

// True under Wine (the test platform).
bool underwine();

// The scratch program folder (with its final "\"), which holds a "log" folder.
const std::wstring& scratchdir();

// The whole contents of a file as UTF-16 units, the byte-order mark included.
std::wstring readfile(const std::wstring& path);

// Writes a script file as the program stores them: UTF-16LE behind its mark.
void writescript(const std::wstring& path, const wchar_t* text);

// A file's bytes, written and read as they are ("<missing>" when it cannot be read).
void writebytes(const std::wstring& path, const std::string& bytes);
std::string readbytes(const std::wstring& path);

// Tracked blocks of an engine with allocation id `id`: how many, the first.
size_t countid(const ExeScr& e, int32_t id);
const memrec* findid(const ExeScr& e, int32_t id);

// Gives back what unit tests leave in an engine (locals, globals, function
// records, literal pools, the spare string block, tokens, datum stacks) and
// expects no tracked block to remain. A code list the test built itself must
// be detached first.
void releaseall(ExeScr& e);

// An engine whose log is open under "log\<name>.log", as a run opens it.
struct loggedengine : ExeScr {
    explicit loggedengine(const wchar_t* name);
    ~loggedengine() override;
    // Closes the log, so that the file can be read whole.
    void closelog();
    std::wstring contents() const;
};

// An EDIT control of the test thread standing for the host's log pane
// (hEditp) while it lives.
struct logpane {
    HWND hwnd;
    logpane();
    ~logpane();
    logpane(const logpane&) = delete;
    logpane& operator=(const logpane&) = delete;
    std::wstring text() const;
};

// A hidden top-level window of the test thread, standing for the host's main
// window; it counts the WM_CLOSE messages it receives and stays open.
HWND ownerwindow();
int closecount();

// Dispatches the calling thread's messages for about `ms` milliseconds.
void pump(DWORD ms);

// The fatal-error box ("QUORVEL - Exit") shown by thread `tid`, or null.
HWND findexitbox(DWORD tid);
std::wstring boxtext(HWND box);

// Runs `fn` on a new thread with `engine` and expects it to end in the fatal
// error exit. Returns the text of the box after closing it, having checked that
// WM_CLOSE then reached the owner window; returns "<returned>" when `fn`
// returned instead. The thread is ended and g_screxits cleared afterwards; the
// engine is left as the thread left it (never destroyed here).
std::wstring expectfatal(ExeScr& engine, const std::function<void(ExeScr&)>& fn);

// Threads the harness runs a fatal exit on: once the exit has shown its box
// and closed the host, the thread unwinds back to the harness (through the
// engine's end-of-fatal seam) instead of dispatching for ever, so that it can
// end without TerminateThread, which may kill it holding a lock of the
// platform's and hang whatever runs next.
struct fatalended {};
// Marks the calling thread as one the harness unwinds; installs the seam.
void unwindfatalhere();

// While it lives, hWndp is a hidden owner window of the calling thread (of the
// owner window's class, so its WM_CLOSE is counted too). The harness runs a
// script on a thread of its own with its own host window, so that the fatal
// box and the script window never belong to a window of another thread: under
// Wine 8 a thread that ends after showing such a box, or with a child of such
// a window, can leave the X11 driver's lock held, and the next thread that
// translates a key or makes a child window then waits for ever.
struct ownhost {
    HWND hwnd;
    HWND saved;
    ownhost();
    ~ownhost();
    ownhost(const ownhost&) = delete;
    ownhost& operator=(const ownhost&) = delete;
};
// Waits up to `ms` for `thread` to end; kills it only when it did not.
void endthread(HANDLE thread, DWORD ms);

// A fresh engine on the heap, for use with expectfatal (leaked on purpose: the
// fatal exit never hands it back).
ExeScr& fatalengine();

}  // namespace qtest
