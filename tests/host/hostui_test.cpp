// The host's hotkeys, menus, Setting and enrolment windows and resident
// scripts, in the real program, driven by messages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "host/hostenv.h"
#include "host/hostrun.h"

using namespace htest;

namespace {

constexpr int CMD_RECENT = 113, CMD_RUN = 115, CMD_SETTING = 116, CMD_ENROLSCRIPT = 123, CMD_ENROLHOTKEY = 134,
              CMD_ENROLRESIDENT = 135, HOTKEY_MAIN = 122, HOTKEY_LAUNCHFIRST = 140;
// Control ids of the Setting window and of the enrolment rows (base + row).
constexpr int SET_HOTOK = 103, SET_HOTMOD = 104, SET_HOTENABLE = 105, SET_TRAY = 106, SET_HOTKEY = 107,
              SET_RUNMOD = 108, SET_RUNKEY = 109, SET_RUNOK = 110;
constexpr int ROW_SAVE = 1350, ROW_TITLE = 1700, ROW_SCRIPT = 1750, ROW_OPTIONS = 1800, ROW_MOD = 1850,
              ROW_KEY = 1900;

bool contains(const std::wstring& s, const std::wstring& part)
{
    return s.find(part) != std::wstring::npos;
}

void post(HWND w, UINT msg, WPARAM wp = 0, LPARAM lp = 0)
{
    ASSERT_TRUE(w) << "no window for message " << msg;
    PostMessageW(w, msg, wp, lp);
}

void settext(HWND parent, int id, const std::wstring& text)
{
    HWND c = GetDlgItem(parent, id);
    ASSERT_TRUE(c) << "no control " << id;
    SendMessageW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring gettext(HWND parent, int id)
{
    return hostrun::text(GetDlgItem(parent, id));
}

void select(HWND parent, int id, int index)
{
    SendDlgItemMessageW(parent, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

// A key pressed in a key-capture field.
void keydown(HWND parent, int id, WPARAM vk)
{
    SendDlgItemMessageW(parent, id, WM_KEYDOWN, vk, 0);
}

// A script that runs for a few tenths of a second, so that its run can be seen.
void busyscript(const std::wstring& path)
{
    writebytes(path, utf16(L"i = 0\r\nwhile (i < 300000)\r\n    i++\r\n"));
}

// A first instance started with `ini`, its title showing its hotkey state.
HWND startfirst(hostrun& h, const std::wstring& ini, const std::wstring& args = L"")
{
    if (!ini.empty())
        writebytes(h.dir() + L"quorvel.ini", utf16(ini));
    if (!h.start(args))
        return nullptr;
    HWND w = h.mainwindow();
    if (w && args.empty())
        waitfor([&] { return contains(h.title(), L"(HotKey:"); });
    return w;
}

std::wstring inifile(hostrun& h)
{
    return widen(readbytes(h.dir() + L"quorvel.ini"));
}

void closehost(hostrun& h)
{
    post(h.mainwindow(), WM_CLOSE);
    ASSERT_EQ(h.waitexit(15000), 0) << "the host did not close";
}

// The title shows "[Run:name]" while the child instance runs and drops it
// when the child reports its end; the child's log shows the run.
void expectremoterun(hostrun& h, const std::wstring& name)
{
    EXPECT_TRUE(waitfor([&] { return contains(h.title(), L"[Run:" + name + L"]"); }, 10000)) << h.title();
    EXPECT_TRUE(waitfor([&] { return !contains(h.title(), L"[Run"); }, 30000)) << h.title();
    EXPECT_TRUE(contains(widen(readbytes(h.dir() + L"log\\" + name + L".log")), L"Quorvel end")) << name;
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"......End   of "); })) << h.syslog();
}

}  // namespace

TEST(HostUi, MainHotkeyOpensTheLaunchMenuWhoseEntriesStartChildHosts)
{
    hostrun h;
    CreateDirectoryW((h.dir() + L"my scripts").c_str(), nullptr);
    const std::wstring spaced = h.dir() + L"my scripts\\a b.tst";  // the launch must quote it
    busyscript(spaced);
    HWND w = startfirst(h, L"[script]\r\n01=Alpha\r\n02=" + spaced + L"\r\n03=/quit /hide\r\n"
                           L"b1=Bee\r\nb2=C:\\b.tst\r\nb3=\r\nc1=NoOptions\r\nc2=C:\\c.tst\r\n");
    ASSERT_TRUE(w);

    post(w, WM_HOTKEY, HOTKEY_MAIN);
    HWND menu = h.window(L"quorvel.lm");
    ASSERT_TRUE(menu) << "no Launch Menu";
    EXPECT_EQ(hostrun::text(menu), L"Launch Menu");
    EXPECT_EQ(hostrun::buttons(menu), (std::vector<std::wstring>{L"0 Alpha", L"b Bee"}));
    EXPECT_FALSE(IsWindowEnabled(w));
    // A key of an empty slot closes the menu and starts nothing.
    post(menu, WM_KEYDOWN, 'Q');
    EXPECT_TRUE(waitfor([&] { return !IsWindow(menu); }));
    EXPECT_TRUE(waitfor([&] { return IsWindowEnabled(w) != 0; }));
    EXPECT_FALSE(contains(h.syslog(), L"......Start of"));

    // Shift asks for set 2, which is empty.
    post(w, WM_HOTKEY, HOTKEY_MAIN);
    ASSERT_TRUE(menu = h.window(L"quorvel.lm"));
    post(menu, WM_KEYDOWN, VK_SHIFT);
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"None of script enrolled.\r\n"); })) << h.syslog();
    EXPECT_TRUE(waitfor([&] { return IsWindowEnabled(w) != 0; }));

    post(w, WM_HOTKEY, HOTKEY_MAIN);
    ASSERT_TRUE(menu = h.window(L"quorvel.lm"));
    post(menu, WM_KEYDOWN, '0');
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"......Start of " + spaced + L"\r\n"); })) << h.syslog();
    expectremoterun(h, L"a b");
    closehost(h);
}

TEST(HostUi, EnrolledHotkeyLauncherRunsItsScriptInAChildHost)
{
    hostrun h;
    const std::wstring script = h.dir() + L"launched.tst";
    busyscript(script);
    HWND w = startfirst(h, L"");
    ASSERT_TRUE(w);

    post(w, WM_COMMAND, CMD_ENROLHOTKEY);
    HWND eh = h.window(L"quorvel.eh");
    ASSERT_TRUE(eh) << "no Enroll Hotkey Launcher window";
    EXPECT_EQ(hostrun::text(eh), L"Enroll Hotkey Launcher");
    EXPECT_EQ(gettext(eh, ROW_OPTIONS + 3), L"/quit /hide");  // the empty row
    settext(eh, ROW_TITLE + 3, L"Launched");
    settext(eh, ROW_SCRIPT + 3, script);
    select(eh, ROW_MOD + 3, 2);  // CTRL+ALT
    keydown(eh, ROW_KEY + 3, VK_F6);
    EXPECT_EQ(gettext(eh, ROW_KEY + 3), L"F6");
    keydown(eh, ROW_KEY + 3, VK_BACK);
    EXPECT_EQ(gettext(eh, ROW_KEY + 3), L"BACK");
    keydown(eh, ROW_KEY + 3, 0x5B);  // no name: unchanged
    EXPECT_EQ(gettext(eh, ROW_KEY + 3), L"BACK");
    keydown(eh, ROW_KEY + 3, VK_F6);
    post(eh, WM_COMMAND, ROW_SAVE + 3);
    // The last line of the save, then the one before it.
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"Enroll 03 title:Launched Script:" + script + L" \r\n"); }))
        << h.syslog();
    EXPECT_TRUE(contains(h.syslog(), L"Hotkey registration success. CTRL+ALT+F6 \r\n"));
    // A row with an empty key deletes its keys.
    settext(eh, ROW_TITLE + 4, L"NoKey");
    settext(eh, ROW_SCRIPT + 4, script);
    post(eh, WM_COMMAND, ROW_SAVE + 4);
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"Delete 04 key.\r\n"); })) << h.syslog();
    EXPECT_EQ(gettext(eh, ROW_TITLE + 4), L"");
    // While the window is open the main window takes no hotkey.
    post(w, WM_HOTKEY, HOTKEY_LAUNCHFIRST + 3);
    post(eh, WM_CLOSE);
    EXPECT_TRUE(waitfor([&] { return !IsWindow(eh) && IsWindowEnabled(w); }));
    EXPECT_FALSE(contains(h.syslog(), L"......Start of"));

    post(w, WM_HOTKEY, HOTKEY_LAUNCHFIRST + 3);
    expectremoterun(h, L"launched");
    closehost(h);
    const std::wstring ini = inifile(h);
    EXPECT_TRUE(contains(ini, L"[hotkeylauncher]\r\n03_tn=Launched\r\n03_fs=" + script +
                                  L"\r\n03_fsmod=2\r\n03_vk=F6\r\n03_op=/quit /hide\r\n"))
        << ini;
    EXPECT_TRUE(contains(h.syslog(), L"HotkeyLauncher 3 UnregisterHotKey success \r\n"));

    // The next start registers it from the settings, and not one whose
    // modifier lies outside the table ([hotkeylauncher] is the last section).
    writebytes(h.dir() + L"quorvel.ini",
               utf16(ini.substr(1) + L"05_tn=Bad\r\n05_fs=C:\\b.tst\r\n05_op=\r\n05_fsmod=9\r\n05_vk=F4\r\n"));
    hostrun again(h.dir());
    ASSERT_TRUE(again.start(L""));
    ASSERT_TRUE(again.mainwindow());
    EXPECT_TRUE(waitfor([&] { return contains(again.syslog(), L"HotkeyLauncher:3:CTRL+ALT+F6"); }))
        << again.syslog();
    // Slot 5 comes after slot 3: its line may not be written yet.
    EXPECT_TRUE(waitfor([&] {
        return contains(again.syslog(), L"Hotkey launcher registration failed. invalid modifier. 5:fsmod:9 \r\n");
    })) << again.syslog();
    closehost(again);
}

namespace {

void setclipboardtext(const wchar_t* text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(g), text, bytes);
    GlobalUnlock(g);
    SetClipboardData(CF_UNICODETEXT, g);
    CloseClipboard();
}

void setclipboardfile(const std::wstring& path)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* df = static_cast<DROPFILES*>(GlobalLock(g));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), path.c_str(), path.size() * sizeof(wchar_t));
    GlobalUnlock(g);
    SetClipboardData(CF_HDROP, g);
    CloseClipboard();
}

}  // namespace

TEST(HostUi, EnrolmentWindowsWriteTheirKeysAndTheClipboardGivesOnlyFiles)
{
    hostrun h;
    const std::wstring script = h.dir() + L"e.tst";
    busyscript(script);
    HWND w = startfirst(h, L"");
    ASSERT_TRUE(w);

    post(w, WM_COMMAND, CMD_ENROLSCRIPT);
    HWND es = h.window(L"quorvel.es");
    ASSERT_TRUE(es) << "no Enroll Script window";
    settext(es, ROW_TITLE + 11, L"Bee");
    settext(es, ROW_SCRIPT + 11, L"C:\\typed.tst");
    // A click makes row 11 current; copied text leaves its Script alone.
    SendDlgItemMessageW(es, ROW_SCRIPT + 11, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SendDlgItemMessageW(es, ROW_SCRIPT + 11, WM_LBUTTONUP, 0, 0);
    setclipboardtext(L"just text");
    Sleep(300);
    EXPECT_EQ(gettext(es, ROW_SCRIPT + 11), L"C:\\typed.tst");
    setclipboardfile(script);
    EXPECT_TRUE(waitfor([&] { return gettext(es, ROW_SCRIPT + 11) == script; })) << gettext(es, ROW_SCRIPT + 11);
    settext(es, ROW_OPTIONS + 11, L"/quit /hide");
    post(es, WM_COMMAND, ROW_SAVE + 11);
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"Enroll b title:Bee Script:" + script + L" \r\n"); }))
        << h.syslog();
    post(es, WM_CHAR, VK_ESCAPE);
    EXPECT_TRUE(waitfor([&] { return !IsWindow(es) && IsWindowEnabled(w); }));
    // The menu shows the new entry at once.
    post(w, WM_HOTKEY, HOTKEY_MAIN);
    HWND menu = h.window(L"quorvel.lm");
    ASSERT_TRUE(menu);
    EXPECT_EQ(hostrun::buttons(menu), std::vector<std::wstring>{L"b Bee"});
    post(menu, WM_KEYDOWN, VK_ESCAPE);
    EXPECT_TRUE(waitfor([&] { return !IsWindow(menu) && IsWindowEnabled(w); }));

    post(w, WM_COMMAND, CMD_ENROLRESIDENT);
    HWND res = h.window(L"quorvel.res");
    ASSERT_TRUE(res) << "no Enroll Resident Script window";
    settext(res, ROW_TITLE + 2, L"Res");
    settext(res, ROW_SCRIPT + 2, script);
    post(res, WM_COMMAND, 1600 + 2);  // Active off
    post(res, WM_COMMAND, ROW_SAVE + 2);
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"Resident Enroll: 02 title:Res Script:"); }))
        << h.syslog();
    EXPECT_TRUE(contains(h.syslog(), L"Active button: 2 \r\n"));
    // Run starts it here, and knows it runs.
    writebytes(script, utf16(L"i = 0\r\nwhile (i < 50000000)\r\n    i++\r\n"));  // stopped at close
    post(res, WM_COMMAND, 1650 + 2);
    post(res, WM_COMMAND, 1650 + 2);
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"Run button: 2 state:Already runing \r\n"); }))
        << h.syslog();
    post(res, WM_KEYDOWN, VK_ESCAPE);
    EXPECT_TRUE(waitfor([&] { return !IsWindow(res) && IsWindowEnabled(w); }));
    EXPECT_TRUE(waitfor([&] { return contains(widen(readbytes(h.dir() + L"log\\e.log")), L"Quorvel start"); }));

    post(w, WM_COMMAND, CMD_SETTING);
    HWND set = h.window(L"quorvel.set");
    ASSERT_TRUE(set) << "no Setting window";
    EXPECT_EQ(gettext(set, SET_HOTKEY), L"X");
    EXPECT_EQ(SendDlgItemMessageW(set, SET_HOTMOD, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(gettext(set, SET_RUNKEY), L"S");
    // Ctrl+S is the run key; no selection must not index the modifiers.
    select(set, SET_HOTMOD, 0);
    keydown(set, SET_HOTKEY, 'S');
    post(set, WM_COMMAND, SET_HOTOK);
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"Already used key in this app, choose another.\r\n"); }));
    select(set, SET_HOTMOD, -1);
    keydown(set, SET_HOTKEY, VK_F8);
    post(set, WM_COMMAND, SET_HOTOK);
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"invalid number error.\r\n"); })) << h.syslog();
    select(set, SET_HOTMOD, 2);
    post(set, WM_COMMAND, SET_HOTENABLE);
    post(set, WM_COMMAND, SET_HOTOK);
    EXPECT_TRUE(waitfor([&] { return contains(h.title(), L"QUORVEL (HotKey:CTRL+ALT+F8) - ["); })) << h.title();
    // The run key: typed in lower case, shown in capitals.
    SendDlgItemMessageW(set, SET_RUNKEY, WM_CHAR, 'r', 0);
    SendDlgItemMessageW(set, SET_RUNKEY, WM_CHAR, '5', 0);
    EXPECT_EQ(gettext(set, SET_RUNKEY), L"R");
    select(set, SET_RUNMOD, 1);
    post(set, WM_COMMAND, SET_RUNOK);
    post(set, WM_COMMAND, SET_TRAY);
    EXPECT_TRUE(waitfor([&] { return SendDlgItemMessageW(set, SET_TRAY, BM_GETCHECK, 0, 0) == BST_CHECKED; }));
    post(set, WM_KEYDOWN, VK_ESCAPE);
    EXPECT_TRUE(waitfor([&] { return !IsWindow(set) && IsWindowEnabled(w); }));

    closehost(h);
    const std::wstring ini = inifile(h);
    EXPECT_TRUE(contains(ini, L"[setting]\r\ntasktrayf=1\r\n")) << ini;
    EXPECT_TRUE(contains(ini, L"b1=Bee\r\nb2=" + script + L"\r\nb3=/quit /hide\r\n")) << ini;
    EXPECT_TRUE(contains(ini, L"[hotkey]\r\nflag=1\r\nfsmod=2\r\nvk=F8\r\n")) << ini;
    EXPECT_TRUE(contains(ini, L"[runkey]\r\nfsmod=1\r\nvk=R\r\n")) << ini;
    EXPECT_TRUE(contains(ini, L"[resident]\r\n02_tn=Res\r\n02_fs=" + script + L"\r\n02_active=0\r\n")) << ini;
}

// Every line the host writes ends where it ends: none runs into the next one.
TEST(HostUi, StartLinesEndEachWithItsLineEnd)
{
    hostrun h;
    writebytes(h.dir() + L"error.log", utf16(L"1:0:1\r\n"));
    std::wstring ini = L"[hotkeylauncher]\r\n";
    for (const wchar_t* row : {L"00", L"01", L"02"}) {
        const std::wstring r = row;
        const wchar_t* key = r == L"00" ? L"F9" : r == L"01" ? L"F10" : L"F11";
        ini += r + L"_tn=T" + r + L"\r\n" + r + L"_fs=C:\\s" + r + L".tst\r\n" + r + L"_op=/quit\r\n" + r +
               L"_fsmod=1\r\n" + r + L"_vk=" + key + L"\r\n";
    }
    // Held by another program: the middle launcher fails between two that register.
    ASSERT_TRUE(RegisterHotKey(nullptr, 79, MOD_ALT, VK_F10));
    HWND w = startfirst(h, ini);
    ASSERT_TRUE(w);
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"HotkeyLauncher:0:ALT+F9:2:ALT+F11\r\n"); }))
        << h.syslog();
    UnregisterHotKey(nullptr, 79);
    const std::wstring log = h.syslog();
    EXPECT_TRUE(contains(log, L"error.log exists\r\n")) << log;
    const size_t failed = log.find(L"Hotkey launcher registration failed. ");
    ASSERT_NE(failed, std::wstring::npos) << log;
    EXPECT_EQ(log.substr(failed - 2, 2), L"\r\n") << log;
    EXPECT_TRUE(contains(log.substr(failed), L" 1:fsmoda:1 vk:y \r\n")) << log;
    closehost(h);
}

TEST(HostUi, ARefusedHotkeyGivesBackTheSavedOneRegistered)
{
    hostrun h;
    HWND w = startfirst(h, L"[hotkey]\r\nflag=1\r\nfsmod=1\r\nvk=Q\r\n");
    ASSERT_TRUE(w);
    EXPECT_TRUE(waitfor([&] { return contains(h.title(), L"(HotKey:ALT+Q)"); })) << h.title();
    // Held by another program: the system refuses it to the host.
    ASSERT_TRUE(RegisterHotKey(nullptr, 77, MOD_CONTROL | MOD_ALT, VK_F7));
    post(w, WM_COMMAND, CMD_SETTING);
    HWND set = h.window(L"quorvel.set");
    ASSERT_TRUE(set);
    select(set, SET_HOTMOD, 2);
    keydown(set, SET_HOTKEY, VK_F7);
    post(set, WM_COMMAND, SET_HOTOK);
    EXPECT_TRUE(waitfor([&] { return contains(h.syslog(), L"Hotkey registration failed."); })) << h.syslog();
    EXPECT_TRUE(waitfor([&] { return contains(h.title(), L"(HotKey:ALT+Q)"); })) << h.title();
    UnregisterHotKey(nullptr, 77);
    // Registered again: another program cannot take it now.
    EXPECT_FALSE(RegisterHotKey(nullptr, 78, MOD_ALT, 'Q'));
    post(set, WM_CLOSE);
    closehost(h);
    EXPECT_TRUE(contains(inifile(h), L"[hotkey]\r\nflag=1\r\nfsmod=1\r\nvk=Q\r\n"));
    // Free again once the host is gone.
    EXPECT_TRUE(RegisterHotKey(nullptr, 78, MOD_ALT, 'Q'));
    UnregisterHotKey(nullptr, 78);
}

TEST(HostUi, ResidentScriptsStartWithAFirstInstanceButNotWithACommandLineScript)
{
    hostrun h;
    const std::wstring on = h.dir() + L"on.tst", off = h.dir() + L"off.tst", cmd = h.dir() + L"cmd.tst";
    for (const std::wstring& s : {on, off, cmd})
        writebytes(s, utf16(L""));
    const std::wstring ini = L"[resident]\r\n00_tn=On\r\n00_fs=" + on + L"\r\n00_active=1\r\n01_tn=Off\r\n01_fs=" +
                             off + L"\r\n01_active=0\r\n";
    HWND w = startfirst(h, ini);
    ASSERT_TRUE(w);
    EXPECT_TRUE(waitfor([&] { return contains(widen(readbytes(h.dir() + L"log\\on.log")), L"Quorvel end"); }));
    EXPECT_TRUE(contains(h.title(), L"[" + on + L"]")) << h.title();  // opened in a tab
    EXPECT_EQ(GetFileAttributesW((h.dir() + L"log\\off.log").c_str()), INVALID_FILE_ATTRIBUTES);
    closehost(h);

    DeleteFileW((h.dir() + L"log\\on.log").c_str());
    hostrun second(h.dir());
    ASSERT_TRUE(second.start(L"cmd.tst /hide /quit"));
    ASSERT_EQ(second.waitexit(30000), 0);
    EXPECT_TRUE(contains(widen(readbytes(h.dir() + L"log\\cmd.log")), L"Quorvel end"));
    EXPECT_EQ(GetFileAttributesW((h.dir() + L"log\\on.log").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(HostUi, RecentlyOpenedMenuOpensTheChosenFile)
{
    hostrun h;
    const std::wstring x = h.dir() + L"x.tst", y = h.dir() + L"y.tst";
    writebytes(x, utf16(L"x"));
    writebytes(y, utf16(L"y"));
    HWND w = startfirst(h, L"[main]\r\nscrfid_00=" + x + L"\r\nscrfid_01=" + y + L"\r\n");
    ASSERT_TRUE(w);
    post(w, WM_COMMAND, CMD_RECENT);
    HWND menu = h.window(L"quorvel.os");
    ASSERT_TRUE(menu) << "no Recently Opened Menu";
    EXPECT_EQ(hostrun::text(menu), L"Recently Opened Menu");
    EXPECT_EQ(hostrun::buttons(menu), (std::vector<std::wstring>{L"0 " + x, L"1 " + y}));
    post(menu, WM_KEYDOWN, '1');
    EXPECT_TRUE(waitfor([&] { return contains(h.title(), L"[" + y + L"]"); })) << h.title();
    // "Z" names an index past the list: nothing opens.
    post(w, WM_COMMAND, CMD_RECENT);
    ASSERT_TRUE(menu = h.window(L"quorvel.os"));
    EXPECT_EQ(hostrun::buttons(menu).front(), L"0 " + y);  // opening moved it to the top
    post(menu, WM_KEYDOWN, 'Z');
    EXPECT_TRUE(waitfor([&] { return !IsWindow(menu) && IsWindowEnabled(w); }));
    EXPECT_TRUE(contains(h.title(), L"[" + y + L"]"));
    closehost(h);
}

TEST(HostUi, ClosingUnderAModalWindowEndsTheProcess)
{
    for (int cmd : {CMD_SETTING, CMD_ENROLHOTKEY}) {
        hostrun h;
        HWND w = startfirst(h, L"");
        ASSERT_TRUE(w);
        post(w, WM_COMMAND, cmd);
        ASSERT_TRUE(h.window(cmd == CMD_SETTING ? L"quorvel.set" : L"quorvel.eh"));
        // As a script's "exit" or a fatal error does.
        post(w, WM_CLOSE);
        EXPECT_EQ(h.waitexit(15000), 0) << "the modal loop kept the process alive, command " << cmd;
    }
}

TEST(HostUi, TheSaveQuestionGivesTheFocusBackToTheEditor)
{
    hostrun h;
    const std::wstring script = h.dir() + L"f.tst";
    writebytes(script, "i = 1\r\n");  // no mark: modified at once
    HWND w = startfirst(h, L"[main]\r\nscrfid=" + script + L"\r\n");
    ASSERT_TRUE(w);
    post(w, WM_COMMAND, 112);
    HWND editor = nullptr;
    ASSERT_TRUE(waitfor([&] { return (editor = h.child(L"Edit", 102)) != nullptr; }));
    SetForegroundWindow(w);
    post(w, WM_COMMAND, CMD_RUN);
    HWND q = h.findbox(L"QUORVEL");
    ASSERT_TRUE(q);
    hostrun::press(q, IDYES);  // saved with its mark, then run
    GUITHREADINFO gti = {};
    gti.cbSize = sizeof gti;
    const DWORD thread = GetWindowThreadProcessId(w, nullptr);
    EXPECT_TRUE(waitfor([&] { return GetGUIThreadInfo(thread, &gti) && gti.hwndFocus == editor; }))
        << "focus on " << gti.hwndFocus << ", editor " << editor;
    EXPECT_TRUE(waitfor([&] { return contains(widen(readbytes(h.dir() + L"log\\f.log")), L"Quorvel end"); }));
    closehost(h);
}

TEST(HostUi, TheWindowRectangleSurvivesTenRestarts)
{
    hostrun h;
    const std::wstring rect = L"left=101\r\ntop=103\r\nright=752\r\nbottom=604\r\n";  // 651 by 501
    writebytes(h.dir() + L"quorvel.ini", utf16(L"[setting]\r\n" + rect));
    const DWORD started = GetTickCount();
    for (int i = 0; i < 10; ++i) {
        hostrun run(h.dir());
        ASSERT_TRUE(run.start(L""));
        HWND w = run.mainwindow();
        ASSERT_TRUE(w) << i;
        RECT r;
        GetWindowRect(w, &r);
        EXPECT_EQ(r.right - r.left, 651) << i;
        EXPECT_EQ(r.bottom - r.top, 501) << i;
        closehost(run);
        ASSERT_TRUE(contains(inifile(h), rect)) << i << ": " << inifile(h);
    }
    fprintf(stderr, "ten restarts: %lu ms\n", GetTickCount() - started);
}

namespace {

// The screen's pixels under a window.
std::vector<uint32_t> screenpixels(HWND w)
{
    RECT r;
    GetWindowRect(w, &r);
    const int cx = r.right - r.left, cy = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = cx;
    bi.bmiHeader.biHeight = -cy;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, cx, cy, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    std::vector<uint32_t> out(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + cx * cy);
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return out;
}

}  // namespace

TEST(HostUi, ClosingATabWithCtrlKRepaintsTheStrip)
{
    hostrun h;
    const std::wstring a = h.dir() + L"a.tst", b = h.dir() + L"a much longer name than the first.tst";
    writebytes(a, utf16(L"a"));
    writebytes(b, utf16(L"b"));
    HWND w = startfirst(h, L"[main]\r\nscrfid_00=" + a + L"\r\nscrfid_01=" + b + L"\r\n");
    ASSERT_TRUE(w);
    for (const wchar_t key : {L'0', L'1'}) {  // a, then b (a moved to the top)
        post(w, WM_COMMAND, CMD_RECENT);
        HWND menu = h.window(L"quorvel.os");
        ASSERT_TRUE(menu);
        post(menu, WM_KEYDOWN, key);
        ASSERT_TRUE(waitfor([&] { return !IsWindow(menu) && IsWindowEnabled(w); }));
    }
    ASSERT_TRUE(waitfor([&] { return contains(h.title(), L"[" + b + L"]"); })) << h.title();
    HWND tabs = h.child(L"SysTabControl32", 120);
    ASSERT_TRUE(tabs);
    ASSERT_EQ(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0), 2);
    SetForegroundWindow(w);
    click(h.child(L"Edit", 102));
    Sleep(200);
    ctrlkey('K');
    ASSERT_TRUE(waitfor([&] { return contains(h.title(), L"[" + a + L"]"); })) << h.title();
    Sleep(300);
    const std::vector<uint32_t> after = screenpixels(tabs);
    ASSERT_EQ(after.size(), screenpixels(tabs).size());
    // Painted anew from scratch: the same pixels when nothing was left unpainted.
    RedrawWindow(tabs, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    Sleep(300);
    // The strip is the band above the editor (whose caret blinks).
    RECT tr, er;
    GetWindowRect(tabs, &tr);
    GetWindowRect(h.child(L"Edit", 102), &er);
    const size_t band = static_cast<size_t>(tr.right - tr.left) * static_cast<size_t>(er.top - tr.top);
    ASSERT_GT(band, 0u);
    const std::vector<uint32_t> fresh = screenpixels(tabs);
    EXPECT_TRUE(std::equal(fresh.begin(), fresh.begin() + static_cast<ptrdiff_t>(band), after.begin()))
        << "part of the tab strip was not repainted";
    closehost(h);
}
