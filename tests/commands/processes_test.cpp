// Processes, the shell, sounds, the file dialog and the host's status bar,
// tray toggle and log switches, run as scripts.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include "commands/syscommon.h"
#include "runtime/quorvelcore.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

using qtest::hasline;
using qtest::runscript;
using qtest::scratchdir;
using qtest::selfexe;

namespace {

bool fileexists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A status bar of four parts standing for the host's (hStatus) while it lives.
struct statusbar {
    HWND hwnd;
    statusbar()
    {
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
        InitCommonControlsEx(&icc);
        hwnd = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD, 0, 0, 400, 20, qtest::ownerwindow(), nullptr,
                               GetModuleHandleW(nullptr), nullptr);
        int edges[4] = {100, 200, 300, -1};
        SendMessageW(hwnd, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));
        hStatus = hwnd;
    }
    ~statusbar()
    {
        hStatus = nullptr;
        DestroyWindow(hwnd);
    }
    std::wstring text(int part) const
    {
        const auto len = LOWORD(SendMessageW(hwnd, SB_GETTEXTLENGTHW, static_cast<WPARAM>(part), 0));
        std::wstring t(len + 1u, L'\0');
        SendMessageW(hwnd, SB_GETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(t.data()));
        t.resize(len);
        return t;
    }
};

// Finds the file dialog of "getopenfilename" from another thread and either
// types a name into it and accepts, or cancels it.
struct dialogdriver {
    std::wstring name;  // empty: cancel
    HANDLE thread = nullptr;
    volatile LONG found = 0;

    static BOOL CALLBACK finddialog(HWND w, LPARAM lp)
    {
        wchar_t cls[32] = {}, title[64] = {};
        GetClassNameW(w, cls, 32);
        GetWindowTextW(w, title, 64);
        if (wcscmp(cls, L"#32770") == 0 && wcscmp(title, L"Set File/Directory") == 0 && IsWindowVisible(w)) {
            *reinterpret_cast<HWND*>(lp) = w;
            return FALSE;
        }
        return TRUE;
    }
    static DWORD WINAPI drive(void* arg)
    {
        auto* d = static_cast<dialogdriver*>(arg);
        for (int tries = 0; tries < 1000; ++tries) {
            HWND dlg = nullptr;
            EnumWindows(finddialog, reinterpret_cast<LPARAM>(&dlg));
            if (dlg) {
                InterlockedExchange(&d->found, 1);
                Sleep(100);  // let the dialog finish its set-up
                if (d->name.empty()) {
                    PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
                } else {
                    // The name field of the Explorer-style dialog, or of the old one.
                    SetDlgItemTextW(dlg, 0x47c, d->name.c_str());
                    SetDlgItemTextW(dlg, 0x480, d->name.c_str());
                    PostMessageW(dlg, WM_COMMAND, IDOK, 0);
                }
                return 0;
            }
            Sleep(10);
        }
        return 0;
    }
    explicit dialogdriver(std::wstring n) : name(std::move(n))
    {
        thread = CreateThread(nullptr, 0, drive, this, 0, nullptr);
    }
    ~dialogdriver()
    {
        WaitForSingleObject(thread, 15000);
        CloseHandle(thread);
    }
};

// The WM_USER requests a stand-in main window received (their wParam).
WPARAM g_trayrequest = 0;
int g_traycount = 0;

LRESULT CALLBACK trayproc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_USER) {
        g_trayrequest = wp;
        ++g_traycount;
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// A silent PCM file of `ms` milliseconds.
void writewav(const std::wstring& path, DWORD ms)
{
    const DWORD rate = 8000, bytes = rate * 2 * ms / 1000;
    std::string f = "RIFF";
    auto u32 = [&f](DWORD v) { f.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&f](WORD v) { f.append(reinterpret_cast<const char*>(&v), 2); };
    u32(36 + bytes);
    f += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    f += "data";
    u32(bytes);
    f.append(bytes, '\0');
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, f.data(), static_cast<DWORD>(f.size()), &n, nullptr);
    CloseHandle(h);
}

}  // namespace

TEST(Processes, CreprocWaitsForTheProgramOnlyWhenAsked)
{
    const std::wstring exe = selfexe();
    const std::wstring log = runscript(L"creprocwait",
                                       L"t = clock()\n"
                                       L"creproc('\"" + exe + L"\" --qtest-sleep 700', 1)\n"
                                       L"printf(\"%D\\n\", clock() - t >= 600)\n"
                                       L"t = clock()\n"
                                       L"creproc('\"" + exe + L"\" --qtest-sleep 2500', 0)\n"
                                       L"printf(\"%D\\n\", clock() - t < 1500)\n");
    EXPECT_EQ(log, L"1\n1\n");
}

TEST(Processes, CreprocLeavesItsTextAloneAndSkipsWhatFailedToStart)
{
    const std::wstring out = scratchdir() + L"creproc.txt";
    DeleteFileW(out.c_str());
    const std::wstring log = runscript(L"creproctext",
                                       L"line = 'cmd.exe /c echo started> \"" + out + L"\"'\n"
                                       L"creproc(line, 1)\n"
                                       L"printf(\"%s\\n\", line)\n"
                                       L"t = clock()\n"
                                       L"creproc('no-such-program-anywhere.exe', 1)\n"
                                       L"creproc(\"\", 1)\n"
                                       L"creproc('\"" + scratchdir() + L"\"', 0)\n"
                                       L"printf(\"%D\\n\", clock() - t < 1000)\n");
    EXPECT_EQ(log, L"cmd.exe /c echo started> \"" + out + L"\"\n1\n");
    EXPECT_TRUE(fileexists(out)) << "the wait ended only once the program had written its file";
}

TEST(Processes, ShellexeOpensWithAndWithoutParameters)
{
    const std::wstring out = scratchdir() + L"shellexe.txt";
    DeleteFileW(out.c_str());
    const std::wstring log = runscript(L"shellexe",
                                       L"shellexe('cmd.exe', '/c echo shell> \"" + out + L"\"')\n"
                                       L"shellexe('" + scratchdir() + L"no-such-document.xyz')\n"
                                       L"printf(\"done\\n\")\n");
    EXPECT_EQ(log, L"done\n");
    for (int k = 0; k < 500 && !fileexists(out); ++k)
        Sleep(10);
    EXPECT_TRUE(fileexists(out));
    EXPECT_NE(runscript(L"shellexe3", L"shellexe('a', 'b', 'c')\n").find(L"the number of argument mismatch."),
              std::wstring::npos);
}

TEST(Processes, KillprocessEndsAProcessByIntegerIdOnly)
{
    std::wstring line = L"\"" + selfexe() + L"\" --qtest-sleep 20000";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    const std::wstring id = std::to_wstring(pi.dwProcessId);
    const std::wstring log = runscript(L"killprocess", L"printf(\"%D\\n\", killprocess(" + id + L" + 0.0))\n"
                                                       L"printf(\"%D\\n\", killprocess(" + id + L"))\n"
                                                       L"printf(\"%D\\n\", killprocess(0))\n");
    EXPECT_EQ(log, L"0\n1\n0\n") << "a computed double is not tried";
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 5000), WAIT_OBJECT_0);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 9u);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

TEST(Processes, PlaysoundWaitsUnlessAsynchronous)
{
    if (!qtest::hasaudio())
        GTEST_SKIP() << "no audio server for Wine";
    const std::wstring wav = scratchdir() + L"quiet.wav";
    writewav(wav, 500);
    const std::wstring log = runscript(L"playsound", L"t = clock()\n"
                                                     L"playsound('" + wav + L"')\n"
                                                     L"printf(\"%D\\n\", clock() - t >= 400)\n"
                                                     L"t = clock()\n"
                                                     L"playsound('" + wav + L"', async)\n"
                                                     L"printf(\"%D\\n\", clock() - t < 300)\n"
                                                     L"t = clock()\n"
                                                     L"playsound('" + wav + L"', asap)\n"
                                                     L"printf(\"%D\\n\", clock() - t < 300)\n");
    EXPECT_EQ(log, L"1\n1\n1\n");
}

TEST(Processes, StatusWritesTheHostStatusBarPart)
{
    statusbar bar;
    const std::wstring log = runscript(L"status", L"status(2, \"third part\")\n"
                                                  L"status( 0 , \"first\" \" part\")\n"
                                                  L"status(, \"empty is part 0\")\n"
                                                  L"status(3x, 'digit first')\n");
    EXPECT_EQ(log, L"");
    EXPECT_EQ(bar.text(0), L"empty is part 0");
    EXPECT_EQ(bar.text(1), L"");
    EXPECT_EQ(bar.text(2), L"third part");
    EXPECT_EQ(bar.text(3), L"digit first");
}

TEST(Processes, StatusPartBeyondThreeDoesNotCompile)
{
    statusbar bar;
    const std::wstring log = runscript(L"status4", L"printf(\"ran\\n\")\nstatus(4, \"x\")\n");
    EXPECT_NE(log.find(L"Not supported parameter. in status at line 2"), std::wstring::npos) << qtest::narrow(log);
    EXPECT_EQ(log.find(L"ran"), std::wstring::npos);
    EXPECT_EQ(bar.text(0), L"");
}

TEST(Processes, GetopenfilenameTakesAPathLongerThan64Characters)
{
    // The dialog's buffer holds any path the system can name.
    const std::wstring chosen =
        scratchdir() + L"a file name that is long enough to pass the old sixty-four character limit.txt";
    ASSERT_GT(chosen.size(), 64u);
    std::wstring log;
    {
        dialogdriver driver(chosen);
        log = runscript(L"openfile", L"f = getopenfilename(\"start.txt\")\nprintf(\"%s\\n\", f)\n");
        EXPECT_EQ(driver.found, 1);
    }
    EXPECT_EQ(log, chosen + L"\n");
}

TEST(Processes, GetopenfilenameCancelledIsFatal)
{
    std::wstring log;
    {
        dialogdriver driver(L"");
        log = runscript(L"openfilecancel", L"f = getopenfilename(\"\")\nprintf(\"chose %s\\n\", f)\n");
    }
    EXPECT_NE(log.find(L"GetOpenFileName error."), std::wstring::npos) << qtest::narrow(log);
    EXPECT_EQ(log.find(L"chose"), std::wstring::npos);
}

TEST(Processes, PushpoptasktrayAsksTheWindowToToggle)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = trayproc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"quorveltest.tray";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    g_traycount = 0;
    const std::wstring log =
        runscript(L"tray", L"pushpoptasktray(" + std::to_wstring(reinterpret_cast<intptr_t>(w)) + L")\n");
    EXPECT_EQ(log, L"");
    EXPECT_EQ(g_traycount, 1);
    EXPECT_EQ(g_trayrequest, 100u);
    DestroyWindow(w);
}

TEST(Processes, LoggingSwitchesTakeOnlyValuesZeroToTwo)
{
    qtest::logpane pane;
    const std::wstring log = runscript(L"logging", L"printf(\"before\\n\")\n"
                                                   L"logging(2, 5)\n"
                                                   L"printf(\"file suppressed\\n\")\n"
                                                   L"logging(0, 2)\n"
                                                   L"printf(\"pane suppressed\\n\")\n"
                                                   L"logging(-1, 0)\n"
                                                   L"printf(\"both\\n\")\n");
    EXPECT_EQ(log, L"before\npane suppressed\nboth\n");
    const std::wstring shown = pane.text();
    EXPECT_NE(shown.find(L"file suppressed"), std::wstring::npos) << "5 leaves the window switch as it was";
    EXPECT_EQ(shown.find(L"pane suppressed"), std::wstring::npos);
    EXPECT_NE(shown.find(L"both"), std::wstring::npos);
}

TEST(Processes, FrontEndsCheckTheirArguments)
{
    EXPECT_NE(runscript(L"crep1", L"creproc(\"cmd.exe\")\n").find(L"the number of argument mismatch."),
              std::wstring::npos);
    EXPECT_NE(runscript(L"play3", L"playsound('a', async, x)\n").find(L"the number of argument mismatch."),
              std::wstring::npos);
    EXPECT_NE(runscript(L"logging1", L"logging(1)\n").find(L"the number of argument mismatch."),
              std::wstring::npos);
    EXPECT_NE(runscript(L"status1", L"status(1)\n").find(L"the number of argument mismatch."), std::wstring::npos);
    EXPECT_NE(runscript(L"statusx", L"status(x, \"t\")\n").find(L"Not supported parameter. in status"),
              std::wstring::npos);
}
