// Scripts that drive a real program's windows: targetapp.exe (built beside
// this test) in processes of their own, and for menus the same window on a
// thread of this process, since Wine cannot read another process's menus.
// Each script of tests/windows runs through the compiler and the engine,
// once with the segment pass and once without it, each time against targets
// of its own (a script moves, clicks and closes what it drives); both logs
// must equal the .expected file beside it (window handles masked), and the
// targets' own logs must show what the script did to them.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/lineends.h"
#include "support/scriptrun.h"
#include "support/testenv.h"
#include "tools/targetwindow.h"

namespace {

using qtest::readtext;

std::wstring scriptdir()
{
    return qtest::buildfolder(QUORVEL_WINDOW_SCRIPTS);
}

std::wstring besideme(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.rfind(L'\\') + 1) + name;
}

std::vector<std::string> lines(const std::wstring& path)
{
    std::vector<std::string> out;
    std::istringstream in(readtext(path));
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

std::string joined(const std::vector<std::string>& v)
{
    std::string s;
    for (const std::string& l : v)
        s += "  " + l + "\n";
    return s;
}

// A target's log, read while it runs.
class targetlog {
public:
    explicit targetlog(const std::wstring& name) : path(qtest::scratchdir() + name + L".target.log")
    {
        DeleteFileW(path.c_str());
    }
    std::vector<std::string> read() const { return lines(path); }
    bool has(const std::string& line) const
    {
        for (const std::string& l : read())
            if (l == line)
                return true;
        return false;
    }
    bool waitfor(const std::string& line, DWORD ms = 10000) const
    {
        for (DWORD waited = 0; waited < ms; waited += 20) {
            if (has(line))
                return true;
            qtest::pump(20);
        }
        return has(line);
    }
    // Whether `want` occur in this order (other lines may come between).
    void expectinorder(const std::vector<std::string>& want) const
    {
        const std::vector<std::string> got = read();
        size_t at = 0;
        for (const std::string& l : got)
            if (at < want.size() && l == want[at])
                ++at;
        EXPECT_EQ(at, want.size()) << "missing from the target's log: "
                                   << (at < want.size() ? want[at] : std::string()) << "\nthe log:\n"
                                   << joined(got);
    }
    const std::wstring path;
};

// targetapp.exe in a process of its own, closed when the test ends.
class targetprocess : public targetlog {
public:
    targetprocess(const std::wstring& title, const std::wstring& cls, const std::wstring& at)
        : targetlog(cls)
    {
        std::wstring cmd = L"\"" + besideme(L"targetapp.exe") + L"\" /title \"" + title + L"\" /class " + cls +
                           L" /log \"" + path + L"\" /timeout 40 /at " + at;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            ADD_FAILURE() << "targetapp.exe did not start: " << GetLastError();
            return;
        }
        CloseHandle(pi.hThread);
        process = pi.hProcess;
        EXPECT_TRUE(waitfor("ready")) << "the target never got ready";
        hwnd = FindWindowW(cls.c_str(), title.c_str());
    }
    ~targetprocess()
    {
        if (!process)
            return;
        if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(process, 5000) == WAIT_TIMEOUT)
                TerminateProcess(process, 9);
        }
        CloseHandle(process);
    }
    targetprocess(const targetprocess&) = delete;
    targetprocess& operator=(const targetprocess&) = delete;
    bool ended(DWORD ms = 5000) const { return WaitForSingleObject(process, ms) == WAIT_OBJECT_0; }

    HANDLE process = nullptr;
    HWND hwnd = nullptr;
};

// The same window on a thread of this process.
class targetthread : public targetlog {
public:
    targetthread(const std::wstring& title, const std::wstring& cls) : targetlog(cls)
    {
        opts.title = title;
        opts.cls = cls;
        opts.logpath = path;
        opts.timeout = 40;
        thread = CreateThread(nullptr, 0, entry, this, 0, nullptr);
        for (int k = 0; k < 500 && !hwnd; ++k)
            qtest::pump(10);
        EXPECT_NE(hwnd, nullptr) << "the target window never came";
    }
    ~targetthread()
    {
        if (IsWindow(hwnd))
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(thread, 5000) == WAIT_TIMEOUT)
            TerminateThread(thread, 9);
        CloseHandle(thread);
    }
    targetthread(const targetthread&) = delete;
    targetthread& operator=(const targetthread&) = delete;
    bool ended(DWORD ms = 5000) const { return WaitForSingleObject(thread, ms) == WAIT_OBJECT_0; }

    target::options opts;
    HANDLE thread = nullptr;
    HWND volatile hwnd = nullptr;

private:
    static DWORD WINAPI entry(void* self)
    {
        auto* t = static_cast<targetthread*>(self);
        return static_cast<DWORD>(target::run(t->opts, &t->hwnd));
    }
};

// A script's log with the window handles its diagnostic lines print masked
// (a handle of 0, nothing found, stays).
std::string masked(const std::wstring& log)
{
    static const std::regex handle("(hWnd[ :]|Matched )(?!0 )[0-9a-f]+");
    return std::regex_replace(qtest::narrow(log), handle, "$1#");
}

std::string runwindowscript(const std::string& name)
{
    const std::wstring text = qtest::widen(readtext(scriptdir() + qtest::widen(name) + L".tst"));
    return masked(qtest::runscript(qtest::widen(name), qtest::crlf(text)));
}

// Runs the script one way and expects its .expected log; returns the log.
std::string expectscript(const std::string& name)
{
    const std::wstring path = scriptdir() + qtest::widen(name) + L".expected";
    const std::string log = runwindowscript(name);
    // QUORVEL_WRITE_EXPECTED=1 writes the log as the new expectation, for review.
    if (qtest::segpasson && GetEnvironmentVariableW(L"QUORVEL_WRITE_EXPECTED", nullptr, 0) > 0)
        std::ofstream(path.c_str(), std::ios::binary) << log;
    EXPECT_EQ(readtext(path), log) << "script " << name << (qtest::segpasson ? "" : ", without the segment pass");
    return log;
}

// Whether every target's window came (a test failure where one did not).
bool came(std::initializer_list<HWND> windows)
{
    for (HWND h : windows)
        if (!h) {
            ADD_FAILURE() << "a target's window did not come";
            return false;
        }
    return true;
}

// Runs `way` with the segment pass and then without it; each run makes,
// drives and checks targets of its own and gives back the script's log. A
// difference of the two logs is a segment that computes what its cells do
// not.
void bothways(const std::function<std::string()>& way)
{
    std::string logs[2];
    for (const bool pass : {true, false}) {
        SCOPED_TRACE(pass ? "with the segment pass" : "without the segment pass");
        qtest::segpasson = pass;
        logs[pass ? 0 : 1] = way();
        qtest::segpasson = true;
    }
    EXPECT_EQ(logs[0], logs[1]) << "the log with the segment pass, then without it";
}

// Puts the cursor back where it was: the tests that run after these ones
// open windows of their own under it.
class cursorkept {
public:
    cursorkept() { GetCursorPos(&at); }
    ~cursorkept() { SetCursorPos(at.x, at.y); }
    cursorkept(const cursorkept&) = delete;
    cursorkept& operator=(const cursorkept&) = delete;

private:
    POINT at = {};
};

RECT rectof(HWND h)
{
    RECT r = {};
    GetWindowRect(h, &r);
    return r;
}

}  // namespace

TEST(WindowScripts, SearchByTitleClassNumberAndPoint)
{
    const cursorkept cursor;
    bothways([] {
        targetprocess alpha(L"Quorvel target alpha", L"QuorvelTargetA", L"10 20 200 200");
        targetprocess beta(L"Quorvel target beta", L"QuorvelTargetB", L"300 100 420 320");
        if (!came({alpha.hwnd, beta.hwnd}))
            return std::string();
        // The cursor rests on beta's "Cancel" button for "windowfrompoint".
        HWND cancel = FindWindowExW(beta.hwnd, nullptr, L"Button", L"Cancel");
        const RECT c = rectof(cancel);
        SetCursorPos((c.left + c.right) / 2, (c.top + c.bottom) / 2);
        return expectscript("search");
    });
}

TEST(WindowScripts, ListingEveryTopLevelWindow)
{
    targetprocess beta(L"Quorvel target beta", L"QuorvelTargetB", L"300 100 420 320");
    const std::string log = qtest::narrow(qtest::runscript(L"listing", L"gethwnd(enum)\r\nprintf(\"done\\n\")\r\n"));
    EXPECT_NE(log.find("title:Quorvel target beta: Class:QuorvelTargetB: hWnd:"), std::string::npos) << log;
    EXPECT_NE(log.find("\ndone\n"), std::string::npos) << log;
}

TEST(WindowScripts, ChildSearchWithNothingToFindIsFatal)
{
    targetprocess beta(L"Quorvel target beta", L"QuorvelTargetB", L"300 100 420 320");
    const std::string log = qtest::narrow(
        qtest::runscript(L"childfatal", L"gethwnd(h, \"Quorvel target beta\")\r\ngetchildhwnd(c, h, \"\", \"\")\r\n"));
    EXPECT_NE(log.find("Exiting... title&class:invalid string. at line 2"), std::string::npos) << log;
}

TEST(WindowScripts, ControlsOfAnotherProcess)
{
    const cursorkept cursor;
    bothways([] {
        targetprocess t(L"Quorvel target controls", L"QuorvelTargetC", L"100 100 420 320");
        if (!came({t.hwnd}))
            return std::string();
        const std::string script = expectscript("controls");
        EXPECT_TRUE(t.ended()) << "the script closed it";
        t.expectinorder({"button Apply", "button Apply later", "button Apply", "button (untitled)", "check 1",
                         "check 2", "check 0", "list1 Cherry", "list2 Three", "combo Green", "close"});
        const std::vector<std::string> log = t.read();
        EXPECT_FALSE(log.empty());
        if (!log.empty()) {
            EXPECT_EQ(log.back().substr(0, 6), "final ");
            EXPECT_NE(log.back().find(" check=0 list1=Cherry list2=Three combo=Green"), std::string::npos)
                << log.back();
        }
        return script;
    });
}

TEST(WindowScripts, PlacementShowStatesAndZOrder)
{
    bothways([] {
        targetprocess one(L"Quorvel place one", L"QuorvelPlaceOne", L"100 100 300 200");
        targetprocess two(L"Quorvel place two", L"QuorvelPlaceTwo", L"450 100 300 200");
        if (!came({one.hwnd, two.hwnd}))
            return std::string();
        const std::string script = expectscript("placement");
        EXPECT_TRUE(two.ended()) << "closed by the script";
        EXPECT_TRUE(one.ended());
        one.expectinorder({"pos 50 60 370 300", "pos 70 80 390 320", "hide", "show", "minimized", "restored",
                           "maximized", "restored", "close"});
        two.expectinorder({"close"});
        return script;
    });
}

TEST(WindowScripts, MenusOfAWindowOfThisProcess)
{
    const cursorkept cursor;
    bothways([] {
        targetthread t(L"Quorvel target menus", L"QuorvelTargetM");
        if (!came({t.hwnd}))
            return std::string();
        const std::string script = expectscript("menus");
        PostMessageW(t.hwnd, WM_CLOSE, 0, 0);
        EXPECT_TRUE(t.ended()) << "no menu is left open";
        t.expectinorder({"menu Open", "menu First file", "menu Gamma", "menu About", "close"});
        EXPECT_FALSE(t.has("menu Exit")) << "the last path never reached its item";
        return script;
    });
}
