// The real program under test: started in scratch program folders, driven by
// messages as a user, another instance or the system would.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "host/hostenv.h"
#include "host/hostrun.h"

using namespace htest;

namespace {

constexpr int CMD_LASTFILE = 112, CMD_TOTRAY = 119, CMD_FROMTRAY = 120, CMD_QUIT = 121, CMD_CLOSETAB = 131,
              CMD_REFRESHTAB = 132, CMD_HIDEOTHERS = 129;

// Posting to no window would post to the test's own thread and pass unseen.
void command(HWND w, int id)
{
    ASSERT_TRUE(w) << "no main window for command " << id;
    PostMessageW(w, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

void closewindow(hostrun& h)
{
    HWND w = h.mainwindow();
    ASSERT_TRUE(w) << "no main window to close";
    PostMessageW(w, WM_CLOSE, 0, 0);
}

std::wstring slashed(std::wstring path)
{
    for (wchar_t& c : path)
        if (c == L'\\')
            c = L'/';
    return path;
}

// The title without its focus mark.
std::wstring plaintitle(hostrun& h)
{
    const std::wstring t = h.title();
    return t.empty() ? t : t.substr(1);
}

// The title's first character: "*" while the main window has the focus.
wchar_t titlemark(hostrun& h)
{
    const std::wstring t = h.title();
    return t.empty() ? 0 : t[0];
}

bool contains(const std::wstring& s, const std::wstring& part)
{
    return s.find(part) != std::wstring::npos;
}

void emptyscript(const std::wstring& path)
{
    writebytes(path, utf16(L""));
}

// A first instance with `script` as the last file opened.
HWND startwithlast(hostrun& h, const std::wstring& script)
{
    writebytes(h.dir() + L"quorvel.ini", utf16(L"[main]\r\nscrfid=" + script + L"\r\n"));
    if (!h.start(L""))
        return nullptr;
    return h.mainwindow();
}

// Opens the last file into a tab and returns its editor.
HWND openlast(hostrun& h, const std::wstring& script)
{
    command(h.mainwindow(), CMD_LASTFILE);
    if (!waitfor([&] { return contains(h.title(), L"[" + script + L"]") && h.child(L"Edit", 102); }))
        return nullptr;
    return h.child(L"Edit", 102);
}

// A first instance with one tab open on "<dir>name" holding `bytes`; its editor.
HWND starttab(hostrun& h, const wchar_t* name, const std::string& bytes)
{
    const std::wstring script = h.dir() + name;
    writebytes(script, bytes);
    if (!startwithlast(h, script))
        return nullptr;
    return openlast(h, script);
}

// Answers the save question and, when the save fails, its report.
void answer(hostrun& h, int id)
{
    HWND q = h.findbox(L"QUORVEL");
    ASSERT_TRUE(q) << "no save question";
    EXPECT_EQ(hostrun::boxtext(q), L"File is updated. \nDo you want to save it?");
    hostrun::press(q, id);
    // Gone before anything looks for the next box.
    EXPECT_TRUE(waitfor([&] { return !IsWindow(q); }));
}

void closesavefailure(hostrun& h, const std::wstring& path)
{
    HWND box = h.findbox(L"QUORVEL - Save");
    ASSERT_TRUE(box) << "no report of the failed save";
    EXPECT_TRUE(contains(hostrun::boxtext(box), path));
    hostrun::press(box, IDOK);
    EXPECT_TRUE(waitfor([&] { return !IsWindow(box); }));
}

}  // namespace

TEST(HostRun, QuitSwitchRunsTheScriptHiddenAndExits)
{
    hostrun h;
    // Busy for a few tenths of a second, so that the window is there to be found.
    writebytes(h.dir() + L"t.tst", utf16(L"i = 0\r\nwhile (i < 2000000)\r\n    i++\r\n"));
    const std::string ini = utf16(L"[setting]\r\nleft=1\r\n; kept\r\n[main]\r\nscrfid=C:\\x.tst");
    writebytes(h.dir() + L"quorvel.ini", ini);
    const DWORD started = GetTickCount();
    ASSERT_TRUE(h.start(L"t.tst /hide /quit"));
    HWND w = h.mainwindow();
    ASSERT_TRUE(w) << "no main window while the script ran";
    EXPECT_FALSE(IsWindowVisible(w));
    ASSERT_EQ(h.waitexit(30000), 0);
    // The script's close request is answered at once, so the wait for running
    // scripts at close does not run into its 5 s limit.
    EXPECT_LT(GetTickCount() - started, 4000u);
    const std::wstring log = widen(readbytes(h.dir() + L"log\\t.log"));
    EXPECT_TRUE(contains(log, L"Quorvel start ____"));
    EXPECT_TRUE(contains(log, L"Script File:" + h.dir() + L"t.tst \r\n"));
    EXPECT_TRUE(contains(log, L"Quorvel end   ____"));
    EXPECT_EQ(readbytes(h.dir() + L"quorvel.ini"), ini);
    EXPECT_NE(GetFileAttributesW((h.dir() + L"log\\quorvelsys.log").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(HostRun, AnAbsolutePathWithForwardSlashesRunsAsGiven)
{
    hostrun h;
    emptyscript(h.dir() + L"a.tst");
    const std::wstring script = slashed(h.dir()) + L"a.tst";  // "C:/.../a.tst"
    ASSERT_TRUE(h.start(L"\"" + script + L"\" /hide /quit"));
    ASSERT_EQ(h.waitexit(30000), 0) << "the host did not close";
    const std::wstring log = widen(readbytes(h.dir() + L"log\\a.log"));
    EXPECT_TRUE(contains(log, L"Script File:" + script + L" \r\n")) << log;
    EXPECT_TRUE(contains(log, L"Quorvel end   ____")) << log;
}

TEST(HostRun, AQuitHostWhoseRunCannotStartSaysWhyAndCloses)
{
    hostrun h;
    emptyscript(h.dir() + L"t.tst");
    ASSERT_TRUE(CreateDirectoryW((h.dir() + L"log").c_str(), nullptr));
    // Every name the script's log could take is held: the run could not open
    // its log and would wait on its fatal box, seen by no one.
    std::vector<HANDLE> held;
    for (int n = 0; n <= 99; ++n) {
        wchar_t name[32];
        _snwprintf(name, 32, n ? L"log\\t_%02d.log" : L"log\\t.log", n);
        held.push_back(CreateFileW((h.dir() + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_NE(held.back(), INVALID_HANDLE_VALUE) << n;
    }
    ASSERT_TRUE(h.start(L"t.tst /hide /quit"));
    const int code = h.waitexit(15000);
    for (HANDLE k : held)
        CloseHandle(k);
    ASSERT_EQ(code, 0) << "the host waited";
    EXPECT_TRUE(contains(h.syslog(), L"Log file open failure.:" + h.dir() + L"log\\t_99.log:")) << h.syslog();

    // A script that is not there at all.
    hostrun second(h.dir());
    ASSERT_TRUE(second.start(L"none.tst /hide /quit"));
    ASSERT_EQ(second.waitexit(15000), 0);
    EXPECT_TRUE(contains(second.syslog(), L"File open failed.:" + h.dir() + L"none.tst:")) << second.syslog();
}

TEST(HostRun, NologDropsTheSystemLogButScriptsStillLog)
{
    hostrun h;
    emptyscript(h.dir() + L"t.tst");
    ASSERT_TRUE(h.start(L"t.tst /nolog /hide /quit"));
    ASSERT_EQ(h.waitexit(30000), 0);
    EXPECT_TRUE(contains(widen(readbytes(h.dir() + L"log\\t.log")), L"Quorvel end"));
    EXPECT_EQ(GetFileAttributesW((h.dir() + L"log\\quorvelsys.log").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(HostRun, CommandsChangeTitleAndVisibility)
{
    hostrun h;
    const std::wstring script = h.dir() + L"a.tst";
    writebytes(script, utf16(L"abc"));
    HWND w = startwithlast(h, script);
    ASSERT_TRUE(w);
    EXPECT_TRUE(waitfor([&] { return plaintitle(h) == L"QUORVEL (HotKey:None) - []"; })) << plaintitle(h);
    EXPECT_TRUE(IsWindowVisible(w));

    HWND editor = openlast(h, script);
    ASSERT_TRUE(editor);
    EXPECT_EQ(hostrun::text(editor), L"abc");
    EXPECT_EQ(plaintitle(h), L"QUORVEL (HotKey:None) - [" + script + L"]");

    // The tray toggle (WM_USER) and its two commands.
    PostMessageW(w, WM_USER, 0, 0);
    EXPECT_TRUE(waitfor([&] { return !IsWindowVisible(w); }));
    PostMessageW(w, WM_USER, 0, 0);
    EXPECT_TRUE(waitfor([&] { return IsWindowVisible(w) != 0; }));
    command(w, CMD_TOTRAY);
    EXPECT_TRUE(waitfor([&] { return !IsWindowVisible(w); }));
    // A new task bar asks for the icon again; the window stays in the tray.
    SendMessageW(w, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    Sleep(200);
    EXPECT_FALSE(IsWindowVisible(w));
    command(w, CMD_FROMTRAY);
    EXPECT_TRUE(waitfor([&] { return IsWindowVisible(w) != 0; }));

    command(w, CMD_CLOSETAB);
    EXPECT_TRUE(waitfor([&] { return plaintitle(h) == L"QUORVEL (HotKey:None) - []"; }));
    EXPECT_FALSE(h.child(L"Edit", 102));

    command(w, CMD_QUIT);
    ASSERT_EQ(h.waitexit(10000), 0);
    const std::wstring ini = widen(readbytes(h.dir() + L"quorvel.ini"));
    EXPECT_TRUE(contains(ini, L"scrfid_00=" + script + L"\r\n"));
    EXPECT_TRUE(contains(ini, L"\r\nleft="));
}

TEST(HostRun, EndReportsAreCheckedAndBounded)
{
    hostrun h;
    emptyscript(h.dir() + L"t.tst");
    ASSERT_TRUE(h.start(L""));
    HWND w = h.mainwindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(waitfor([&] { return contains(h.title(), L"(HotKey:None)"); }));

    const auto send = [&](ULONG_PTR data, const wchar_t* text, DWORD bytes) {
        COPYDATASTRUCT cds = {data, bytes, const_cast<wchar_t*>(text)};
        DWORD_PTR result = 1;
        SendMessageTimeoutW(w, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_ABORTIFHUNG, 5000, &result);
        return result;
    };
    EXPECT_EQ(send(0, L"C:\\s\\x.tst", 22), 0u);
    send(7, L"C:\\s\\other.tst", 30);
    const wchar_t unterminated[] = L"C:\\s\\zGARBAGE";
    send(0, unterminated, 6 * sizeof(wchar_t) + 1);
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"......End   of C:\\s\\z\r\n"); })) << h.syslog();
    EXPECT_TRUE(contains(h.syslog(), L"......End   of C:\\s\\x.tst\r\n"));
    EXPECT_FALSE(contains(h.syslog(), L"other"));

    // A real second instance started with "/quit" reports to this first one.
    hostrun second(h.dir());
    ASSERT_TRUE(second.start(L"t.tst /hide /quit"));
    EXPECT_EQ(second.waitexit(30000), 0);
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"......End   of " + h.dir() + L"t.tst\r\n"); }))
        << h.syslog();
}

TEST(HostRun, SaveWritesTheMarkAndTheText)
{
    hostrun h;
    const std::wstring script = h.dir() + L"a.tst";
    HWND editor = starttab(h, L"a.tst", "hello\r\nworld");  // no mark: converted, so modified at once
    ASSERT_TRUE(editor);
    EXPECT_EQ(hostrun::text(editor), L"hello\r\nworld");

    command(h.mainwindow(), CMD_REFRESHTAB);
    answer(h, IDYES);
    EXPECT_TRUE(waitfor([&] { return readbytes(script) == utf16(L"hello\r\nworld"); }));
    // The refreshed tab has a new editor once the old one is gone.
    const HWND old = editor;
    ASSERT_TRUE(waitfor([&] { return !IsWindow(old) && (editor = h.child(L"Edit", 102)) != nullptr; }));

    // "No" keeps the file; refreshing reads it again.
    SendMessageW(editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"changed"));
    SendMessageW(editor, EM_SETMODIFY, TRUE, 0);
    command(h.mainwindow(), CMD_REFRESHTAB);
    answer(h, IDNO);
    EXPECT_TRUE(waitfor([&] {
        HWND e = h.child(L"Edit", 102);
        return e && hostrun::text(e) == L"hello\r\nworld";
    }));
    EXPECT_EQ(readbytes(script), utf16(L"hello\r\nworld"));
}

TEST(HostRun, FailedSaveKeepsTheTabItsTextAndTheWindow)
{
    hostrun h;
    const std::wstring script = h.dir() + L"a.tst";
    HWND editor = starttab(h, L"a.tst", utf16(L"orig"));
    ASSERT_TRUE(editor);
    SendMessageW(editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"edited"));
    SendMessageW(editor, EM_SETMODIFY, TRUE, 0);

    // Deleted meanwhile: not created again.
    ASSERT_TRUE(DeleteFileW(script.c_str()));
    command(h.mainwindow(), CMD_REFRESHTAB);
    answer(h, IDYES);
    closesavefailure(h, script);
    EXPECT_EQ(GetFileAttributesW(script.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(IsWindow(editor));
    EXPECT_EQ(hostrun::text(editor), L"edited");
    EXPECT_TRUE(contains(h.title(), script));

    // Closing asks again; a failure keeps the window open.
    closewindow(h);
    answer(h, IDYES);
    closesavefailure(h, script);
    EXPECT_TRUE(h.alive());
    EXPECT_TRUE(IsWindow(editor));

    // A folder in the file's place: the replacement itself fails.
    ASSERT_TRUE(CreateDirectoryW(script.c_str(), nullptr));
    closewindow(h);
    answer(h, IDYES);
    closesavefailure(h, script);
    EXPECT_TRUE(h.alive());
    EXPECT_EQ(hostrun::text(editor), L"edited");

    // Once the file can be written, the close goes through and saves.
    RemoveDirectoryW(script.c_str());
    writebytes(script, utf16(L"orig"));
    closewindow(h);
    answer(h, IDYES);
    ASSERT_EQ(h.waitexit(10000), 0);
    EXPECT_EQ(readbytes(script), utf16(L"edited"));
}

TEST(HostRun, IniRoundTripsByteForByte)
{
    hostrun h;
    const std::wstring script = h.dir() + L"a.tst";
    writebytes(script, utf16(L"x"));
    // Unknown sections and keys, a comment, a blank line, a bare LF line and no
    // final line end: all kept; the rectangle and the recent list as they will
    // be written again.
    const std::string ini = utf16(L"; settings\r\n\r\n[setting]\r\nleft=100\r\ntop=100\r\nright=850\r\nbottom=700\r\n"
                                  L"custom=\x00e9\r\n[main]\r\nscrfid=" + script + L"\r\nscrfid_00=" + script +
                                  L"\r\n[other]\nbare=1\n[runkey]\r\nfsmod=0");
    writebytes(h.dir() + L"quorvel.ini", ini);
    ASSERT_TRUE(h.start(L""));
    ASSERT_TRUE(h.mainwindow());
    ASSERT_TRUE(openlast(h, script));
    RECT r;
    GetWindowRect(h.mainwindow(), &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.bottom, 700);
    command(h.mainwindow(), CMD_QUIT);
    ASSERT_EQ(h.waitexit(10000), 0);
    EXPECT_EQ(widen(readbytes(h.dir() + L"quorvel.ini")), widen(ini));
}

TEST(HostRun, IniWithoutMarkIsReportedAndNeverOverwritten)
{
    hostrun h;
    const std::string ini = "[setting]\r\nleft=5\r\n";
    writebytes(h.dir() + L"quorvel.ini", ini);
    ASSERT_TRUE(h.start(L""));
    HWND box = h.findbox(L"QUORVEL - Exit");
    ASSERT_TRUE(box);
    EXPECT_EQ(hostrun::boxtext(box), L"This file is not UNICODE format.:" + h.dir() + L"quorvel.ini");
    hostrun::press(box, IDOK);
    ASSERT_TRUE(h.mainwindow());  // start-up goes on
    closewindow(h);
    ASSERT_EQ(h.waitexit(10000), 0);
    EXPECT_EQ(readbytes(h.dir() + L"quorvel.ini"), ini);
}

TEST(HostRun, QueryEndSessionLetsTheSessionEndUnlessCancelled)
{
    hostrun h;
    ASSERT_TRUE(starttab(h, L"a.tst", "converted"));
    HWND w = h.mainwindow();

    // The system asks from another thread while the test answers the question.
    const auto queryend = [&](int answerid) {
        struct query {
            HWND w;
            DWORD_PTR result;
        } q{w, 99};
        HANDLE t = CreateThread(
            nullptr, 0,
            [](void* p) -> DWORD {
                auto* q = static_cast<query*>(p);
                SendMessageTimeoutW(q->w, WM_QUERYENDSESSION, 0, 0, 0, 20000, &q->result);
                return 0;
            },
            &q, 0, nullptr);
        answer(h, answerid);
        WaitForSingleObject(t, 20000);
        CloseHandle(t);
        return q.result;
    };
    EXPECT_EQ(queryend(IDCANCEL), 0u);
    EXPECT_TRUE(IsWindow(w));
    EXPECT_EQ(queryend(IDNO), 1u);
    EXPECT_EQ(h.waitexit(10000), 0);
}

TEST(HostRun, HideAndShowOtherInstances)
{
    hostrun first;
    ASSERT_TRUE(first.start(L""));
    HWND a = first.mainwindow();
    ASSERT_TRUE(a);
    ASSERT_TRUE(waitfor([&] { return contains(first.title(), L"(HotKey:None)"); }));
    hostrun second(first.dir());
    ASSERT_TRUE(second.start(L""));
    HWND b = second.mainwindow();
    ASSERT_TRUE(b);
    EXPECT_TRUE(waitfor([&] { return plaintitle(second) == L"QUORVEL - []"; })) << plaintitle(second);
    // The alternation starts with "show".
    const std::wstring blog = first.dir() + L"log\\quorvelsys-001.log";  // the first holds the plain name
    command(b, CMD_HIDEOTHERS);
    EXPECT_TRUE(waitfor([&] { return contains(widen(readbytes(blog)), L"Show: QUORVEL (HotKey:None)"); }));
    EXPECT_TRUE(IsWindowVisible(a));
    command(b, CMD_HIDEOTHERS);
    EXPECT_TRUE(waitfor([&] { return !IsWindowVisible(a); }));
    // The line is written after the window is hidden.
    EXPECT_TRUE(waitfor([&] { return contains(widen(readbytes(blog)), L"Hide: QUORVEL (HotKey:None)"); }));
    EXPECT_TRUE(IsWindowVisible(b));
    command(b, CMD_HIDEOTHERS);
    EXPECT_TRUE(waitfor([&] { return IsWindowVisible(a) != 0; }));

    // The setting and enrolment commands belong to the first instance.
    const auto notfirst = [&] {
        const std::wstring log = widen(readbytes(blog));
        int n = 0;
        for (size_t at = log.find(L"This is not first app.\r\n"); at != std::wstring::npos;
             at = log.find(L"This is not first app.\r\n", at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(notfirst(), 1);  // at start, for the hotkeys
    for (int id : {116, 123, 124, 134, 135})
        command(b, id);
    EXPECT_TRUE(waitfor([&] { return notfirst() == 6; })) << notfirst();
}

namespace {

// Chooses `path` in the "File Open" dialog that command 111 shows.
bool openbydialog(hostrun& h, const std::wstring& path)
{
    command(h.mainwindow(), 111);
    HWND box = h.findbox(L"File Open", 15000);
    if (!box)
        return false;
    // The file-name field: a combo box (cmb13) in the newer layout, an edit (edt1) in the older.
    HWND name = GetDlgItem(box, 0x47C);
    if (!name)
        name = GetDlgItem(box, 0x480);
    if (!name)
        return false;
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    hostrun::press(box, IDOK);
    return waitfor([&] { return !IsWindow(box); }, 10000);
}

}  // namespace

TEST(HostRun, TabsOpenedFromTheDialogSwitchCloseAndFillTheRecentList)
{
    hostrun h;
    std::wstring files[11];
    for (int i = 0; i < 11; ++i) {
        files[i] = h.dir() + L"s" + std::to_wstring(i) + L".tst";
        writebytes(files[i], utf16(L"text " + std::to_wstring(i)));
    }
    ASSERT_TRUE(h.start(L""));
    HWND w = h.mainwindow();
    ASSERT_TRUE(w);
    HWND tabs = h.child(L"SysTabControl32", 120);
    ASSERT_TRUE(tabs);
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(openbydialog(h, files[i])) << i;
        ASSERT_TRUE(waitfor([&] { return contains(h.title(), L"[" + files[i] + L"]"); })) << h.title();
        if (i == 4) {
            ASSERT_TRUE(openbydialog(h, files[3]));
            EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"Already Opened. \r\n"); }));
            EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 5);
        }
    }
    EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 10);
    ASSERT_TRUE(openbydialog(h, files[10]));
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"Allowed edit window's count is 10 \r\n"); }));
    EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 10);

    // Switching tabs makes the chosen file the current script.
    SendMessageW(tabs, TCM_SETCURFOCUS, 0, 0);
    EXPECT_TRUE(waitfor([&] { return contains(h.title(), L"[" + files[0] + L"]"); })) << h.title();

    // Closing a tab in the row leaves the next one current; closing the last
    // one makes the one before it current.
    command(w, CMD_CLOSETAB);
    EXPECT_TRUE(waitfor([&] { return contains(h.title(), L"[" + files[1] + L"]"); })) << h.title();
    SendMessageW(tabs, TCM_SETCURFOCUS, 8, 0);
    EXPECT_TRUE(waitfor([&] { return contains(h.title(), L"[" + files[9] + L"]"); })) << h.title();
    command(w, CMD_CLOSETAB);
    EXPECT_TRUE(waitfor([&] { return contains(h.title(), L"[" + files[8] + L"]"); })) << h.title();
    EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 8);

    command(w, CMD_QUIT);
    ASSERT_EQ(h.waitexit(10000), 0);
    const std::wstring ini = widen(readbytes(h.dir() + L"quorvel.ini"));
    EXPECT_TRUE(contains(ini, L"scrfid=" + files[9] + L"\r\n"));
    EXPECT_TRUE(contains(ini, L"scrfid_00=" + files[9] + L"\r\nscrfid_01=" + files[8] + L"\r\n"));
    EXPECT_TRUE(contains(ini, L"scrfid_09=" + files[0] + L"\r\n"));
    EXPECT_FALSE(contains(ini, L"scrfid_10="));
}

TEST(HostRun, RunAsksToSaveAConvertedTabFirst)
{
    hostrun h;
    const std::wstring script = h.dir() + L"r.tst";
    HWND editor = starttab(h, L"r.tst", "");  // no mark: converted to an empty text, modified at once
    ASSERT_TRUE(editor);
    EXPECT_EQ(hostrun::text(editor), L"");

    command(h.mainwindow(), 115);
    answer(h, IDCANCEL);  // no run
    command(h.mainwindow(), 115);
    answer(h, IDYES);     // saved, then run
    const std::wstring log = h.dir() + L"log\\r.log";
    EXPECT_TRUE(waitfor([&] { return contains(widen(readbytes(log)), L"Quorvel end"); })) << widen(readbytes(log));
    EXPECT_EQ(readbytes(script), utf16(L""));
    EXPECT_EQ(widen(readbytes(log)).find(L"Quorvel start"), widen(readbytes(log)).rfind(L"Quorvel start"));
}

TEST(HostRun, EditorShortcutsAndLogPanesThatTakeNoFocus)
{
    hostrun h;
    const std::wstring script = h.dir() + L"a.tst";
    HWND editor = starttab(h, L"a.tst", utf16(L"x"));
    ASSERT_TRUE(editor);
    HWND w = h.mainwindow();
    SetForegroundWindow(w);
    ASSERT_TRUE(waitfor([&] { return titlemark(h) == L'*'; }));
    click(editor);  // the main window loses the focus to the editor
    ASSERT_TRUE(waitfor([&] { return titlemark(h) == L' '; })) << h.title();
    HWND syspane = h.child(L"Edit", 101);
    ASSERT_TRUE(syspane);
    click(syspane);  // the system-log pane does not take it
    Sleep(200);
    ctrlkey('O');  // still reaches the editor's procedure
    HWND box = h.findbox(L"File Open", 15000);
    ASSERT_TRUE(box);
    hostrun::press(box, IDCANCEL);
    ASSERT_TRUE(waitfor([&] { return !IsWindow(box); }));
    EXPECT_TRUE(contains(h.title(), L"[" + script + L"]"));  // a cancelled dialog changes nothing
    SetForegroundWindow(w);
    click(editor);
    Sleep(200);
    ctrlkey('K');  // close the tab from the editor
    EXPECT_TRUE(waitfor([&] { return contains(h.title(), L" - []"); })) << h.title();
}

TEST(HostRun, CtrlShortcutsOfTheMainWindow)
{
    hostrun h;
    ASSERT_TRUE(starttab(h, L"a.tst", utf16(L"x")));
    HWND w = h.mainwindow();
    SetForegroundWindow(w);
    ASSERT_TRUE(waitfor([&] { return titlemark(h) == L'*'; })) << "the main window has no focus";
    ctrlkey('K');  // close the tab
    EXPECT_TRUE(waitfor([&] { return contains(h.title(), L" - []"); })) << h.title();
    ctrlkey('T');  // to the tray
    EXPECT_TRUE(waitfor([&] { return !IsWindowVisible(w); }));
}

TEST(HostRun, DraggingTheLowerSplitterResizesTheSystemLogPane)
{
    hostrun h;
    ASSERT_TRUE(h.start(L""));
    HWND w = h.mainwindow();
    ASSERT_TRUE(w);
    HWND syslog = h.child(L"Edit", 101);
    ASSERT_TRUE(syslog);
    SetForegroundWindow(w);
    RECT before;
    ASSERT_TRUE(waitfor([&] { return GetWindowRect(syslog, &before) && before.bottom - before.top > 20; }));
    // The splitter is the 4-pixel gap above the pane.
    POINT from = {before.left + 50, before.top - 2};
    const auto mouse = [](POINT p, DWORD flags) {
        INPUT in = {};
        in.type = INPUT_MOUSE;
        in.mi.dx = p.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
        in.mi.dy = p.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
        in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
        SendInput(1, &in, sizeof in);
        Sleep(50);
    };
    mouse(from, 0);
    mouse(from, MOUSEEVENTF_LEFTDOWN);
    mouse({from.x, from.y - 60}, 0);
    mouse({from.x, from.y - 120}, 0);
    mouse({from.x, from.y - 120}, MOUSEEVENTF_LEFTUP);
    RECT after;
    EXPECT_TRUE(waitfor([&] { return GetWindowRect(syslog, &after) && after.top < before.top - 100; }))
        << before.top << " -> " << after.top;
    EXPECT_EQ(after.bottom, before.bottom);
}
