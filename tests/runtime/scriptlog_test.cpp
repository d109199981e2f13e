// The script log, the fatal-error exit and "error.log".
#include <gtest/gtest.h>

#include <algorithm>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;
using qtest::readfile;

namespace {

const std::wstring bom(1, wchar_t(0xFEFF));

using logged = qtest::loggedengine;
using pane = qtest::logpane;

}  // namespace

TEST(ScriptLog, FileIsUtf16WithBomAndTheCrLfRule)
{
    logged e(L"crlf");
    e.mylogmsg(L"%s=%d\n", L"bare", 1);
    e.mylogmsg(L"done\r\n");
    e.mylogmsg(L"inner\nfeed");
    e.mylogmsg(L"\n");
    EXPECT_EQ(e.contents(), bom + L"bare=1\r\ndone\r\ninner\nfeed\r\n");
}

TEST(ScriptLog, LongLinesAreWrittenWhole)
{
    logged e(L"long");
    const std::wstring x300(300, L'x');
    const std::wstring y254(254, L'y');  // 254 + LF: CR must still fit
    const std::wstring z255(255, L'z');
    e.mylogmsg(L"%s", x300.c_str());
    e.mylogmsg(L"%s\n", y254.c_str());
    e.mylogmsg(L"%s\n", z255.c_str());
    EXPECT_EQ(e.contents(), bom + x300 + y254 + L"\r\n" + z255 + L"\r\n");
}

// A word-wrapping pane takes half a minute for one line of 65,535 characters,
// and the script thread waits for it: the pane shows the line's start only.
TEST(ScriptLog, VeryLongLinesAreCutInThePaneOnlyAndStayFast)
{
    pane p;
    logged e(L"verylong");
    std::wstring line(65535, L'q');
    line[3999] = 0xD83D;  // a surrogate pair across the cut goes whole
    line[4000] = 0xDE00;
    const DWORD t0 = GetTickCount();
    e.mylogmsg(L"%s\n", line.c_str());
    e.mylogmsg(L"%s", std::wstring(5000, L'r').c_str());
    e.mylogmsg(L"next\n");
    EXPECT_LT(GetTickCount() - t0, 3000u);
    // Compared as truth values: a failure must not print 70,000 characters.
    EXPECT_TRUE(e.contents() == bom + line + L"\r\n" + std::wstring(5000, L'r') + L"next\r\n");
    const std::wstring shown = p.text();
    EXPECT_TRUE(shown == line.substr(0, 3999) + L" ...(cut)\r\n" + std::wstring(4000, L'r') + L" ...(cut)next\r\n")
        << shown.size();
}

TEST(ScriptLog, SuppressionFlagsSteerFileAndPane)
{
    pane p;
    logged e(L"suppress");
    e.logsupfile = 1;
    e.mylogmsg(L"pane only\n");
    e.logforce = 1;
    e.mylogmsg(L"forced\n");
    e.logsupfile = 2;
    e.mylogmsg(L"never in file\n");
    e.logforce = 0;
    e.logsupfile = 0;
    e.logsupwin = 1;
    e.mylogmsg(L"file only\n");
    e.logsupwin = 0;
    g_suplogmsg = 1;
    e.mylogmsg(L"host keeps it out\n");
    g_suplogmsg = 0;
    EXPECT_EQ(e.contents(), bom + L"forced\r\nfile only\r\nhost keeps it out\r\n");
    EXPECT_EQ(p.text(), L"pane only\r\nforced\r\nnever in file\r\n");
}

TEST(ScriptLog, LinesWithoutAnOpenLogStillReachThePane)
{
    pane p;
    ExeScr e;
    e.mylogmsg(L"%d:%s\n", 5, L"early");
    EXPECT_EQ(p.text(), L"5:early\r\n");
}

TEST(ScriptLog, SystemErrorLineGoesPastSuppressionAndIsKept)
{
    logged e(L"syserr");
    e.logsupfile = 2;
    SetLastError(ERROR_FILE_NOT_FOUND);
    e.mylogsyserr(L"%s", L"opening");
    EXPECT_FALSE(e.syserrtext.empty());
    EXPECT_EQ(e.logsupfile, 2u) << "restored after the line";
    // One line: the system's text comes without the line end the system gives it.
    const std::wstring log = e.contents();
    EXPECT_EQ(log, bom + L"opening:" + e.syserrtext + L": \r\n");
    EXPECT_EQ(std::count(log.begin(), log.end(), L'\n'), 1);
}

TEST(ScriptLog, SystemTextsComeWithoutTheirLineEnd)
{
    for (DWORD err : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_DIR_NOT_EMPTY}) {
        const std::wstring text = lasterrortext(err);
        ASSERT_FALSE(text.empty()) << err;
        EXPECT_NE(text.back(), L'\n') << err;
        EXPECT_NE(text.back(), L'\r') << err;
    }
    EXPECT_EQ(lasterrortext(0x2EFFFFFF), L"") << "a code the system has no text for";
}

TEST(ScriptLog, LockedNameFallsBackToNumberedNames)
{
    const std::wstring first = programdir + L"log\\locked.log";
    HANDLE lock = CreateFileW(first.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    {
        logged e(L"locked");
        EXPECT_EQ(e.logpath, programdir + L"log\\locked_01.log");
        e.mylogmsg(L"here\n");
        EXPECT_EQ(e.contents(), bom + L"here\r\n");
    }
    CloseHandle(lock);
}

// A script thread opens its log after its main run may have closed its own:
// creating that name anew would leave the main run's log holding only its
// byte-order mark. A thread takes numbered names only, and never the log of a
// run above it, held or closed.
TEST(ScriptLog, AScriptThreadNeverCreatesTheLogOfARunAboveItAnew)
{
    const std::wstring dir = programdir + L"log\\";
    const std::wstring mainlog = dir + L"family.log";
    const std::wstring mainlines = bom + L"main line\r\n";
    auto closedlog = [](const std::wstring& path, const std::wstring& text) {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD done = 0;
        WriteFile(h, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &done, nullptr);
        CloseHandle(h);
    };
    auto threadlog = [&](std::vector<std::wstring> above) {
        ExeScr e;
        e.threadmode = 1;
        e.basename = L"family";
        e.logpath = mainlog;
        e.ancestorlogs = std::move(above);
        e.openscriptlog();
        e.closescriptlog();
        return e.logpath;
    };

    // The main run has just closed its log.
    closedlog(mainlog, mainlines);
    EXPECT_EQ(threadlog({mainlog}), dir + L"family_01.log");
    EXPECT_EQ(readfile(mainlog), mainlines);

    // The main run had to take a numbered name; a thread of a thread skips its
    // parent thread's log too.
    const std::wstring parentlog = dir + L"family_02.log";
    closedlog(dir + L"family_01.log", mainlines);
    closedlog(parentlog, bom + L"parent thread\r\n");
    EXPECT_EQ(threadlog({dir + L"family_01.log", parentlog}), dir + L"family_03.log");
    EXPECT_EQ(readfile(dir + L"family_01.log"), mainlines);
    EXPECT_EQ(readfile(parentlog), bom + L"parent thread\r\n");

    // A main run still holding its log: the thread takes the next free name.
    HANDLE held = CreateFileW(mainlog.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(threadlog({mainlog}), dir + L"family_01.log");
    CloseHandle(held);
}

TEST(ScriptLog, NoOpenableNameIsFatal)
{
    std::vector<HANDLE> locks;
    for (int n = 0; n <= 99; ++n) {
        wchar_t name[MAX_PATH];
        if (n == 0)
            _snwprintf(name, MAX_PATH, L"%slog\\full.log", programdir.c_str());
        else
            _snwprintf(name, MAX_PATH, L"%slog\\full_%02d.log", programdir.c_str(), n);
        locks.push_back(CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    ExeScr& e = fatalengine();
    e.basename = L"full";
    e.logpath = programdir + L"log\\full.log";
    EXPECT_EQ(expectfatal(e, [](ExeScr& x) { x.openscriptlog(); }),
              L"Log file open failure.:" + programdir + L"log\\full_99.log");
    for (HANDLE h : locks)
        CloseHandle(h);
}

TEST(FatalExit, ShowsTheBoxLogsTheMessageAndClosesTheHost)
{
    pane p;
    ExeScr& e = fatalengine();
    e.basename = L"fatal";
    e.logpath = programdir + L"log\\fatal.log";
    e.openscriptlog();
    e.logon = 1;
    e.logsupfile = 2;  // the exit writes past suppression
    EXPECT_EQ(expectfatal(e, [](ExeScr& x) { x.myerrexit(L"%s:%d", L"bad thing", 42); }), L"bad thing:42");
    EXPECT_EQ(readfile(e.logpath), bom + L"Exiting... bad thing:42 \r\n");
    EXPECT_EQ(p.text(), L"Exiting... bad thing:42 \r\n");
    CloseHandle(e.loghandle);
}

TEST(FatalExit, MessageIsCutToTheBox)
{
    const std::wstring longmsg(400, L'm');
    std::wstring text = expectfatal(fatalengine(), [&](ExeScr& x) { x.myerrexit(L"%s", longmsg.c_str()); });
    EXPECT_EQ(text, longmsg.substr(0, 255));
}

TEST(FatalExit, SecondFatalErrorShowsNoSecondBox)
{
    auto fail = [](void* arg) -> DWORD { static_cast<ExeScr*>(arg)->myerrexit(L"fatal"); };
    const int closes = qtest::closecount();
    DWORD tid1 = 0, tid2 = 0;
    HANDLE t1 = CreateThread(nullptr, 0, fail, &fatalengine(), 0, &tid1);
    HWND box = nullptr;
    for (int n = 0; n < 1000 && !box; ++n) {
        qtest::pump(5);
        box = qtest::findexitbox(tid1);
    }
    ASSERT_NE(box, nullptr);
    HANDLE t2 = CreateThread(nullptr, 0, fail, &fatalengine(), 0, &tid2);
    qtest::pump(300);
    EXPECT_EQ(qtest::findexitbox(tid2), nullptr) << "the second failure shows nothing";
    EXPECT_EQ(WaitForSingleObject(t2, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "and never returns";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    for (int n = 0; n < 1000 && qtest::closecount() == closes; ++n)
        qtest::pump(5);
    EXPECT_EQ(qtest::closecount(), closes + 1) << "only the first failure closes the host";
    for (HANDLE t : {t1, t2}) {
        TerminateThread(t, 0);
        WaitForSingleObject(t, 5000);
        CloseHandle(t);
    }
    InterlockedExchange(&g_screxits, 0);
}

TEST(ErrorLog, LeakLinesFollowTheBomAndOtherWritersCanAppend)
{
    const std::wstring path = programdir + L"error.log";
    // A report of an earlier process: appended to, never emptied.
    const std::wstring earlier = bom + L"earlier:1:2\r\n";
    HANDLE old = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(old, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(old, earlier.data(), static_cast<DWORD>(earlier.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(old);
    ExeScr& e = fatalengine();
    void* a = e.mymalloc2(40, 77);
    e.mymalloc2(8, 480);  // a script thread's start record is never listed
    void* b = e.mymalloc2(12, -3);
    EXPECT_EQ(expectfatal(e, [](ExeScr& x) { x.memleakreport(); }), L"Unknown memory leak error.");
    wchar_t lines[128];
    _snwprintf(lines, 128, L"77:%lx:40\r\n-3:%lx:12\r\n",
               static_cast<unsigned long>(reinterpret_cast<uintptr_t>(a)),
               static_cast<unsigned long>(reinterpret_cast<uintptr_t>(b)));
    EXPECT_EQ(readfile(path), earlier + lines);

    // The host's writer opens the same file while the engine holds it.
    HANDLE host = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(host, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    WriteFile(host, L"host\r\n", 12, &done, nullptr);
    CloseHandle(host);
    EXPECT_EQ(writeerrorlog(L"engine again\r\n"), 1);
    EXPECT_EQ(readfile(path), earlier + lines + L"host\r\nengine again\r\n");
}

// Lines that come faster than a reader could follow are gathered into fewer
// writes, and still reach the file in order, whole, and soon.
TEST(ScriptLog, ABurstOfLinesReachesTheFileInOrderWithinMilliseconds)
{
    logged e(L"burst");
    std::wstring want = bom;
    for (int n = 0; n < 3000; ++n) {
        e.mylogmsg(L"line %d\n", n);
        want += L"line " + std::to_wstring(n) + L"\r\n";
    }
    // No further line and no close: the run's timer writes the rest.
    const DWORD t0 = GetTickCount();
    while (readfile(e.logpath) != want && GetTickCount() - t0 < 2000)
        Sleep(2);
    EXPECT_TRUE(readfile(e.logpath) == want);
    EXPECT_LT(GetTickCount() - t0, 500u);
    e.mylogmsg(L"after\n");
    e.closelog();
    EXPECT_TRUE(e.contents() == want + L"after\r\n");
}

TEST(ScriptLog, LinesOfTwoThreadsStayWholeAndInTheirOrder)
{
    logged e(L"twothreads");
    auto writer = [](void* p) -> DWORD {
        auto* x = static_cast<ExeScr*>(p);
        for (int n = 0; n < 2000; ++n)
            x->mylogmsg(L"box %d\n", n);
        return 0;
    };
    HANDLE t = CreateThread(nullptr, 0, writer, static_cast<ExeScr*>(&e), 0, nullptr);
    for (int n = 0; n < 2000; ++n)
        e.mylogmsg(L"main %d\n", n);
    WaitForSingleObject(t, INFINITE);
    CloseHandle(t);
    e.closelog();
    const std::wstring text = e.contents().substr(1);
    int nextmain = 0, nextbox = 0;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find(L"\r\n", at);
        ASSERT_NE(end, std::wstring::npos);
        const std::wstring line = text.substr(at, end - at);
        if (line == L"main " + std::to_wstring(nextmain))
            ++nextmain;
        else if (line == L"box " + std::to_wstring(nextbox))
            ++nextbox;
        else
            FAIL() << "line out of place: " << qtest::narrow(line);
        at = end + 2;
    }
    EXPECT_EQ(nextmain, 2000);
    EXPECT_EQ(nextbox, 2000);
}

TEST(FatalExit, WritesTheGatheredLinesBeforeTheBox)
{
    ExeScr& e = fatalengine();
    e.basename = L"fatalburst";
    e.logpath = programdir + L"log\\fatalburst.log";
    e.openscriptlog();
    e.logon = 1;
    std::wstring want = bom;
    EXPECT_EQ(expectfatal(e,
                          [&want](ExeScr& x) {
                              for (int n = 0; n < 500; ++n) {
                                  x.mylogmsg(L"%d\n", n);
                                  want += std::to_wstring(n) + L"\r\n";
                              }
                              x.myerrexit(L"%s", L"stop");
                          }),
              L"stop");
    EXPECT_TRUE(readfile(e.logpath) == want + L"Exiting... stop \r\n");
    e.closescriptlog();
}
