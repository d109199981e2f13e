#include "support/scriptrun.h"

#include <optional>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <objbase.h>

#include "compiler/scriptsource.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"
#include "support/testenv.h"

namespace qtest {

bool segpasson = true;

namespace {

struct scriptrun {
    ExeScr* e;
    scriptsource* src;
    bool window;
    volatile LONG started;
    volatile LONG returned;
};

void runentry(scriptrun& r);

DWORD WINAPI runthread(void* arg)
{
    auto* run = static_cast<scriptrun*>(arg);
    ExeScr& e = *run->e;
    // As a run does: the COM-based commands need no set-up of their own.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    unwindfatalhere();
    {
        // A run with a script window keeps the test's own host (its keys and
        // focus tests need it); any other gets a host of its own thread.
        std::optional<ownhost> host;
        if (!run->window)
            host.emplace();
        try {
            runentry(*run);
        } catch (const fatalended&) {
            // The fatal exit is complete: its line is in the log, its box closed.
        }
        closescriptwindow(e);
    }
    CoUninitialize();
    return 0;
}

void runentry(scriptrun& r)
{
    scriptrun* run = &r;
    ExeScr& e = *run->e;
    if (run->window)
        openscriptwindow(e);
    InterlockedExchange(&run->started, 1);
    e.loadscript(run->src->text());
    e.segpass(0);  // as a run's reading of its file does
    // The entry unit is the last record: "main", or "null" for the top level.
    e.curfunc = static_cast<int32_t>(e.functable.size() - 1);
    e.unitbase = static_cast<uint32_t>(e.functable.back().codestart);
    e.runcode(e.unitbase);
    // As a run's end does: the unit's result is dropped, and a stopped run may
    // leave what it was working on.
    if (e.datd.count())
        --e.datd.top;
    if (e.stopflag != 1 && (e.datd.count() || e.dats.count()))
        e.mylogmsg(L"[left: datd %d dats %d]\n", e.datd.count(), e.dats.count());
    closescriptwindow(e);
    InterlockedExchange(&run->returned, 1);
}

}  // namespace

std::string readtext(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::wstring buildfolder(const std::string& dir)
{
    return hostpath(dir) + L"\\";
}

void openscriptwindow(ExeScr& e)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ExeScr::exescr_wndproc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"quorvel.exescr";
    RegisterClassW(&wc);  // registered already after the first: fine
    e.scriptwnd = CreateWindowExW(0, L"quorvel.exescr", L"", WS_CHILD | WS_BORDER, 0, 0, 0, 0, hWndp, nullptr,
                                  wc.hInstance, &e);
    e.running = 1;
    e.enummonitors();
}

void closescriptwindow(ExeScr& e)
{
    if (e.scriptwnd)
        DestroyWindow(e.scriptwnd);
    e.scriptwnd = nullptr;
    e.running = 0;
}

int64_t compiledoperand(const std::wstring& text, void (ExeScr::*op)())
{
    ExeScr& e = *new ExeScr();
    auto& src = *new scriptsource(text + L"\r\n");
    e.loadscript(src.text());
    for (codecell* c = e.code; c && c + 1 < e.codeend; ++c)
        if (c->op == op)
            return c[1].i;
    ADD_FAILURE() << "not compiled to that operation: " << narrow(text);
    return -1;
}

std::wstring widen(const std::string& s)
{
    if (s.empty())
        return {};
    std::wstring w(s.size(), L'\0');
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), static_cast<int>(w.size()));
    w.resize(static_cast<size_t>(n));
    return w;
}

std::string narrow(const std::wstring& w)
{
    if (w.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring hostpath(const std::string& path)
{
    std::wstring p = widen(path);
    if (!p.empty() && p[0] == L'/') {
        for (wchar_t& c : p)
            if (c == L'/')
                c = L'\\';
        p = L"Z:" + p;
    }
    return p;
}

std::wstring runscript(const std::wstring& name, const std::wstring& text)
{
    return runscript(name, text, runoptions{});
}

std::wstring runscript(const std::wstring& name, const std::wstring& text, const runoptions& opts)
{
    // Both are left behind: a fatal exit never hands the engine back.
    auto* e = new ExeScr();
    // The engine's own switch, not a skipped pass: code that exeline and
    // call compile while the script runs goes through the pass as well.
    e->segon = segpasson ? 1 : 0;
    auto* src = new scriptsource(text);
    e->basename = name;
    e->logpath = programdir + L"log\\" + name + L".log";
    e->openscriptlog();
    e->logon = 1;

    scriptrun run{e, src, opts.window, 0, 0};
    DWORD tid = 0;
    // The stack a script thread gets, so that nesting bounds are tried as in a run.
    HANDLE thread = CreateThread(nullptr, scriptstacksize, runthread, &run, STACK_SIZE_PARAM_IS_A_RESERVATION, &tid);
    if (opts.during) {
        while (!run.started)
            pump(1);
        opts.during(*e);
    }
    bool ended = false;
    for (int tries = 0; tries < 4000 && !ended; ++tries) {
        pump(5);
        if (run.returned)
            ended = true;
        else if (HWND box = findexitbox(tid)) {
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            pump(50);
            ended = true;
        }
    }
    if (!ended)
        e->stopflag = 1;  // a run that never ends is stopped, as ESC would
    endthread(thread, 5000);
    InterlockedExchange(&g_screxits, 0);
    exitflag = 0;

    // Lines gathered from a burst reach the file when the log closes. A run
    // that timed out was ended wherever it was: its log is only closed.
    if (ended) {
        e->closescriptlog();
    } else {
        CloseHandle(e->loghandle);
        e->loghandle = nullptr;
    }
    std::wstring log = readfile(e->logpath);
    if (!log.empty() && log[0] == 0xFEFF)
        log.erase(0, 1);
    std::wstring out;
    for (size_t k = 0; k < log.size(); ++k)
        if (!(log[k] == L'\r' && k + 1 < log.size() && log[k + 1] == L'\n'))
            out += log[k];
    if (!ended)
        out += L"[timed out]\n";
    return out;
}

void expectexits(const wchar_t* name, std::initializer_list<exitcase> cases, bool atrun)
{
    for (const exitcase& c : cases)
        EXPECT_EQ(narrow(runscript(name, c.script)),
                  narrow(std::wstring(L"Exiting... ") + c.message + (atrun ? L"\n" : L" \n")))
            << narrow(c.script);
}

}  // namespace qtest
