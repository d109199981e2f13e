// The host's system log (a UTF-16LE file in the program's "log" folder,
// mirrored into the system-log pane), its "error.log" writer and its fatal exit.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <string>

namespace host {

// The system-log pane of the main window; null until the window exists.
extern HWND hEditSys;

// Formats with the Microsoft runtime's wide rules ("%s" is a wide string), of
// any length.
std::wstring vformat(const wchar_t* fmt, va_list ap);
std::wstring format(const wchar_t* fmt, ...);

// A final LF not preceded by CR becomes CR LF; no other line feed changes.
void crlfend(std::wstring& line);

// The system's message text for an error code, without its trailing line end.
std::wstring syserrtext(DWORD err);

// Makes sure "<programdir>log\" exists (script runs need it even with "/nolog").
bool ensurelogdir(const std::wstring& programdir);

// Opens "<programdir>log\quorvelsys.log", or the first free "-001.log" ...
// "-999.log" name. With `nolog` nothing is opened. 1 opened or not wanted,
// 0 failure.
int openlogfile(const std::wstring& programdir, bool nolog);
void closelogfile();
// The path of the open system log, empty when none.
const std::wstring& syslogpath();

// One line into the system log and, unless g_suplogmsg is set, the pane.
void logmsg(const wchar_t* fmt, ...);

// Appends `text` unchanged to "<programdir>error.log", opened at the first call
// of the process (made with its mark when new; the engine's lines are kept).
// 1 written; 0, with the reason in the system log, when it cannot be opened
// or written.
int errlog(const std::wstring& programdir, const wchar_t* text);
void closeerrlog();

// The fatal exit: silent once any fatal exit has begun; else logs, shows the
// box and asks the main window to close. Returns to its caller, which abandons
// the operation.
void fatalexit(const wchar_t* fmt, ...);

// How the fatal exit shows its message; tests replace it to catch the text
// instead of opening a box.
using fatalboxfn = void (*)(const wchar_t* text);
fatalboxfn setfatalbox(fatalboxfn fn);

}  // namespace host
