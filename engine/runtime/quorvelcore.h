// The engine library's face to the host: the data the host fills before a run
// and the entry points it calls. Both sides use the one C runtime heap, so the
// standard strings and vectors below may be written by either.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

#if defined(QUORVELCORE_BUILD)
#define QUORVELCORE_API __declspec(dllexport)
#else
#define QUORVELCORE_API __declspec(dllimport)
#endif

extern "C" {

// Program folder with its final "\"; the "log" folder and "error.log" lie below it.
QUORVELCORE_API extern std::wstring programdir;
// The script arguments; each run copies them when it is registered.
QUORVELCORE_API extern std::vector<std::wstring> argbuffs;

QUORVELCORE_API extern int exitflag;        // a script ran "exit": the run end closes hWndp
QUORVELCORE_API extern int quitflag;        // host started with "/quit"
QUORVELCORE_API extern volatile LONG g_screxits;  // 1 once a fatal error exit has begun
QUORVELCORE_API extern int g_suplogmsg;     // non-zero: log lines stay out of hEditp
// Non-zero: compiled code runs as compiled, without the segment pass. Read
// when each run's engine object is made. For the tests, which run scripts both
// ways and compare the logs (the console runner's --nosegments); the host
// never sets it.
QUORVELCORE_API extern int g_segpassoff;

QUORVELCORE_API extern int fontheight;
QUORVELCORE_API extern wchar_t fontname[LF_FACESIZE];
QUORVELCORE_API extern HFONT hFont1;
QUORVELCORE_API extern HFONT hFont2;

QUORVELCORE_API extern HWND hWndp;          // host main window
QUORVELCORE_API extern HWND hEditp;         // host script-log pane
QUORVELCORE_API extern HWND hWndRunEdit;    // host running-scripts line
QUORVELCORE_API extern HWND hStatus;        // host status bar

QUORVELCORE_API extern HGDIOBJ g_stock_white;
QUORVELCORE_API extern HGDIOBJ g_stock_black;

// Starts a main script on a thread of its own; returns once the run is
// registered (the host's messages are dispatched meanwhile).
QUORVELCORE_API void startMyExec(const wchar_t* path);
// Focus to the newest run's script window; 1 if SetFocus gave a handle.
QUORVELCORE_API int setfocusto();
// Focus to the script windows of every run named `name` (cut at its last ".").
QUORVELCORE_API int setfocusto_m(const wchar_t* name);
// The running flag of the newest run, 0 with none.
QUORVELCORE_API int queryexeflag();
// 1 if a run was started with exactly this path.
QUORVELCORE_API int queryexealive(const wchar_t* path);
// Stops every run and waits for the run list to empty (at most 50 waits of
// 100 ms), dispatching messages; returns 1.
QUORVELCORE_API int mythreadclosure();
// Waits, dispatching messages, until every script thread the engine started
// (main runs and script threads) has ended, or `ms` milliseconds have passed;
// 1 when all have ended. A run leaves the run list before its thread has
// finished its end: a host calls this once no run is left, before it returns
// from its entry point, and ends the process with TerminateProcess when it
// gives 0 (a fatal exit keeps its thread for good), so that no global of the
// library is destroyed while one of its threads still runs.
QUORVELCORE_API int waitscriptthreads(unsigned ms);
// The log file that the newest main run started with exactly `path` opened
// (its own, never one of its script threads'), also after the run ended. Its
// length; copied with its terminator into `buf` when `cap` has room for both.
// 0 when no such run has opened its log.
QUORVELCORE_API int querylogpath(const wchar_t* path, wchar_t* buf, int cap);

}  // extern "C"

#if defined(QUORVELCORE_BUILD)
// Inside the engine: a main run keeps the log it opened for querylogpath.
void notelogpath(const std::wstring& path, const std::wstring& log);
#endif
