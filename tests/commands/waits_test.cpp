// The script's hotkey, "waittime" with each of its results, "sleep" and
// "sleepm", how promptly they end when the script is stopped, and the wake
// timer (its platform calls; the machine's power state only through stand-ins).
#include <gtest/gtest.h>

#include <time.h>

#include <functional>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"
#include "support/codelist.h"
#include "support/inputdriver.h"
#include "support/powerstandin.h"
#include "support/scriptrun.h"
#include "support/testenv.h"
#include "support/windowedengine.h"

using qtest::popint;
using qtest::runoptions;
using qtest::waitfor;

namespace {

std::string run(const wchar_t* text, const runoptions& opts = runoptions{})
{
    return qtest::narrow(qtest::runscript(L"waits", text, opts));
}

runoptions windowed(std::function<void(ExeScr&)> during)
{
    runoptions opts;
    opts.window = true;
    opts.during = std::move(during);
    return opts;
}

// Runs one waittime with `flags` after pushing `args` (the last one on top).
int64_t waittime(ExeScr& e, uint64_t flags, std::initializer_list<int64_t> args)
{
    for (int64_t a : args)
        e.pushint(a);
    qtest::runop(e, &ExeScr::waittime_exec, static_cast<int64_t>(flags));
    return popint(e);
}

std::string compileerror(const wchar_t* text)
{
    return run(text);
}

}  // namespace

// ---- the hotkey

TEST(Hotkey, InjectedKeysEndAWaitAndRegisteringIsOnce)
{
    // Control+Shift+F9 is nobody else's here.
    const std::string log = run(L"printf(\"reg %D\\n\", registerhotkey(6, vk_f9))\r\n"
                                L"printf(\"again %D\\n\", registerhotkey(6, vk_f9))\r\n"
                                L"printf(\"wait %D\\n\", waittime(t, 0))\r\n"
                                L"printf(\"unreg %D\\n\", unregisterhotkey())\r\n"
                                L"printf(\"unreg %D\\n\", unregisterhotkey())\r\n",
                                windowed([](ExeScr& e) {
                                    ASSERT_TRUE(waitfor([&] { return e.waitresult == 100; }));
                                    qtest::typekeys({VK_F9}, MOD_CONTROL | MOD_SHIFT);
                                }));
    EXPECT_EQ(log, "reg 1\nRegistered already.\nagain 0\nwait 3\nunreg 1\nNot registered.\nunreg 0\n");
}

TEST(Hotkey, APressWhileBusyIsKeptForKbhitAndTheNextWait)
{
    const std::string log = run(L"kbhit()\r\n"
                                L"registerhotkey(6, vk_f9)\r\n"
                                L"t = clock()\r\n"
                                L"while (kbhit() == 0 && clock() - t < 5000) sleepm(5)\r\n"
                                L"printf(\"kbhit %D\\n\", kbhit())\r\n"
                                L"printf(\"wait %D\\n\", waittime(t, 0))\r\n"
                                L"unregisterhotkey()\r\n",
                                windowed([](ExeScr& e) {
                                    ASSERT_TRUE(waitfor([&] { return e.hotkeyon == 1 && e.keymode == 1; }));
                                    qtest::typekeys({VK_F9}, MOD_CONTROL | MOD_SHIFT);
                                }));
    EXPECT_EQ(log, "kbhit 1\nwait 3\n") << "a sleep must not spend the press";
}

TEST(Hotkey, ASecondScriptCannotTakeTheSameKey)
{
    qtest::scriptthread first;
    first.body = [](ExeScr& e) {
        e.pushint(VK_F10);
        e.pushint(MOD_CONTROL | MOD_SHIFT);
        e.registerhotkey_exec();
        EXPECT_EQ(popint(e), 1);
        // While the first holds it, a second window of the process asks.
        ExeScr other;
        qtest::openscriptwindow(other);
        other.logon = 0;
        other.pushint(VK_F10);
        other.pushint(MOD_CONTROL | MOD_SHIFT);
        other.registerhotkey_exec();
        EXPECT_EQ(popint(other), 0);
        EXPECT_EQ(other.hotkeyon, 0u);
        EXPECT_FALSE(other.syserrtext.empty()) << "the system's reason is kept";
        qtest::closescriptwindow(other);
        e.unregisterhotkey_exec();
        EXPECT_EQ(popint(e), 1);
        e.freedatd();
        other.freedatd();
    };
    ASSERT_TRUE(first.go([](ExeScr&) {}));
}

// ---- waittime

TEST(Waittime, PassedDeadlinesGiveZeroAtOnce)
{
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(run(L"printf(\"%D %D\\n\", waittime(t, 1), waittime(c, 0, 0, 0))\r\n"), "0 0\n");
    EXPECT_LT(GetTickCount64() - started, 1000u);
}

TEST(Waittime, ReachingTheDeadlineGivesOne)
{
    ExeScr e;
    const int64_t deadline = _time64(nullptr) + 1;
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(waittime(e, 1, {deadline}), 1);
    EXPECT_LT(GetTickCount64() - started, 1500u);
    EXPECT_GE(_time64(nullptr), deadline);
    EXPECT_EQ(e.waitevent, nullptr) << "the event is gone with the wait";
    e.freedatd();
}

TEST(Waittime, WhatArrivedBeforeEndsTheNextWaitAtOnce)
{
    ExeScr e;
    const int64_t later = _time64(nullptr) + 3600;
    e.hotkeyon = 1;
    e.hotkeypending = 1;
    e.tbpending = 1;
    e.apppending = 1;
    EXPECT_EQ(waittime(e, 1, {later}), 3);
    EXPECT_EQ(e.hotkeypending, 0u);
    EXPECT_EQ(waittime(e, 1, {later}), 4);
    EXPECT_EQ(waittime(e, 1, {later}), 7);
    EXPECT_EQ(e.tbpending | e.apppending, 0u);

    e.hotkeyon = 0;
    e.hotkeypending = 1;
    e.keymode = 1;
    e.keycount = 1;
    EXPECT_EQ(waittime(e, 3, {later}), 2) << "a buffered key ends an input-aware wait";
    EXPECT_EQ(e.waitinput, 0u);
    e.freedatd();
}

TEST(Waittime, TheInputFormSwitchesTheKeyQueueOnForKeyCodes)
{
    ExeScr e;
    e.keycount = 5;
    EXPECT_EQ(waittime(e, 3, {1}), 0);
    EXPECT_EQ(e.keymode, 1u);
    EXPECT_EQ(e.keydown, 1u);
    EXPECT_EQ(e.keycount, 0) << "emptied as it is switched on";
    e.keydown = 0;
    EXPECT_EQ(waittime(e, 3, {1}), 0);
    EXPECT_EQ(e.keydown, 0u) << "a queue already on keeps its mode";
    e.freedatd();
}

TEST(Waittime, AKeyTypedIntoTheWindowEndsTheInputForm)
{
    qtest::foregroundowner owner;
    // The focus comes during the sleep (gaining it would end the input wait too).
    const std::string log = run(L"sleepm(300)\r\n"
                                L"printf(\"wait %D\\n\", waittime(ti, 0))\r\n"
                                L"printf(\"key %D\\n\", getwmchar(1))\r\n"
                                L"printf(\"then %D\\n\", getwmchar(1))\r\n",
                                windowed([](ExeScr& e) {
                                    ASSERT_TRUE(qtest::focusscript(e));
                                    ASSERT_TRUE(waitfor([&] { return e.waitresult == 100; }));
                                    qtest::typekeys({'K'});
                                }));
    EXPECT_EQ(log, "wait 2\nkey 75\nthen 0\n");
}

// A queue left in character mode by getwmchar() keeps it through the input
// form, and a typed character ends that wait as a key code does.
TEST(Waittime, ACharacterEndsTheInputFormWhenTheQueueTakesCharacters)
{
    qtest::windowedengine e;
    e.keymode = 1;
    e.keydown = 0;
    PostMessageW(e.scriptwnd, WM_CHAR, 'k', 0);
    EXPECT_EQ(waittime(e, 3, {_time64(nullptr) + 5}), 2);
    EXPECT_EQ(e.keydown, 0u);
    EXPECT_EQ(e.keycount, 1);
    EXPECT_EQ(e.keyring[0], 'k');
    e.freedatd();
}

TEST(Waittime, EscapeStopsTheScriptAndTheWaitGivesZero)
{
    qtest::scriptthread t;
    int64_t result = -1;
    ULONGLONG sent = 0, ended = 0;
    t.body = [&](ExeScr& e) {
        result = waittime(e, 1, {0});
        ended = GetTickCount64();
        e.freedatd();
    };
    ASSERT_TRUE(t.go([&](ExeScr& e) {
        ASSERT_TRUE(waitfor([&] { return e.waitresult == 100; }));
        sent = GetTickCount64();
        PostMessageW(e.scriptwnd, WM_KEYDOWN, VK_ESCAPE, 0);
    }));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(t.e.stopflag, 1u);
    EXPECT_LT(ended - sent, 100u);
}

TEST(Waittime, FormsAndTheirCounts)
{
    EXPECT_EQ(qtest::compiledoperand(L"waittime(clock, 12, 0, 0)", &ExeScr::waittime_exec), 0);
    EXPECT_EQ(qtest::compiledoperand(L"waittime(  t, 5)", &ExeScr::waittime_exec), 1);
    EXPECT_EQ(qtest::compiledoperand(L"waittime(tx, 5)", &ExeScr::waittime_exec), 1);
    EXPECT_EQ(qtest::compiledoperand(L"waittime(time, 5)", &ExeScr::waittime_exec), 3) << "its second letter is an i";
    EXPECT_EQ(compileerror(L"waittime(c, 5)\r\n"), "Exiting... the number of argument mismatch. at line 1 \n");
    EXPECT_EQ(compileerror(L"waittime(t, 1, 2, 3)\r\n"), "Exiting... the number of argument mismatch. at line 1 \n");
    EXPECT_EQ(compileerror(L"waittime(t, 1, 2)\r\n"), "Exiting... the number of argument mismatch. at line 1 \n");
    EXPECT_EQ(compileerror(L"waittime(x, 5)\r\n"), "Exiting... Not supported parameter. at line 1 \n");
    EXPECT_EQ(compileerror(L"waittime( , 5)\r\n"), "Exiting... Not supported parameter. at line 1 \n");
}

// ---- sleep and sleepm

TEST(Sleep, SpansInSecondsAndMilliseconds)
{
    ExeScr e;
    ULONGLONG t0 = GetTickCount64();
    e.pushint(0);
    e.sleepm_exec();
    EXPECT_LT(GetTickCount64() - t0, 20u) << "sleepm 0 returns at once";
    t0 = GetTickCount64();
    e.pushdbl(0.15);
    e.sleep_exec();
    const ULONGLONG spent = GetTickCount64() - t0;
    EXPECT_GE(spent, 140u) << "0.15 s is 150 ms";
    EXPECT_LT(spent, 400u);
    t0 = GetTickCount64();
    e.pushint(-5);
    e.sleep_exec();
    EXPECT_LT(GetTickCount64() - t0, 20u);
    e.freedatd();
}

namespace {

bool alive(const std::wstring& path) { return queryexealive(path.c_str()) == 1; }

}  // namespace

TEST(Sleep, ClosureEndsSleepsAndWaitsWithin100ms)
{
    const wchar_t* bodies[] = {L"sleep(30)", L"sleepm(30000)", L"waittime(t, 0)", L"waittime(ti, 0)"};
    std::vector<std::wstring> paths;
    for (int k = 0; k < 4; ++k) {
        paths.push_back(qtest::scratchdir() + L"stopme" + std::to_wstring(k) + L".tst");
        qtest::writescript(paths.back(), (std::wstring(L"\"before\"\r\n") + bodies[k] + L"\r\n\"after\"\r\n").c_str());
        startMyExec(paths.back().c_str());
    }
    // Each is inside its wait once its first line is written and its code runs on.
    qtest::pump(300);
    for (const std::wstring& p : paths)
        ASSERT_TRUE(alive(p));

    struct watch {
        std::vector<std::wstring>* paths;
        ULONGLONG gone[4];
        volatile LONG quit;
    } w{&paths, {0, 0, 0, 0}, 0};
    HANDLE watcher = CreateThread(
        nullptr, 0,
        [](void* arg) -> DWORD {
            auto* w = static_cast<watch*>(arg);
            while (!w->quit) {
                for (size_t k = 0; k < 4; ++k)
                    if (!w->gone[k] && !alive((*w->paths)[k]))
                        w->gone[k] = GetTickCount64();
                Sleep(1);
            }
            return 0;
        },
        &w, 0, nullptr);
    const ULONGLONG stopped = GetTickCount64();
    EXPECT_EQ(mythreadclosure(), 1);
    qtest::pump(50);
    InterlockedExchange(&w.quit, 1);
    WaitForSingleObject(watcher, 2000);
    CloseHandle(watcher);
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_NE(w.gone[k], 0u) << qtest::narrow(bodies[k]) << " still runs";
        EXPECT_LT(w.gone[k] - stopped, 100u) << qtest::narrow(bodies[k]);
        const std::wstring log = qtest::readfile(qtest::scratchdir() + L"log\\stopme" + std::to_wstring(k) + L".log");
        EXPECT_EQ(log.find(L"after"), std::wstring::npos) << "stopped before its next line";
    }
}

// ---- the wake timer

namespace {

// The wake timer's confirmation box, shown by any thread, or null.
HWND findwakebox()
{
    HWND box = FindWindowW(L"#32770", L"Quorvel wakes3s4");
    return box && IsWindowVisible(box) ? box : nullptr;
}

std::wstring dialogtext(HWND box)
{
    return qtest::boxtext(box);
}

}  // namespace

TEST(WakeTimer, ShortSpansAndPastTimesStopTheScript)
{
    qtest::loggedengine e(L"wake");
    e.pushint(29);
    qtest::runop(e, &ExeScr::wakes3s4_exec, 4);
    EXPECT_EQ(e.stopflag, 1u);
    e.stopflag = 0;
    e.pushint(0);
    e.pushint(0);
    e.pushint(0);
    e.pushint(-1);
    qtest::runop(e, &ExeScr::wakes3s4_exec, 5);
    EXPECT_EQ(e.stopflag, 1u);
    e.stopflag = 0;
    // 59 seconds ahead, as hour, minute and second of today.
    struct tm at = {};
    const __time64_t soon = _time64(nullptr) + 59;
    _localtime64_s(&at, &soon);
    e.pushint(at.tm_sec);
    e.pushint(at.tm_min);
    e.pushint(at.tm_hour);
    e.pushint(0);
    qtest::runop(e, &ExeScr::wakes3s4_exec, 1);
    EXPECT_EQ(e.stopflag, 1u);
    e.closelog();
    const std::wstring log = e.contents();
    EXPECT_NE(log.find(L"Less time to wait. 29 \r\n"), std::wstring::npos);
    EXPECT_NE(log.find(L"Negative value of day. -1 \r\n"), std::wstring::npos);
    EXPECT_NE(log.find(L"Not enough time buffer.  Less than 1 minute. \r\n"), std::wstring::npos);
    EXPECT_EQ(e.datd.count(), 0) << "every argument was taken";
    EXPECT_EQ(findwakebox(), nullptr) << "nothing was asked";
    e.freedatd();
}

TEST(WakeTimer, NoAtTheBoxCancels)
{
    qtest::clearpowercalls();
    qtest::scriptthread t;
    std::wstring text;
    t.body = [](ExeScr& e) {
        qtest::threadowner owner;
        e.pushint(30);
        qtest::runop(e, &ExeScr::wakes3s4_exec, 4);
    };
    ASSERT_TRUE(t.go([&](ExeScr&) {
        HWND box = nullptr;
        ASSERT_TRUE(waitfor([&] { return (box = findwakebox()) != nullptr; }));
        text = dialogtext(box);
        PostMessageW(box, WM_COMMAND, IDNO, 0);
    }));
    EXPECT_EQ(text.rfind(L"Resume at :", 0), 0u) << qtest::narrow(text);
    EXPECT_NE(text.find(L".  This msg will be closed within 5sec."), std::wstring::npos);
    EXPECT_EQ(t.log(), "Relative time:30 \nCanceled by user \n");
    EXPECT_TRUE(qtest::powercalls().empty());
}

TEST(WakeTimer, TheTimerSaysWhetherItCanWakeAndStopEndsTheWait)
{
    qtest::clearpowercalls();
    qtest::scriptthread t;
    ULONGLONG stopped = 0, ended = 0;
    t.body = [&](ExeScr& e) {
        qtest::threadowner owner;
        e.pushint(30);
        qtest::runop(e, &ExeScr::wakes3s4_exec, 4);  // relative, then suspend
        ended = GetTickCount64();
    };
    ASSERT_TRUE(t.go([&](ExeScr& e) {
        HWND box = nullptr;
        ASSERT_TRUE(waitfor([&] { return (box = findwakebox()) != nullptr; }));
        PostMessageW(box, WM_COMMAND, IDYES, 0);
        ASSERT_TRUE(waitfor([] { return findwakebox() == nullptr; }));
        qtest::pump(100);
        stopped = GetTickCount64();
        e.stopflag = 1;  // from another thread, as the stop routines set it
    }));
    EXPECT_LT(ended - stopped, 100u);
    const std::string log = t.log();
    if (log.find("cannot wake") != std::string::npos) {
        // Wine arms the timer but ignores the wake request (722): the machine
        // must then not be put to sleep.
        EXPECT_NE(log.find("The wake timer cannot wake the system. ("), std::string::npos) << log;
        EXPECT_NE(log.find("Suspend skipped. \n"), std::string::npos) << log;
        EXPECT_TRUE(qtest::powercalls().empty());
        EXPECT_FALSE(t.e.syserrtext.empty() && log.find("(722)") == std::string::npos);
    } else {
        ASSERT_EQ(qtest::powercalls().size(), 1u) << log;
        EXPECT_EQ(qtest::powercalls()[0].what, qtest::powercall::powerstate);
        EXPECT_EQ(qtest::powercalls()[0].first, TRUE) << "suspend";
        EXPECT_EQ(t.e.shutdownpriv, 1u);
    }
}

TEST(WakeTimer, Forms)
{
    EXPECT_EQ(qtest::compiledoperand(L"wakes3s4(none, r, 30)", &ExeScr::wakes3s4_exec), 0);
    EXPECT_EQ(qtest::compiledoperand(L"wakes3s4(hibernate, rel, 30)", &ExeScr::wakes3s4_exec), 2);
    EXPECT_EQ(qtest::compiledoperand(L"wakes3s4( s, t, 0, 1, 2, 3)", &ExeScr::wakes3s4_exec), 5);
    EXPECT_EQ(compileerror(L"wakes3s4(s, t, 30)\r\n"), "Exiting... the number of argument mismatch. at line 1 \n");
    EXPECT_EQ(compileerror(L"wakes3s4(s, r, 0, 1, 2, 3)\r\n"),
              "Exiting... the number of argument mismatch. at line 1 \n");
    EXPECT_EQ(compileerror(L"wakes3s4(s, x, 30)\r\n"), "Exiting... Not supported parameter. at line 1 \n");
    EXPECT_EQ(compileerror(L"wakes3s4(s, 30)\r\n"), "Exiting... the number of argument mismatch. at line 1 \n");
}

// The one wait that every engine wait uses: a set handle, a message in the
// queue and the time-out each end it with their own result, whatever message
// classes the system takes.
TEST(Msgwait, HandlesMessagesAndTimeOutsEachEndTheWait)
{
    HANDLE ev[2] = {CreateEventW(nullptr, TRUE, FALSE, nullptr), CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ASSERT_TRUE(ev[0] && ev[1]);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    EXPECT_EQ(msgwait(2, ev, 30), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(ev[1]);
    EXPECT_EQ(msgwait(2, ev, 1000), static_cast<DWORD>(WAIT_OBJECT_0 + 1));
    ResetEvent(ev[1]);
    PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
    EXPECT_EQ(msgwait(2, ev, 1000), static_cast<DWORD>(WAIT_OBJECT_0 + 2)) << "a posted message";
    EXPECT_EQ(msgwait(0, nullptr, 1000), static_cast<DWORD>(WAIT_OBJECT_0)) << "still waiting: input available";
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    EXPECT_EQ(msgwait(0, nullptr, 20), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(ev[0]);
    CloseHandle(ev[1]);
}
