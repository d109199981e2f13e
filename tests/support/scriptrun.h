// Compiling and running a whole script text for tests, without the run
// lifecycle: the log lines the script writes are what the tests compare.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

class ExeScr;

namespace qtest {

// Compiles `text` (the script without its byte-order mark) as the loader
// compiles a file, then runs its entry unit (main, or the top level) on a thread
// of its own with the script log open as "log\<name>.log". Returns the log
// without its byte-order mark and with CR LF turned into LF. A fatal error's box
// is closed; its "Exiting..." line stays in the log. Values left on the datum
// stacks by a completed run are reported as a last line "[left: datd N dats M]".
std::wstring runscript(const std::wstring& name, const std::wstring& text);
// Whether the engines runscript makes go through the segment pass, as a run
// does (the default): the file's code and what exeline and call compile
// while it runs. Tests turn it off to compare both ways.
extern bool segpasson;

// The same with what a run of the input and wait commands needs besides.
struct runoptions {
    // The run gets its hidden script window (a child of hWndp) and its monitor
    // table, as a real run does.
    bool window = false;
    // Called on the test thread once the run's thread has started, while the
    // script runs; it may wait on the engine's fields (dispatching its own
    // messages: the run's window is a child of the test thread's).
    std::function<void(ExeScr&)> during;
};
std::wstring runscript(const std::wstring& name, const std::wstring& text, const runoptions& opts);

// Gives `e` its hidden script window (a child of hWndp, on the calling thread)
// and its monitor table, as a run does; and takes the window away again.
void openscriptwindow(ExeScr& e);
void closescriptwindow(ExeScr& e);

// Compiles `text` (one line or more) into a fresh engine, left behind, and
// returns the operand cell behind the first cell of `op`; -1 (and a test
// failure) when there is none.
int64_t compiledoperand(const std::wstring& text, void (ExeScr::*op)());

// A script that ends in a fatal error, and the message of its one "Exiting..." line.
struct exitcase {
    const wchar_t* script;
    const wchar_t* message;
};
// Runs each script (as runscript does) and expects its whole log to be that line:
// a compile error's form, or with `atrun` a run-time error's (its line is part
// of the message there).
void expectexits(const wchar_t* name, std::initializer_list<exitcase> cases, bool atrun = false);
// A file's bytes, empty when it cannot be read.
std::string readtext(const std::wstring& path);
// A folder named at build time, as Windows sees it (a Unix path lies on drive
// Z:), with its final "\".
std::wstring buildfolder(const std::string& dir);

// UTF-8 to UTF-16 and back.
std::wstring widen(const std::string& s);
std::string narrow(const std::wstring& s);

// A path of the build machine as the test program sees it: a Unix path is
// reached through drive Z:, with backslashes.
std::wstring hostpath(const std::string& path);

}  // namespace qtest
