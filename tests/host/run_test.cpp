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

// The whole lines of a log that begin with `start`, each with its CR LF.
std::vector<std::wstring> lineswith(const std::wstring& log, const std::wstring& start)
{
    std::vector<std::wstring> out;
    for (size_t at = log.find(start); at != std::wstring::npos; at = log.find(start, at + 1)) {
        if (at > 0 && log[at - 1] != L'\n' && log[at - 1] != 0xFEFF)
            continue;
        const size_t end = log.find(L"\r\n", at);
        out.push_back(log.substr(at, end == std::wstring::npos ? std::wstring::npos : end + 2 - at));
    }
    return out;
}

// A failed save is reported by one more "File open failed." line naming the
// file, and by nothing else: no other text and no box.
void expectopenfailure(hostrun& h, const std::wstring& path, size_t count)
{
    const std::wstring start = L"File open failed.:" + path + L":";
    EXPECT_TRUE(waitfor([&] { return lineswith(h.syslog(), start).size() == count; })) << h.syslog();
    const std::vector<std::wstring> lines = lineswith(h.syslog(), start);
    ASSERT_FALSE(lines.empty());
    // The system's text, then ": " and the line end: one line, no stray one.
    const std::wstring& last = lines.back();
    EXPECT_EQ(last.find_first_of(L"\r\n"), last.size() - 2) << last;
    EXPECT_EQ(last.substr(last.size() - 4), L": \r\n") << last;
    EXPECT_FALSE(contains(h.syslog(), L"File save failed.")) << h.syslog();
    Sleep(200);
    EXPECT_FALSE(h.box(L"QUORVEL - Save"));
    EXPECT_FALSE(h.box(L"Error"));
}

}  // namespace

TEST(HostRun, QuitSwitchRunsTheScriptHiddenAndExits)
{
    hostrun h;
    // Runs for a few tenths of a second, so that the window is there to be
    // found (a counting loop of millions of rounds ends in milliseconds).
    writebytes(h.dir() + L"t.tst", utf16(L"sleepm(400)\r\n"));
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
}

TEST(HostRun, AQuitHostRunsAScriptItCannotOpenAndItsLogSaysSo)
{
    // The run happens: its own log holds both banners and the reason, also
    // when the host keeps no system log.
    hostrun h;
    ASSERT_TRUE(h.start(L"none.tst /hide /quit /nolog"));
    ASSERT_EQ(h.waitexit(15000), 0) << "the host did not close";
    const std::wstring log = widen(readbytes(h.dir() + L"log\\none.log"));
    const size_t start = log.find(L"Quorvel start ____");
    const size_t failed = log.find(L"File open failed.:" + h.dir() + L"none.tst:");
    const size_t end = log.find(L"Quorvel end   ____");
    ASSERT_NE(start, std::wstring::npos) << log;
    ASSERT_NE(failed, std::wstring::npos) << log;
    ASSERT_NE(end, std::wstring::npos) << log;
    EXPECT_LT(start, failed);
    EXPECT_LT(failed, end);
}

TEST(HostRun, AHiddenQuitHostAnswersAScriptsFatalBoxAndCloses)
{
    hostrun h;
    writebytes(h.dir() + L"nomark.tst", "i = 1\r\n");  // no byte-order mark: a fatal error
    ASSERT_TRUE(h.start(L"nomark.tst /hide /quit"));
    ASSERT_EQ(h.waitexit(15000), 0) << "the host waited on the fatal box";
    EXPECT_TRUE(
        contains(widen(readbytes(h.dir() + L"log\\nomark.log")), L"Exiting... This file is not UNICODE format."));
    // Where no one saw the box, the system log keeps its text.
    EXPECT_TRUE(contains(h.syslog(), L"Exiting... This file is not UNICODE format. \r\n")) << h.syslog();

    // A host that can be seen shows the box and waits for its answer.
    hostrun shown(h.dir());
    ASSERT_TRUE(shown.start(L"nomark.tst /quit"));
    HWND box = shown.findbox(L"QUORVEL - Exit", 15000);
    ASSERT_TRUE(box);
    EXPECT_EQ(hostrun::boxtext(box), L"This file is not UNICODE format.");
    Sleep(500);
    EXPECT_TRUE(shown.alive());
    hostrun::press(box, IDOK);
    EXPECT_EQ(shown.waitexit(15000), 0);
}

TEST(HostRun, AHiddenQuitHostShowsNoBoxForItsOwnFatalExit)
{
    // A settings file without its mark: the host's own fatal exit at start.
    hostrun h;
    writebytes(h.dir() + L"quorvel.ini", "[setting]\r\n");
    emptyscript(h.dir() + L"t.tst");
    ASSERT_TRUE(h.start(L"t.tst /hide /quit"));
    ASSERT_EQ(h.waitexit(15000), 0) << "the host waited on its own box";
    EXPECT_TRUE(contains(h.syslog(), L"Exiting... This file is not UNICODE format.:" + h.dir() + L"quorvel.ini \r\n"))
        << h.syslog();
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
    expectopenfailure(h, script, 1);
    EXPECT_EQ(GetFileAttributesW(script.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(IsWindow(editor));
    EXPECT_EQ(hostrun::text(editor), L"edited");
    EXPECT_TRUE(contains(h.title(), script));

    // Closing asks again; a failure keeps the window open.
    closewindow(h);
    answer(h, IDYES);
    expectopenfailure(h, script, 2);
    EXPECT_TRUE(h.alive());
    EXPECT_TRUE(IsWindow(editor));

    // A read-only file cannot be opened for writing either.
    writebytes(script, utf16(L"orig"));
    ASSERT_TRUE(SetFileAttributesW(script.c_str(), FILE_ATTRIBUTE_READONLY));
    closewindow(h);
    answer(h, IDYES);
    expectopenfailure(h, script, 3);
    EXPECT_TRUE(h.alive());
    SetFileAttributesW(script.c_str(), FILE_ATTRIBUTE_NORMAL);

    // Nor one that another program holds without sharing.
    HANDLE held = CreateFileW(script.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    closewindow(h);
    answer(h, IDYES);
    expectopenfailure(h, script, 4);
    CloseHandle(held);
    EXPECT_TRUE(h.alive());
    EXPECT_EQ(readbytes(script), utf16(L"orig"));

    // A folder in the file's place: the replacement itself fails.
    ASSERT_TRUE(DeleteFileW(script.c_str()));
    ASSERT_TRUE(CreateDirectoryW(script.c_str(), nullptr));
    closewindow(h);
    answer(h, IDYES);
    expectopenfailure(h, script, 5);
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

namespace {

// Opens slot `key` of the Recently Opened Menu into a tab.
void openrecent(hostrun& h, wchar_t key)
{
    HWND w = h.mainwindow();
    command(w, 113);
    HWND menu = h.window(L"quorvel.os");
    ASSERT_TRUE(menu) << "no Recently Opened Menu";
    PostMessageW(menu, WM_KEYDOWN, key, 0);
    ASSERT_TRUE(waitfor([&] { return !IsWindow(menu) && IsWindowEnabled(w); }));
}

// The editor of the current tab: the one shown.
HWND showneditor(hostrun& h)
{
    for (HWND c = GetWindow(h.mainwindow(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t name[16] = {};
        GetClassNameW(c, name, 16);
        if (_wcsicmp(name, L"Edit") == 0 && GetDlgCtrlID(c) == 102 && IsWindowVisible(c))
            return c;
    }
    return nullptr;
}

void modify(HWND editor, const wchar_t* text)
{
    SendMessageW(editor, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    SendMessageW(editor, EM_SETMODIFY, TRUE, 0);
}

// The next save question other than `open`, answered.
HWND nextquestion(hostrun& h, HWND open)
{
    HWND q = nullptr;
    waitfor([&] { return (q = h.box(L"QUORVEL", open)) != nullptr; }, 15000);
    return q;
}

}  // namespace

// A save question dispatches messages: a close met there (a script's "exit",
// a close typed ahead) can take the tab it asks about. Whatever asked must
// then do nothing with the tabs that are left.
TEST(HostRun, ATabClosedWhileItsQuestionIsOpenIsLeftAlone)
{
    hostrun h;
    const std::wstring c = h.dir() + L"c.tst", a = h.dir() + L"a.tst", b = h.dir() + L"b.tst";
    // Runs from the start and exits once the test says so.
    writebytes(c, utf16(L"while (fexist(\"go\") == 0)\r\n    sleepm(20)\r\nexit\r\n"));
    writebytes(a, utf16(L"a"));
    writebytes(b, utf16(L"b"));
    writebytes(h.dir() + L"quorvel.ini",
               utf16(L"[main]\r\nscrfid_00=" + a + L"\r\nscrfid_01=" + b + L"\r\n[resident]\r\n00_tn=C\r\n00_fs=" + c +
                     L"\r\n00_active=1\r\n"));
    ASSERT_TRUE(h.start(L""));
    HWND w = h.mainwindow();
    ASSERT_TRUE(w);
    ASSERT_TRUE(waitfor([&] { return contains(h.title(), L"[" + c + L"]"); })) << h.title();
    // The resident's opening put c first: a is now slot 1, then b slot 2.
    openrecent(h, L'1');
    ASSERT_TRUE(waitfor([&] { return contains(h.title(), L"[" + a + L"]"); })) << h.title();
    openrecent(h, L'2');
    ASSERT_TRUE(waitfor([&] { return contains(h.title(), L"[" + b + L"]"); })) << h.title();
    HWND tabs = h.child(L"SysTabControl32", 120);
    ASSERT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 3);
    HWND eb = showneditor(h);
    ASSERT_TRUE(eb);
    modify(eb, L"b edited");
    SendMessageW(tabs, TCM_SETCURFOCUS, 1, 0);
    ASSERT_TRUE(waitfor([&] { return contains(h.title(), L"[" + a + L"]"); })) << h.title();
    HWND ea = nullptr;
    ASSERT_TRUE(waitfor([&] { return (ea = showneditor(h)) != nullptr && ea != eb; }));
    modify(ea, L"a edited");

    // Run asks about a; meanwhile c exits and the host starts to close.
    command(w, 115);
    HWND run = h.findbox(L"QUORVEL");
    ASSERT_TRUE(run) << "no save question";
    writebytes(h.dir() + L"go", "");
    // The close asks about a again: not saved, its tab goes; then b: cancelled,
    // so the host stays.
    HWND qa = nextquestion(h, run);
    ASSERT_TRUE(qa) << "the close did not ask about a";
    hostrun::press(qa, IDNO);
    ASSERT_TRUE(waitfor([&] { return !IsWindow(qa); }));
    HWND qb = nextquestion(h, run);
    ASSERT_TRUE(qb) << "the close did not ask about b";
    hostrun::press(qb, IDCANCEL);
    ASSERT_TRUE(waitfor([&] { return !IsWindow(qb); }));
    ASSERT_TRUE(IsWindow(run));
    // The run question is answered last: a is gone, so nothing runs, and
    // surely not b, whose tab now stands where a's stood.
    hostrun::press(run, IDNO);
    ASSERT_TRUE(waitfor([&] { return !IsWindow(run); }));
    Sleep(1500);
    EXPECT_EQ(GetFileAttributesW((h.dir() + L"log\\b.log").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW((h.dir() + L"log\\a.log").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(readbytes(a), utf16(L"a"));
    ASSERT_TRUE(h.alive());
    EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_EQ(hostrun::text(eb), L"b edited");

    // A close typed ahead while b's close question is open takes b first:
    // the first close must not take another tab in its place.
    command(w, CMD_CLOSETAB);
    HWND first = h.findbox(L"QUORVEL");
    ASSERT_TRUE(first);
    command(w, CMD_CLOSETAB);
    HWND second = nextquestion(h, first);
    ASSERT_TRUE(second) << "the second close did not ask";
    hostrun::press(second, IDNO);
    ASSERT_TRUE(waitfor([&] { return !IsWindow(second); }));
    hostrun::press(first, IDNO);
    ASSERT_TRUE(waitfor([&] { return !IsWindow(first); }));
    Sleep(500);
    EXPECT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_TRUE(contains(h.title(), L"[" + c + L"]")) << h.title();
    EXPECT_EQ(readbytes(b), utf16(L"b"));

    closewindow(h);
    ASSERT_EQ(h.waitexit(10000), 0);
}

TEST(HostRun, RunStartsTheFileItWasGivenWhenAnotherOpensDuringItsQuestion)
{
    hostrun h;
    const std::wstring a = h.dir() + L"a.tst", b = h.dir() + L"b.tst";
    HWND ea = starttab(h, L"a.tst", utf16(L""));
    ASSERT_TRUE(ea);
    emptyscript(b);
    modify(ea, L"// edited");
    command(h.mainwindow(), 115);
    HWND q = h.findbox(L"QUORVEL");
    ASSERT_TRUE(q) << "no save question";
    // Opened from the question's message loop: b becomes the current file.
    ASSERT_TRUE(openbydialog(h, b));
    ASSERT_TRUE(waitfor([&] { return contains(h.title(), L"[" + b + L"]"); })) << h.title();
    hostrun::press(q, IDNO);
    EXPECT_TRUE(waitfor([&] { return contains(widen(readbytes(h.dir() + L"log\\a.log")), L"Quorvel end"); }));
    EXPECT_EQ(GetFileAttributesW((h.dir() + L"log\\b.log").c_str()), INVALID_FILE_ATTRIBUTES);
    closewindow(h);
    answer(h, IDNO);
    ASSERT_EQ(h.waitexit(10000), 0);
}
