// Compiling and running a whole script text for tests, without the run
// lifecycle: the log lines the script writes are what the tests compare.
#pragma once

#include <cstdint>
#include <functional>
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

// UTF-8 to UTF-16 and back.
std::wstring widen(const std::string& s);
std::string narrow(const std::wstring& s);

}  // namespace qtest
