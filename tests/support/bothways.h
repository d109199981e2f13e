// Runs a script text in this process with the segment pass and without it,
// as the fuzzer (tests/tools/fuzzengine.cpp) compares them: the log each
// run writes (the fatal exit's "Exiting..." line as the exit writes it), and
// what it leaves: every global, the array elements (every one made, with a
// value or not, and the order they were made in), the side values of the
// integer commands and the datum stacks. Test code; it needs no test library.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "runtime/runlist.h"

class ExeScr;

namespace qtest {

struct runresult {
    std::wstring log;     // the log lines, LF line ends
    std::wstring state;   // a line per global and element, then the side values
    bool fatal = false;   // it ended in a fatal error (its line is the log's last)
    bool stopped = false; // the time bound stopped it
};

// Compiles and runs one text at a time on the calling thread, which needs a
// script thread's stack (scriptstacksize) for the nesting bounds to be met
// as in a run. The log goes to a scratch file kept open (`logpath`). A
// thread of its own keeps the time bound: a run still going after its bound
// gets its stop flag set, as ESC would; one that has not ended five seconds
// later is a hang, and `onhang` is called there (then the process ends with
// status 5).
class inprocess {
public:
    explicit inprocess(const std::wstring& logpath, std::function<void()> onhang = {});
    ~inprocess();
    inprocess(const inprocess&) = delete;
    inprocess& operator=(const inprocess&) = delete;

    // One run with the pass (`segments`) or without.
    runresult run(const std::wstring& text, bool segments, DWORD boundms);

private:
    static DWORD WINAPI watch(void* self);

    HANDLE logfile = INVALID_HANDLE_VALUE;
    HANDLE watcher = nullptr;
    HANDLE quit = nullptr;
    std::function<void()> onhang;
    // The run under way, what its bound is and whether it was stopped.
    SRWLOCK lock = SRWLOCK_INIT;
    ExeScr* engine = nullptr;
    ULONGLONG deadline = 0;
    bool fired = false;
};

// The two runs' difference, as a finding's notes would say it (the first
// point where they part, then both logs and states); empty when they agree.
std::wstring difference(const runresult& with, const runresult& without);

// Drops lines of `text` (CR LF) while `still` holds for what is left: runs of
// lines, halving, and a block's opening line with its closing "}", until
// nothing more goes or GetTickCount64() passes `deadline`.
std::wstring minimise(const std::wstring& text, const std::function<bool(const std::wstring&)>& still,
                      ULONGLONG deadline);

// Runs `fn` on a new thread with a script thread's stack and waits for it:
// where tests call inprocess::run.
template <class F>
void onscriptstack(F fn)
{
    struct box {
        F* fn;
        static DWORD WINAPI run(void* p)
        {
            (*static_cast<box*>(p)->fn)();
            return 0;
        }
    } b{&fn};
    HANDLE h = CreateThread(nullptr, scriptstacksize, box::run, &b, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
}

}  // namespace qtest
