// Whole runs through the exported entry points: banners, unreadable files, the
// run list and its queries, stopping every run, and the split of a
// script path and the log a run reports.
#include <gtest/gtest.h>

#include <process.h>

#include <sstream>
#include <string>
#include <vector>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;
using qtest::pump;
using qtest::scratchdir;
using qtest::writebytes;

namespace {

std::vector<std::wstring> loglines(const std::wstring& name)
{
    std::wstring text = qtest::readfile(scratchdir() + L"log\\" + name + L".log");
    std::vector<std::wstring> lines;
    if (!text.empty() && text[0] == 0xFEFF)
        text.erase(0, 1);
    std::wstringstream in(text);
    for (std::wstring line; std::getline(in, line, L'\n');) {
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Waits, dispatching, until the run of `path` has left the run list.
bool waitgone(const std::wstring& path, DWORD ms = 10000)
{
    const ULONGLONG end = GetTickCount64() + ms;
    while (queryexealive(path.c_str())) {
        if (GetTickCount64() > end)
            return false;
        pump(10);
    }
    return true;
}

bool startswith(const std::wstring& s, const std::wstring& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

}  // namespace

TEST(Run, MissingFileIsLoggedBetweenBothBanners)
{
    const std::wstring path = scratchdir() + L"absent.tst";
    startMyExec(path.c_str());
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        EXPECT_EQ(g_runlisttext.substr(0, 1), L" ");
        EXPECT_NE(g_runlisttext.find(L"absent"), std::wstring::npos);
    }
    ASSERT_TRUE(waitgone(path));
    const auto lines = loglines(L"absent");
    // One line: the system's text comes without its own line end.
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], L"QUORVEL ver: 1.0.0.0 ");
    EXPECT_TRUE(startswith(lines[1], L"Quorvel start ____________________")) << lines[1];
    EXPECT_EQ(lines[2], L"Script File:" + path + L" ");
    EXPECT_TRUE(startswith(lines[3], L"File open failed.:" + path + L":")) << lines[3];
    EXPECT_EQ(lines[3].substr(lines[3].size() - 3), L".: ") << lines[3];
    EXPECT_TRUE(startswith(lines[4], L"Quorvel end   ____________________")) << lines[4];
    EXPECT_EQ(queryexeflag(), 0);
}

TEST(Run, FilesWithoutTheMarkAreRefused)
{
    // Empty and one-byte files are too short to carry the mark at all.
    const struct {
        const wchar_t* name;
        std::string bytes;
    } cases[] = {{L"empty", ""}, {L"onebyte", "m"}, {L"utf8", "main\r\n{\r\n}\r\n"}, {L"bigendian", "\xFE\xFF"}};
    for (const auto& c : cases) {
        const std::wstring path = scratchdir() + c.name + L".tst";
        writebytes(path, c.bytes);
        ExeScr& e = fatalengine();
        e.scriptpath = path;
        EXPECT_EQ(expectfatal(e, [](ExeScr& x) { x.runscriptchk(); }), L"This file is not UNICODE format.")
            << c.name;
        const auto lines = loglines(c.name);
        ASSERT_FALSE(lines.empty()) << c.name;
        EXPECT_EQ(lines.back(), L"Exiting... This file is not UNICODE format. ") << c.name;
    }
}

TEST(Run, AScriptWithoutStatementsEndsNormally)
{
    const std::wstring path = scratchdir() + L"nothing.tst";
    writebytes(path, std::string("\xFF\xFE", 2));
    startMyExec(path.c_str());
    ASSERT_TRUE(waitgone(path));
    const auto lines = loglines(L"nothing");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(startswith(lines[3], L"Quorvel end")) << lines[3];
}

// The end banner's elapsed time reads as minutes, seconds and three digits
// of milliseconds: 25 ms is "0:0.025", never "0:0.25".
TEST(Run, TheEndBannerGivesMillisecondsInThreeDigits)
{
    const std::wstring path = scratchdir() + L"elapsed.tst";
    qtest::writescript(path, L"main\r\n{\r\n    sleepm(25)\r\n}\r\n");
    startMyExec(path.c_str());
    ASSERT_TRUE(waitgone(path));
    const auto lines = loglines(L"elapsed");
    ASSERT_FALSE(lines.empty());
    const std::wstring& end = lines.back();
    ASSERT_TRUE(startswith(end, L"Quorvel end")) << qtest::narrow(end);
    const std::wstring field = end.substr(end.rfind(L' ') + 1);
    int minutes = -1, seconds = -1, ms = -1, used = 0;
    ASSERT_EQ(swscanf(field.c_str(), L"%d:%d.%d%n", &minutes, &seconds, &ms, &used), 3) << qtest::narrow(field);
    const size_t dot = field.find(L'.');
    EXPECT_EQ(field.size() - dot - 1, 3u) << qtest::narrow(field);
    EXPECT_GE(minutes * 60000 + seconds * 1000 + ms, 20) << qtest::narrow(field);
}

TEST(RunList, QueriesOnAnEmptyRunList)
{
    EXPECT_EQ(queryexeflag(), 0);
    EXPECT_EQ(setfocusto(), 0);
    EXPECT_EQ(setfocusto_m(L"anything.tst"), 0);
    EXPECT_EQ(queryexealive(L"anything.tst"), 0);
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(mythreadclosure(), 1);
    EXPECT_LT(GetTickCount64() - started, 2000u) << "returns after its first time-out";
}

namespace {

// A stand-in for a script that never ends on its own: registered as a main
// script would be, running until its stop flag is set.
struct endless {
    std::wstring path;
    HANDLE thread = nullptr;
    volatile LONG registered = 0;

    static unsigned __stdcall proc(void* arg)
    {
        auto* self = static_cast<endless*>(arg);
        ExeScr engine;
        engine.running = 1;
        {
            std::lock_guard<std::mutex> lock(g_scriptmutex);
            runlist.push_back(listedrun{self->path, runname(self->path), &engine, nullptr});
            rebuildrunlist();
        }
        InterlockedExchange(&self->registered, 1);
        while (engine.stopflag != 1)
            Sleep(5);
        engine.running = 0;
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        unregister(&engine);
        return 0;
    }

    explicit endless(std::wstring p) : path(std::move(p))
    {
        thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, proc, this, 0, nullptr));
        while (!registered)
            Sleep(1);
    }
    ~endless()
    {
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
    }
};

}  // namespace

TEST(RunList, QueriesAndClosureWithRunningScripts)
{
    endless a(L"C:\\scripts\\first.tst");
    endless b(L"C:\\scripts\\second.tst");
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        EXPECT_EQ(g_runlisttext, L" first|second");
    }
    EXPECT_EQ(queryexealive(L"C:\\scripts\\first.tst"), 1);
    EXPECT_EQ(queryexealive(L"C:\\scripts\\FIRST.tst"), 0) << "paths compare exactly";
    EXPECT_EQ(queryexealive(L"first.tst"), 0);
    EXPECT_EQ(queryexeflag(), 1);
    EXPECT_EQ(setfocusto(), 0) << "the newest run has no window";

    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(mythreadclosure(), 1);
    EXPECT_LT(GetTickCount64() - started, 3000u) << "returns once the run list is empty";
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    EXPECT_TRUE(runlist.empty());
}

TEST(RunList, StopScriptReachesOnlyTheChildrenOfItsKey)
{
    ExeScr parent, child, other;
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        runlist.push_back(listedrun{L"p", L"p", &parent, nullptr});
        runlist.push_back(listedrun{L"p", L"p", &child, &parent});
        runlist.push_back(listedrun{L"o", L"o", &other, nullptr});
    }
    stopscript(&parent, 0);
    EXPECT_EQ(parent.stopflag, 0u);
    EXPECT_EQ(child.stopflag, 1u);
    EXPECT_EQ(other.stopflag, 0u);
    stopscript(nullptr, 1);
    EXPECT_EQ(parent.stopflag, 1u);
    EXPECT_EQ(other.stopflag, 1u);
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    runlist.clear();
}

TEST(RunList, RunNamesDropTheFolderAndTheLastExtension)
{
    EXPECT_EQ(runname(L"C:\\a.b\\job.v2.tst"), L"job.v2");
    EXPECT_EQ(runname(L"C:\\a.b\\job"), L"job");
    EXPECT_EQ(runname(L"plain.tst"), L"plain");
}

namespace {

int g_destroyed = 0;

// A script object with an optional window, counting its destruction.
class fakeobject : public scriptobject {
public:
    explicit fakeobject(HWND w) : wnd(w) {}
    ~fakeobject() override { ++g_destroyed; }
    HWND objectwindow() const override { return wnd; }
    HWND wnd;
};

class fakeimage : public imageboxobject {
public:
    fakeimage(int32_t k, HDC dc, HWND w) : kind(k), dc(dc), wnd(w) {}
    ~fakeimage() override { ++g_destroyed; }
    int32_t imgkind() const override { return kind; }
    HDC memdc() const override { return dc; }
    HWND objectwindow() const override { return wnd; }
    int32_t kind;
    HDC dc;
    HWND wnd;
};

template <class T, class... A>
T* placed(ExeScr& e, int32_t id, A... args)
{
    return new (e.mymalloc2(sizeof(T), id)) T(args...);
}

HWND popup() { return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr); }

}  // namespace

TEST(RunEnd, BoxesAndImageBoxesAreClosedDestroyedAndUnregistered)
{
    ExeScr e;
    g_destroyed = 0;
    HWND view = popup(), draw = popup(), regexpwnd = popup(), imgwnd = popup();
    const struct {
        int32_t kind;
        HWND wnd;
    } boxes[] = {{objregexp, regexpwnd}, {objviewbox, view}, {objdrawbox, draw}, {objinfobox, nullptr}};
    for (const auto& b : boxes) {
        if (e.boxtable.full())
            e.growbuf(e.boxtable, 10, 1380);
        objrec* r = e.boxtable.top++;
        *r = objrec{};
        r->obj = placed<fakeobject>(e, 1391, b.wnd);
        r->allocid = 1391;
        r->kind = b.kind;
    }
    HDC memdc = CreateCompatibleDC(nullptr);
    e.imageboxes.push_back(placed<fakeimage>(e, imageboxid, imgmemorykind, memdc, HWND(nullptr)));
    e.imageboxes.push_back(placed<fakeimage>(e, imageboxid, 1, HDC(nullptr), imgwnd));

    e.freeboxes();
    EXPECT_EQ(g_destroyed, 6);
    EXPECT_TRUE(e.allocs.empty()) << "every object's block is unregistered";
    EXPECT_EQ(e.boxtable.count(), 0);
    EXPECT_TRUE(e.imageboxes.empty());
    EXPECT_FALSE(IsWindow(view));
    EXPECT_FALSE(IsWindow(draw));
    EXPECT_FALSE(IsWindow(imgwnd));
    EXPECT_TRUE(IsWindow(regexpwnd)) << "a regular expression's object has no window to close";
    EXPECT_EQ(GetObjectType(memdc), 0u) << "the memory device context is deleted";
    DestroyWindow(regexpwnd);
}

namespace {

std::vector<std::string> g_order;

// A composite tile: only a memory DC, noted when it goes.
class ordertile : public imageboxobject {
public:
    int32_t imgkind() const override { return imgmemorykind; }
    HDC memdc() const override { return nullptr; }
    void dropmemdc() override { g_order.push_back("tile"); }
};

// A box with a window that notes its WM_CLOSE.
class orderbox : public imageboxobject {
public:
    explicit orderbox(HWND w) : wnd(w) {}
    int32_t imgkind() const override { return 24; }
    HDC memdc() const override { return nullptr; }
    HWND objectwindow() const override { return wnd; }
    HWND wnd;
};

LRESULT CALLBACK notedclose(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_CLOSE) {
        g_order.push_back("close");
        DestroyWindow(w);
        return 0;
    }
    return DefWindowProcW(w, msg, wp, lp);
}

}  // namespace

TEST(RunEnd, ImageBoxWindowsCloseBeforeAnyTileGoes)
{
    // Tiles listed before their parent: the parent's window must not be able
    // to paint them once they are gone.
    WNDCLASSW wc = {};
    wc.lpfnWndProc = notedclose;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"qtest.notedclose";
    RegisterClassW(&wc);
    HWND parent = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ExeScr e;
    g_order.clear();
    e.imageboxes.push_back(placed<ordertile>(e, imageboxid));
    e.imageboxes.push_back(placed<ordertile>(e, imageboxid));
    e.imageboxes.push_back(placed<orderbox>(e, imageboxid, parent));
    e.freeboxes();
    EXPECT_EQ(g_order, (std::vector<std::string>{"close", "tile", "tile"}));
    EXPECT_TRUE(e.allocs.empty());
    EXPECT_FALSE(IsWindow(parent));
}

namespace {

HWND windowof(const std::wstring& path)
{
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    for (const listedrun& r : runlist)
        if (r.path == path)
            return r.exe->scriptwnd;
    return nullptr;
}

}  // namespace

TEST(Run, EscapeStopsABusyScript)
{
    const std::wstring path = scratchdir() + L"busy.tst";
    qtest::writescript(path, L"main\r\n{\r\n    while (1) {\r\n    }\r\n}\r\n");
    startMyExec(path.c_str());
    EXPECT_EQ(queryexealive(path.c_str()), 1);
    HWND wnd = nullptr;
    for (int k = 0; k < 200 && !wnd; ++k) {
        pump(5);
        wnd = windowof(path);
    }
    ASSERT_NE(wnd, nullptr);
    pump(100);
    EXPECT_EQ(queryexeflag(), 1) << "the newest run is running";
    EXPECT_EQ(queryexealive(path.c_str()), 1) << "a loop without waits keeps running";
    PostMessageW(wnd, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(waitgone(path, 5000)) << "ESC did not stop the loop";
    const auto lines = loglines(L"busy");
    ASSERT_FALSE(lines.empty());
    EXPECT_TRUE(startswith(lines.back(), L"Quorvel end")) << "a stopped run still ends with its banner";
}

TEST(Run, ClosureStopsEveryRunningScript)
{
    std::vector<std::wstring> paths;
    for (const wchar_t* name : {L"spin1.tst", L"spin2.tst"}) {
        paths.push_back(scratchdir() + name);
        qtest::writescript(paths.back(), L"main\r\n{\r\n    i = 0\r\n    while (1)\r\n        i++\r\n}\r\n");
        startMyExec(paths.back().c_str());
    }
    pump(100);
    for (const std::wstring& p : paths)
        EXPECT_EQ(queryexealive(p.c_str()), 1);
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(mythreadclosure(), 1);
    EXPECT_LT(GetTickCount64() - started, 3000u);
    for (const std::wstring& p : paths)
        EXPECT_EQ(queryexealive(p.c_str()), 0);
}

TEST(Run, AScriptThreadLogsToTheNumberedLog)
{
    const std::wstring path = scratchdir() + L"withthread.tst";
    qtest::writescript(path, L"main\r\n{\r\n    t = threadstart(worker, \"w\", 5)\r\n    threadctl(join, t)\r\n"
                             L"    \"joined\"\r\n}\r\nthread worker(str name, n)\r\n{\r\n"
                             L"    printf(\"%s %d\\n\", name, n + 1)\r\n}\r\n");
    startMyExec(path.c_str());
    ASSERT_TRUE(waitgone(path));
    const auto main = loglines(L"withthread");
    ASSERT_GE(main.size(), 5u);
    EXPECT_EQ(main[3], L"\tjoined");
    const auto thread = loglines(L"withthread_01");
    EXPECT_EQ(thread, (std::vector<std::wstring>{L"w 6"})) << "no banners in a thread's log";
}

// The size is checked before anything is allocated for the text: a file of
// 4 GB or more is refused with the read failure and no block of its own.
TEST(ScriptFile, TooLargeIsRefusedBeforeItIsAllocated)
{
    const std::wstring path = scratchdir() + L"huge.tst";
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 0x100000000LL + 2;  // sparse on the file systems the tests run on
    ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(h));
    CloseHandle(h);
    ExeScr& e = fatalengine();
    const std::wstring box = expectfatal(e, [&path](ExeScr& x) { x.readscriptfile(path.c_str()); });
    EXPECT_TRUE(startswith(box, L"Cannot read file.:" + path + L":")) << qtest::narrow(box);
    EXPECT_EQ(qtest::countid(e, 20), 0u);
    DeleteFileW(path.c_str());
}

namespace {

std::wstring* nestedpath = nullptr;

// Starts a second run from inside the first start's message pump, as a Run
// command of the host's window would, and spoils the path right after.
LRESULT CALLBACK nestingproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_APP) {
        std::vector<wchar_t> inner(nestedpath->begin(), nestedpath->end());
        inner.push_back(0);
        startMyExec(inner.data());
        std::fill(inner.begin(), inner.end(), L'#');
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

// One start flag for all starts let a start made during another's pump return
// before its own thread had copied the path, which the caller then spoiled.
TEST(Run, AStartFromInsideAnotherStartsPumpKeepsItsOwnPath)
{
    for (int round = 0; round < 5; ++round) {
        std::wstring outer = scratchdir() + L"outer.tst", inner = scratchdir() + L"inner.tst";
        qtest::writescript(outer, L"\"outer\"\r\n");
        qtest::writescript(inner, L"\"inner\"\r\n");
        nestedpath = &inner;
        WNDCLASSW wc = {};
        wc.lpfnWndProc = nestingproc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"quorveltest.nesting";
        RegisterClassW(&wc);
        HWND w = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        PostMessageW(w, WM_APP, 0, 0);
        std::vector<wchar_t> path(outer.begin(), outer.end());
        path.push_back(0);
        startMyExec(path.data());
        std::fill(path.begin(), path.end(), L'#');
        ASSERT_TRUE(waitgone(outer));
        ASSERT_TRUE(waitgone(inner));
        pump(20);
        DestroyWindow(w);
        EXPECT_EQ(loglines(L"outer").at(3), L"\touter") << round;
        EXPECT_EQ(loglines(L"inner").at(3), L"\tinner") << round;
    }
}

// A run's script path taken apart (forward slashes too) and the log a main run
// reports having opened.
namespace {

std::wstring slashed(std::wstring path)
{
    for (wchar_t& c : path)
        if (c == L'\\')
            c = L'/';
    return path;
}

std::wstring reportedlog(const std::wstring& path)
{
    wchar_t buf[MAX_PATH * 2] = {};
    const int len = querylogpath(path.c_str(), buf, MAX_PATH * 2);
    return std::wstring(buf, static_cast<size_t>(len > 0 ? len : 0));
}

bool contains(const std::wstring& s, const std::wstring& part) { return s.find(part) != std::wstring::npos; }

}  // namespace

TEST(RunPath, NamesStartAfterEitherSlashOrADrive)
{
    EXPECT_EQ(namestart(L"C:\\s\\a.tst"), 5u);
    EXPECT_EQ(namestart(L"C:/jobs/a.tst"), 8u);
    EXPECT_EQ(namestart(L"C:\\mixed/a.tst"), 9u);
    EXPECT_EQ(namestart(L"C:a.tst"), 2u);
    EXPECT_EQ(namestart(L"a.tst"), 0u);
    EXPECT_EQ(runname(L"C:/jobs/a.b/job.v2.tst"), L"job.v2");
    EXPECT_EQ(runname(L"/jobs/a.tst"), L"a");
    EXPECT_EQ(runname(L"C:a.tst"), L"a");
}

TEST(RunPath, ForwardSlashesGiveTheFolderTheNameAndTheLog)
{
    // "C:/.../fwd.tst": a valid path that holds no backslash at all.
    const std::wstring path = slashed(scratchdir()) + L"fwd.tst";
    qtest::writescript(path.c_str(), L"main\r\n{\r\n    printf(\"%s|%s\\n\", scriptdir(), scriptfn())\r\n}\r\n");
    startMyExec(path.c_str());
    ASSERT_TRUE(waitgone(path));
    ASSERT_EQ(g_screxits, 0) << "the run ended in its fatal exit";
    const std::wstring log = scratchdir() + L"log\\fwd.log";
    const std::wstring text = qtest::readfile(log);
    EXPECT_TRUE(contains(text, L"\r\n" + slashed(scratchdir()) + L"|fwd\r\n")) << text;
    EXPECT_TRUE(contains(text, L"Quorvel end")) << text;
    EXPECT_EQ(reportedlog(path), log);
}

TEST(RunPath, TheMainRunReportsItsOwnLogNotItsThreads)
{
    const std::wstring path = scratchdir() + L"ownlog.tst";
    EXPECT_EQ(querylogpath(path.c_str(), nullptr, 0), 0) << "nothing before the run";
    qtest::writescript(path.c_str(), L"main\r\n{\r\n    t = threadstart(worker)\r\n    threadctl(join, t)\r\n"
                                     L"}\r\nthread worker()\r\n{\r\n    printf(\"from the thread\\n\")\r\n}\r\n");
    startMyExec(path.c_str());
    ASSERT_TRUE(waitgone(path));
    const std::wstring mainlog = scratchdir() + L"log\\ownlog.log";
    EXPECT_TRUE(contains(qtest::readfile(scratchdir() + L"log\\ownlog_01.log"), L"from the thread"));
    EXPECT_EQ(reportedlog(path), mainlog);
    // Too small a buffer: the length, nothing copied.
    wchar_t small[4] = {L'x', 0, 0, 0};
    EXPECT_EQ(querylogpath(path.c_str(), small, 4), static_cast<int>(mainlog.size()));
    EXPECT_EQ(small[0], L'x');
}

// Loops whose body is one statement run on inside their superinstruction cell, and a
// loop of segments never returns to the code loop; the message poll and the
// stop test still come between two of their rounds: a
// message posted to the script window is dispatched there (its value is
// seen), and mythreadclosure ends the run at once.
TEST(StopLatency, LoopsThatRunInsideOneCellStillPollAndStop)
{
    const wchar_t* scripts[] = {
        L"main\r\n{\r\n    n = 0\r\n    for (i = 0; i < LLONG_MAX; i++)\r\n        n += i\r\n}\r\n",
        L"main\r\n{\r\n    i = 0\r\n    while (i < LLONG_MAX)\r\n        i++\r\n}\r\n",
        // A loop of segments only, texts joined and measured among them.
        L"main\r\n{\r\n    n = 0\r\n    for (i = 0; i < LLONG_MAX; i++) {\r\n        s = \"k\" i\r\n"
        L"        n += strlen(s) + strstr(s, \"9\")\r\n    }\r\n}\r\n",
    };
    int round = 0;
    for (const wchar_t* text : scripts) {
        const std::wstring path = scratchdir() + L"onecell.tst";
        qtest::writescript(path, text);
        startMyExec(path.c_str());
        HWND wnd = nullptr;
        for (int k = 0; k < 400 && !wnd; ++k) {
            pump(5);
            wnd = windowof(path);
        }
        ASSERT_NE(wnd, nullptr);
        pump(50);
        ExeScr* exe = nullptr;
        {
            std::lock_guard<std::mutex> lock(g_scriptmutex);
            for (const listedrun& r : runlist)
                if (r.path == path)
                    exe = r.exe;
        }
        ASSERT_NE(exe, nullptr);
        const int32_t mark = 700 + round++;
        PostMessageW(wnd, WM_APP + 2, static_cast<WPARAM>(mark), 0);
        const ULONGLONG posted = GetTickCount64();
        while (exe->vbret != mark && GetTickCount64() - posted < 2000)
            pump(1);
        EXPECT_EQ(exe->vbret, mark) << "the loop dispatched no message";
        EXPECT_EQ(queryexealive(path.c_str()), 1);
        const ULONGLONG closure = GetTickCount64();
        mythreadclosure();
        while (queryexealive(path.c_str()) && GetTickCount64() - closure < 2000)
            pump(1);
        EXPECT_LT(GetTickCount64() - closure, 100u) << qtest::narrow(text);
        const auto lines = loglines(L"onecell");
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(startswith(lines.back(), L"Quorvel end"));
    }
}

// How soon a stop takes effect: ESC in the script window and mythreadclosure
// each end a busy loop, and ESC a sleep, the run leaving the run list within
// 100 ms.
TEST(StopLatency, EscapeAndClosureEndABusyLoopAndEscapeASleepWithin100ms)
{
    const std::wstring path = scratchdir() + L"latency.tst";
    qtest::writescript(path, L"main\r\n{\r\n    i = 0\r\n    while (1) {\r\n        i++\r\n    }\r\n}\r\n");
    auto waitrunning = [&path] {
        HWND wnd = nullptr;
        for (int k = 0; k < 400 && !wnd; ++k) {
            pump(5);
            wnd = windowof(path);
        }
        pump(50);  // well inside the loop
        return wnd;
    };
    auto gone = [&path](ULONGLONG since) {
        while (queryexealive(path.c_str())) {
            if (GetTickCount64() - since > 2000)
                break;
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
            Sleep(1);
        }
        return GetTickCount64() - since;
    };
    startMyExec(path.c_str());
    HWND wnd = waitrunning();
    ASSERT_NE(wnd, nullptr);
    const ULONGLONG esc = GetTickCount64();
    PostMessageW(wnd, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_LT(gone(esc), 100u) << "ESC";

    startMyExec(path.c_str());
    ASSERT_NE(waitrunning(), nullptr);
    const ULONGLONG closure = GetTickCount64();
    mythreadclosure();
    EXPECT_LT(gone(closure), 100u) << "mythreadclosure";

    // And ESC ends a sleep (mythreadclosure's end of the waits is measured
    // with the wait commands, a box wait's with the boxes).
    qtest::writescript(path, L"main\r\n{\r\n    sleep(30)\r\n}\r\n");
    startMyExec(path.c_str());
    wnd = waitrunning();
    ASSERT_NE(wnd, nullptr);
    const ULONGLONG slept = GetTickCount64();
    PostMessageW(wnd, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_LT(gone(slept), 100u) << "ESC in a sleep";
}
