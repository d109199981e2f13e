// The hidden window of a run: ESC and pause, the key and click queue, waking
// waits, focus marks, hotkey, notices, timers and closing.
#include <gtest/gtest.h>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"
#include "support/codelist.h"
#include "support/testenv.h"
#include "support/windowedengine.h"

namespace {

// An engine with its script window, as a run creates it, and the events of
// its waits.
struct windowed : qtest::windowedengine {
    windowed()
    {
        waitevent = createwaitevent();
        clipevent = createwaitevent();
    }
    ~windowed() override
    {
        CloseHandle(waitevent);
        CloseHandle(clipevent);
    }
    LRESULT send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(scriptwnd, msg, wp, lp); }
    static bool isset(HANDLE h) { return WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }
    // Reads the event's state and resets it.
    static bool fired(HANDLE h)
    {
        const bool was = isset(h);
        ResetEvent(h);
        return was;
    }
};

}  // namespace

TEST(ScriptWindow, EscapeStopsAndWakesSpaceTogglesPause)
{
    windowed w;
    ASSERT_NE(w.scriptwnd, nullptr);
    HANDLE ev = w.waitevent;
    w.waitevent = nullptr;
    EXPECT_EQ(w.send(WM_KEYDOWN, VK_ESCAPE), 0);
    EXPECT_EQ(w.stopflag, 1u) << "ESC with nothing waiting only stops";
    w.stopflag = 0;
    w.waitevent = ev;
    w.send(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(w.stopflag, 1u);
    EXPECT_EQ(w.waitresult, -1);
    EXPECT_TRUE(windowed::fired(ev)) << "ESC wakes a wait even when it asked for no input";

    w.send(WM_KEYDOWN, VK_SPACE);
    EXPECT_EQ(w.pausetoggle, 1u);
    w.send(WM_KEYDOWN, VK_SPACE);
    EXPECT_EQ(w.pausetoggle, 0u);
    EXPECT_EQ(w.keycount, 0) << "with the queue off nothing is queued";
}

TEST(ScriptWindow, KeyQueueFillsWrapsDropsAndWakes)
{
    windowed w;
    w.keymode = 1;
    w.keydown = 1;
    w.waitinput = 1;
    w.clipwaiting = 1;
    w.send(WM_KEYDOWN, VK_ESCAPE);
    EXPECT_EQ(w.stopflag, 0u) << "a queued ESC does not stop the script";
    EXPECT_EQ(w.keyring[0], VK_ESCAPE);
    EXPECT_EQ(w.waitresult, 2);
    EXPECT_TRUE(windowed::fired(w.waitevent));
    EXPECT_EQ(w.clipresult, 2);
    EXPECT_TRUE(windowed::fired(w.clipevent));

    w.send(WM_LBUTTONDOWN);
    w.send(WM_RBUTTONDOWN);
    w.send(WM_MBUTTONDOWN);
    EXPECT_EQ(w.keyring[1], 1);
    EXPECT_EQ(w.keyring[2], 2);
    EXPECT_EQ(w.keyring[3], 4);
    w.send(WM_CHAR, L'a');
    EXPECT_EQ(w.keycount, 4) << "characters are queued only while key-down mode is off";

    w.keydown = 0;
    ResetEvent(w.clipevent);
    w.clipresult = 0;
    w.send(WM_CHAR, L'a');
    EXPECT_EQ(w.keyring[4], L'a');
    EXPECT_TRUE(windowed::fired(w.waitevent));
    EXPECT_TRUE(windowed::isset(w.clipevent)) << "a character wakes the clipboard monitor too";
    EXPECT_EQ(w.clipresult, 2);
    w.send(WM_RBUTTONDOWN);
    EXPECT_EQ(w.keycount, 5) << "clicks are queued only in key-down mode";

    // The write position wraps from the end to entry 0.
    w.keywrite = 512;
    w.keycount = 10;
    w.send(WM_CHAR, L'z');
    EXPECT_EQ(w.keyring[0], L'z');
    EXPECT_EQ(w.keywrite, 1);

    // A full queue drops the code and wakes nobody.
    w.keycount = 512;
    ResetEvent(w.waitevent);
    w.waitresult = 0;
    w.send(WM_CHAR, L'q');
    EXPECT_EQ(w.keycount, 512);
    EXPECT_EQ(w.keywrite, 1);
    EXPECT_EQ(w.waitresult, 0);
    EXPECT_FALSE(windowed::isset(w.waitevent));
}

TEST(ScriptWindow, FocusMarksTheRunningLineAndWakesInputWaits)
{
    windowed w;
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        g_runlisttext = L" first|second";
    }
    HWND line = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    hWndRunEdit = line;
    w.waitinput = 1;
    w.send(WM_SETFOCUS);
    EXPECT_EQ(w.focused, 1u);
    EXPECT_EQ(w.waitresult, 5);
    wchar_t text[64];
    GetWindowTextW(line, text, 64);
    EXPECT_STREQ(text, L"*first|second");
    w.send(WM_KILLFOCUS);
    EXPECT_EQ(w.focused, 0u);
    EXPECT_EQ(w.waitresult, 6);
    GetWindowTextW(line, text, 64);
    EXPECT_STREQ(text, L" first|second");
    hWndRunEdit = nullptr;
    DestroyWindow(line);
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    g_runlisttext.clear();
}

TEST(ScriptWindow, HotkeyNoticesAndClipboard)
{
    windowed w;
    HANDLE ev = w.waitevent;
    w.waitevent = nullptr;
    w.send(WM_HOTKEY, 133);
    EXPECT_EQ(w.hotkeypending, 1u) << "kept for the next wait";
    w.waitevent = ev;
    w.send(WM_HOTKEY, 134);
    EXPECT_FALSE(windowed::isset(ev)) << "other hotkey ids are not the script's";
    w.send(WM_HOTKEY, 133);
    EXPECT_EQ(w.hotkeypending, 0u);
    EXPECT_EQ(w.waitresult, 3);
    EXPECT_TRUE(windowed::fired(ev));

    w.send(WM_APP + 2, 77);
    EXPECT_EQ(w.vbret, 77) << "the ViewBox notice is what vbret reads";
    EXPECT_EQ(w.apppending, 1u) << "no input wait: the notice waits";
    w.waitinput = 1;
    w.send(WM_APP + 2, 78);
    EXPECT_EQ(w.apppending, 0u);
    EXPECT_EQ(w.waitresult, 7);

    w.send(WM_CLIPBOARDUPDATE);
    EXPECT_FALSE(windowed::isset(w.clipevent)) << "the monitor is not waiting";
    w.clipwaiting = 1;
    w.send(WM_CLIPBOARDUPDATE);
    EXPECT_EQ(w.clipresult, 1);
    EXPECT_TRUE(windowed::fired(w.clipevent));
}

TEST(ScriptWindow, TimersCloseTheirBoxesAndCloseDestroysTheWindow)
{
    windowed w;
    HWND box = CreateWindowExW(0, L"STATIC", L"Quorvel - MsgBox", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                               nullptr);
    w.msgboxtimer = 1;
    EXPECT_EQ(w.send(WM_TIMER, 203), 0);
    EXPECT_EQ(w.msgboxtimer, 0u);
    qtest::pump(50);
    EXPECT_FALSE(IsWindow(box)) << "the message box got WM_CLOSE";
    if (IsWindow(box))
        DestroyWindow(box);

    HWND wnd = w.scriptwnd;
    EXPECT_EQ(w.send(WM_CLOSE), 0);
    EXPECT_EQ(w.scriptwnd, nullptr);
    EXPECT_FALSE(IsWindow(wnd));
}

TEST(WaitEvents, EachIsUnnamedAndManualReset)
{
    HANDLE a = createwaitevent();
    HANDLE b = createwaitevent();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a, b);
    SetEvent(a);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0) << "stays set until reset";
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_TIMEOUT) << "events of two runs are apart";
    CloseHandle(a);
    CloseHandle(b);
}

namespace {

struct busyrun {
    HWND wnd = nullptr;
    volatile LONG ended = 0;
};

DWORD WINAPI busyloop(void* arg)
{
    auto* run = static_cast<busyrun*>(arg);
    windowed w;
    run->wnd = w.scriptwnd;
    qtest::codelist c;
    c.op(&ExeScr::jump_exec).i(0).op(nullptr);
    c.run(w);  // for ever, unless ESC gets through
    w.code = nullptr;
    InterlockedExchange(&run->ended, 1);
    return 0;
}

}  // namespace

TEST(ScriptWindow, EscapeReachesABusyLoop)
{
    busyrun run;
    HANDLE thread = CreateThread(nullptr, 0, busyloop, &run, 0, nullptr);
    while (!run.wnd)
        qtest::pump(5);
    qtest::pump(50);
    EXPECT_FALSE(run.ended);
    PostMessageW(run.wnd, WM_KEYDOWN, VK_ESCAPE, 0);
    for (int k = 0; k < 400 && !run.ended; ++k)
        qtest::pump(5);
    EXPECT_TRUE(run.ended) << "the loop never looked at its window";
    if (!run.ended)
        TerminateThread(thread, 0);
    WaitForSingleObject(thread, 2000);
    CloseHandle(thread);
}
