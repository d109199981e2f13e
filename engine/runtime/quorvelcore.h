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

}  // extern "C"
