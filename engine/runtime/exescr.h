// The engine object: one per running script or script thread. It carries the
// compiled code and everything the run needs; the operations of compiled code
// are its member operations. Each group of operations declares itself in its own
// list, included into the class body below, so no one file must know them all.
#pragma once

#include <windows.h>
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/shorttext.h"

#include "runtime/casetable.h"
#include "runtime/codecell.h"
#include "runtime/datum.h"
#include "runtime/filetables.h"
#include "runtime/quorvelcore.h"
#include "runtime/scriptobjects.h"
#include "runtime/strpool.h"
#include "runtime/threads.h"
#include "runtime/tracked.h"
#include "runtime/variables.h"
#include "windows/boxthread.h"
#include "compiler/symbols.h"
#include "segments/segments.h"

// The video player's interfaces, declared here so that only its own files
// need the DirectShow headers.
struct IGraphBuilder;
struct IMediaControl;
struct IMediaPosition;
struct IBasicAudio;
struct IBaseFilter;
class BaseVideoRenderer;

class ExeScr {
public:
    ExeScr();
    // Virtual slots 0 and 1: the complete and the deleting destructor. Nothing
    // else is virtual. The destructor frees with the plain heap: the run's end has
    // already given back every tracked block.
    virtual ~ExeScr();
    ExeScr(const ExeScr&) = delete;
    ExeScr& operator=(const ExeScr&) = delete;

    // Executes code from cell `code + start` until an end cell, or until
    // `stopflag` is 1 after a cell.
    void runcode(uint32_t start);

    // ---- identity and run flags
    uint64_t instanceid;          // own address; the hex in event names
    uint32_t focused = 0;         // the script window has the focus
    // Written by the script thread, read by the host's thread (queryexeflag)
    // and other runs: atomic, like the script window's handle below.
    std::atomic<uint32_t> running{0};
    // Written by other threads to stop the run; read after every cell.
    volatile uint32_t stopflag = 0;
    uint32_t pausetoggle = 0;
    uint32_t logon = 0;           // the script log is open
    uint32_t apppending = 0;
    int32_t monitorcount = 0;
    uint32_t threadmode = 0;      // 1 in a script thread
    void* threadinfo = nullptr;   // the script thread's start record
    RECT monitors[6] = {};        // slot 0: the primary monitor

    // ---- paths, names and window
    std::wstring scriptpath;
    std::wstring scriptdir;       // with its final "\"
    std::wstring basename;
    std::atomic<HWND> scriptwnd{nullptr};
    std::wstring syserrtext;

    // ---- log state
    std::wstring logpath;
    // A script thread: the logs of the runs that started it, its main run's
    // first. It must never create one of them anew (openscriptlog).
    std::vector<std::wstring> ancestorlogs;
    HANDLE loghandle = nullptr;
    int64_t starttime = 0;
    // 0: lines are written; 1: only while logforce is 1; other values: never.
    uint32_t logsupfile = 0;
    uint32_t logsupwin = 0;
    uint32_t logforce = 0;

    // ---- code
    codecell* code = nullptr;     // first cell of the code list
    int32_t codeid = 234;
    int32_t codecap = 0;          // in cells
    codecell* codeend = nullptr;  // next free cell
    codecell* ip = nullptr;       // next cell to execute
    uint32_t unitbase = 0;        // jump operands are relative to this cell
    int32_t curfunc = 0;          // function being compiled or run; -1 for none
    uint32_t compiling = 0;       // 1 while the compiler runs

    // ---- values and variables
    tbuf<varrec> globals;         // id 210, 64 first
    std::vector<std::wstring> args;
    std::vector<std::wstring> callargs;
    tbuf<varrec> stackdd;         // id 310, 32 first; locals are negative indexes
    tbuf<datdcell> datd;          // id 224, at most 256
    tbuf<int32_t> offsets;        // the mypush stack, id 460
    tbuf<int32_t> offsets2;       // the mypush2 stack, id 461
    tbuf<datscell> dats;          // id 225, at most 256
    tbuf<arrayrec> arrays;        // id 1380, 10 first

    // ---- command state kept by the runtime
    uint32_t signmode = 1;        // 1 signed, 0 unsigned comparisons and shifts

    // ---- tracked allocations
    std::vector<memrec> allocs;
    uint32_t leakbaseline = 0;    // records the leak report tolerates

#include "runtime/memory_ops.inc"
#include "runtime/scriptlog_ops.inc"
#include "runtime/variables_ops.inc"
#include "runtime/datum_ops.inc"
#include "runtime/numeric_ops.inc"
#include "runtime/strings_ops.inc"
#include "runtime/filetables_ops.inc"
#include "runtime/scriptwindow_ops.inc"
#include "runtime/lifecycle_ops.inc"
#include "runtime/enginewords_ops.inc"
#include "runtime/calls_ops.inc"
#include "commands/strcommands_ops.inc"
#include "commands/printf_ops.inc"
#include "commands/math_ops.inc"
#include "compiler/compiler_ops.inc"
#include "compiler/lexer_ops.inc"
#include "compiler/statements_ops.inc"
#include "compiler/arguments_ops.inc"
#include "commands/threadqueue_ops.inc"
#include "commands/structure_ops.inc"
#include "commands/valuewords_ops.inc"
#include "commands/dirlist_ops.inc"
#include "commands/filesystem_ops.inc"
#include "commands/timecmds_ops.inc"
#include "commands/registrycmds_ops.inc"
#include "commands/fileptr_ops.inc"
#include "commands/filecontents_ops.inc"
#include "commands/windowsearch_ops.inc"
#include "commands/controls_ops.inc"
#include "commands/ctrlwin_ops.inc"
#include "commands/sendmouse_ops.inc"
#include "commands/resultlists_ops.inc"
#include "commands/processes_ops.inc"
#include "commands/wmi_ops.inc"
#include "commands/clipboard_ops.inc"
#include "commands/devices_ops.inc"
#include "windows/boxthread_ops.inc"
#include "windows/infobox_ops.inc"
#include "windows/tvbox_ops.inc"
#include "windows/gpbox_ops.inc"
#include "windows/inputbox_ops.inc"
#include "windows/dialogbox_ops.inc"
#include "segments/segments_ops.inc"
#include "segments/segloop_ops.inc"
#include "commands/input_ops.inc"
#include "commands/waits_ops.inc"
#include "commands/power_ops.inc"
#include "regexp/regexpcmds_ops.inc"
#include "windows/videoplayer_ops.inc"
#include "windows/imagebox_ops.inc"
#include "windows/drawbox_ops.inc"
#include "windows/viewbox_ops.inc"
};

// Inline: user-function calls run the same loop nested, and their cost is
// mostly this loop's entry and exit.
inline void ExeScr::runcode(uint32_t start)
{
    ip = code + start;
    for (;;) {
        codecell* cell = ip;
        if (!cell->op)
            return;
        ip = cell + 1;  // before the call: operands follow, jumps overwrite it
        (this->*(cell->op))();
        if (stopflag == 1)
            return;
        countcell();
    }
}

// A seam for test drivers, never set by the programs: the fatal exit hands
// its message here first. A driver may throw from it to unwind back to
// itself; the engine object is spent then (its blocks and stacks as they were).
extern void (*g_fatalhook)(ExeScr& engine, const wchar_t* msg);
// The second seam, for test harnesses: called when the fatal exit has done
// everything (log, box, WM_CLOSE) and would dispatch for ever. A harness may
// throw from it to end its own thread cleanly; otherwise it must return.
extern void (*g_fatalended)(ExeScr& engine);

// Appends one line to "error.log" in the program folder; 1 if written, 0 if the
// file cannot be created (the next call tries again).
int writeerrorlog(const wchar_t* line);
// The system's message for an error code (FormatMessage), without the line end
// the system gives it: it goes into lines and is kept as the last-error text.
// Empty when the system has none.
std::wstring lasterrortext(DWORD err);
// MsgWaitForMultipleObjectsEx for `count` handles or any message (input
// available counts): every wait of the engine that also hears its queue. The
// message classes include touch and pointer input, which systems before
// Windows 8 refuse: then the waits fall back, for good, to the classes every
// version knows.
DWORD msgwait(DWORD count, const HANDLE* handles, DWORD timeout);
// A manual-reset event for one wait of one run. Unnamed: nothing outside the
// run opens it, and no other process or run can set it.
HANDLE createwaitevent();
