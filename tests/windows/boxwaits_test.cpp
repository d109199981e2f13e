// Box waits: the event's lock, the host's closing waking every wait, two
// scripts that never wake each other, the run's end closing what a script
// left open, and the monitor under the cursor.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <process.h>

#include <mutex>
#include <string>

#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"
#include "support/testenv.h"
#include "windows/boxdriver.h"

using qtest::boxscript;

TEST(BoxEvent, SetsOnlyWhileArmed)
{
    boxevent ev;
    EXPECT_FALSE(ev.set()) << "no wait armed: nothing to set";
    HANDLE h = ev.arm();
    ASSERT_NE(h, nullptr);
    int filled = 0;
    EXPECT_TRUE(ev.setwith([&] { filled = 1; }));
    EXPECT_EQ(filled, 1);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
    ev.disarm();
    EXPECT_FALSE(ev.armed());
    EXPECT_FALSE(ev.setwith([&] { filled = 2; }));
    EXPECT_EQ(filled, 1) << "results are not written after the wait ended";
}

namespace {

struct waiter {
    ExeScr* e;
    boxevent* ev;
    volatile LONG done = 0;
    static unsigned __stdcall proc(void* arg)
    {
        auto* w = static_cast<waiter*>(arg);
        w->ev->arm();
        w->e->boxwait(*w->ev);
        w->ev->disarm();
        InterlockedExchange(&w->done, 1);
        return 0;
    }
};

// Watches the run of `path` from another thread: the moment its box wait
// ended (the wait left, or the run left the run list). A stop must end the
// wait within 100 ms; the run's end that follows (closing its boxes, joining
// their threads) takes what the machine gives it.
struct waitend {
    std::wstring path;
    volatile LONG quit = 0;
    ULONGLONG at = 0;
    HANDLE thread = nullptr;

    explicit waitend(std::wstring p) : path(std::move(p))
    {
        thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, proc, this, 0, nullptr));
    }
    ~waitend()
    {
        InterlockedExchange(&quit, 1);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
    bool waiting()
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        for (const listedrun& r : runlist)
            if (r.path == path && r.parent == nullptr)
                return r.exe->boxwaiting != nullptr;
        return false;
    }
    static unsigned __stdcall proc(void* arg)
    {
        auto* w = static_cast<waitend*>(arg);
        while (!w->quit && w->waiting())
            Sleep(1);
        w->at = GetTickCount64();
        return 0;
    }
    // When the wait ended, once it has (or 0 after `ms`).
    ULONGLONG ended(DWORD ms)
    {
        qtest::pumpuntil([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, ms);
        return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0 ? at : 0;
    }
};

}  // namespace

TEST(BoxWait, TheHostsClosingEndsTheWaitAndEveryLaterOne)
{
    ExeScr e;
    boxevent ev;
    waiter w{&e, &ev};
    HANDLE t = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, waiter::proc, &w, 0, nullptr));
    ASSERT_TRUE(qtest::pumpuntil([&] { return e.boxwaiting != nullptr; }, 5000));
    EXPECT_EQ(WaitForSingleObject(t, 100), static_cast<DWORD>(WAIT_TIMEOUT)) << "only its event ends it";
    e.wakeboxwaits();
    EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
    CloseHandle(t);
    EXPECT_EQ(e.boxwaiting, nullptr);
    // A wait begun afterwards ends at once.
    ev.arm();
    const ULONGLONG started = GetTickCount64();
    e.boxwait(ev);
    ev.disarm();
    EXPECT_LT(GetTickCount64() - started, 1000u);
}

TEST(BoxWait, MonitorUnderTheCursor)
{
    SetCursorPos(50, 60);
    ExeScr e;
    RECT r;
    EXPECT_EQ(e.cursormonitorrect(&r), &r);
    const LONG w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(r.left, w >> 1);
    EXPECT_EQ(r.top, h >> 1);
    EXPECT_EQ(r.right, w);
    EXPECT_EQ(r.bottom, h);
}

namespace {

const wchar_t* waitingscript = LR"(main
{
    tvbox(open, 10, 10, 200, 200)
    tvbox(tvi, 0, "only")
    printf("sel %d\n", tvbox(sel) != 0)
}
)";

HTREEITEM firstitem(HWND tree)
{
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
}

}  // namespace

TEST(BoxWait, TwoScriptsNeverWakeEachOther)
{
    boxscript a(L"twoa", waitingscript);
    ASSERT_TRUE(a.inboxwait(qtest::inchoice));
    boxscript b(L"twob", waitingscript);
    ASSERT_TRUE(b.inboxwait(qtest::inchoice));
    HWND boxa = a.engine()->tvboxwnd;
    HWND boxb = b.engine()->tvboxwnd;
    ASSERT_NE(boxa, boxb);
    HWND treeb = qtest::findchild(boxb, WC_TREEVIEWW);
    SendMessageW(treeb, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(firstitem(treeb)));
    ASSERT_TRUE(b.ended());
    EXPECT_EQ(b.lines(), std::vector<std::wstring>{L"sel 1"});
    qtest::pump(200);
    EXPECT_TRUE(a.alive()) << "the other script still waits";
    EXPECT_TRUE(a.lines().empty());
    HWND treea = qtest::findchild(boxa, WC_TREEVIEWW);
    SendMessageW(treea, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(firstitem(treea)));
    ASSERT_TRUE(a.ended());
    EXPECT_EQ(a.lines(), std::vector<std::wstring>{L"sel 1"});
}

TEST(BoxWait, TheHostsClosingWakesEveryBoxWait)
{
    boxscript tv(L"closetv", waitingscript);
    boxscript gp(L"closegp", LR"(main
{
    gpbox(open, 10, 10, 200, 100)
    printf("comp %d\n", gpbox(comp))
}
)");
    ASSERT_TRUE(tv.inboxwait(qtest::inchoice));
    ASSERT_TRUE(gp.inboxwait(qtest::incomp));
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(mythreadclosure(), 1);
    EXPECT_LT(GetTickCount64() - started, 4000u) << "the run list emptied";
    EXPECT_FALSE(tv.alive());
    EXPECT_FALSE(gp.alive());
    EXPECT_EQ(qtest::findwindow(L"quorvel.treeview"), nullptr);
    EXPECT_EQ(qtest::findwindow(L"quorvel.gpbox"), nullptr);
}

TEST(BoxWait, TheRunsEndClosesEveryBoxLeftOpen)
{
    const int closes = qtest::closecount();
    boxscript s(L"leftopen", LR"(main
{
    infobox(one, open, 0, 0, 100, 100)
    infobox(two, open, 0, 120, 100, 100)
    infobox(two, msgadd)
    tvbox(font, "", 14)
    tvbox(open, 120, 0, 100, 100)
    gpbox(open, 240, 0, 100, 100)
    gpbox(combt, v)
    printf("left\n")
}
)");
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.lines(), std::vector<std::wstring>{L"left"}) << "no leak and no stack report";
    for (const wchar_t* cls : {L"quorvel.infobox", L"quorvel.treeview", L"quorvel.gpbox"})
        EXPECT_EQ(qtest::findwindow(cls), nullptr) << cls;
    EXPECT_EQ(qtest::closecount(), closes) << "no fatal error closed the host";
}

TEST(BoxWait, TheScriptWindowIsHeardDuringABoxWait)
{
    boxscript s(L"heard", LR"(main
{
    infobox(ib, open, 0, 0, 100, 100)
    tvbox(open, 120, 0, 100, 100)
    s = tvbox(sel)
    printf("not reached\n")
}
)");
    ASSERT_TRUE(s.inboxwait(qtest::inchoice));
    HWND info = qtest::findwindow(L"quorvel.infobox");
    ASSERT_NE(info, nullptr);
    // The InfoBox hands its keys to the script window: ESC stops the run,
    // and its box wait ends with it (within 100 ms, as a stop must).
    waitend watch(s.path);
    const ULONGLONG sent = GetTickCount64();
    PostMessageW(info, WM_KEYDOWN, VK_ESCAPE, 0);
    const ULONGLONG ended = watch.ended(2000);
    ASSERT_NE(ended, 0u);
    EXPECT_LT(ended - sent, 100u);
    ASSERT_TRUE(s.ended(2000));
    EXPECT_TRUE(s.lines().empty()) << "stopped before its next line";
    EXPECT_EQ(qtest::findwindow(L"quorvel.treeview"), nullptr) << "the run's end closed the box";
}

// How soon a stop ends a box wait: mythreadclosure (and ESC, above) within 100 ms.
TEST(StopLatency, ClosureEndsABoxWaitWithin100ms)
{
    boxscript tv(L"latencytv", waitingscript);
    ASSERT_TRUE(tv.inboxwait(qtest::inchoice));
    waitend watch(tv.path);
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(mythreadclosure(), 1);
    EXPECT_FALSE(tv.alive()) << "it returned once the run had ended";
    const ULONGLONG ended = watch.ended(2000);
    ASSERT_NE(ended, 0u);
    EXPECT_LT(ended - started, 100u);
}
