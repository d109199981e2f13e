// The script's hotkey, "waittime", "sleep" / "sleepm" and the wake timer
// "wakes3s4". Each wait dispatches the script thread's messages, so that its
// window, boxes and timers keep working, and ends when the script is stopped.
#include <time.h>

#include <algorithm>
#include <cwchar>

#include "commands/powerseam.h"
#include "compiler/textscan.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/owners.h"
#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"

namespace {

// The stop routines wake only "waittime" (through its event); the other waits
// look at the stop request at least this often (milliseconds). Their own event
// could not stand in the wait event's place: the script window and the boxes
// would spend on it the hotkeys and notices kept for the next "waittime".
constexpr int32_t stoppoll = 20;

// Set on success with a wake request that the platform will not honour.
constexpr DWORD resumeignored = 722;  // ERROR_TIMER_RESUME_IGNORED

constexpr int64_t ticks = 10000000;   // 100-ns units in a second

struct tm localof(__time64_t t)
{
    struct tm lt = {};
    _localtime64_s(&lt, &t);
    return lt;
}

// The first letter of a word argument that is not a blank or tab.
wchar_t firstletter(wchar_t* text) { return *textscan::skipblank(text); }

}  // namespace

void ExeScr::setwaitevent(HANDLE ev)
{
    // The stop routines set the event from other threads under this lock, so
    // they never set a handle that is being closed.
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    waitevent = ev;
}

// ---- the hotkey

void ExeScr::registerhotkey_exec()
{
    const int32_t mods = cmdargs::toi32(popd());
    const int32_t vk = cmdargs::toi32(popd());
    if (hotkeyon == 1) {
        mylogmsgforced(L"Registered already.\n");
        pushint(0);
        return;
    }
    // The window logs a failure and keeps the system's text.
    if (!scriptwnd || !SendMessageW(scriptwnd, WM_APP, static_cast<WPARAM>(mods), static_cast<LPARAM>(vk))) {
        pushint(0);
        return;
    }
    hotkeyon = 1;
    hotkeypending = 0;
    pushint(1);
}

void ExeScr::unregisterhotkey_exec()
{
    if (hotkeyon != 1) {
        mylogmsgforced(L"Not registered.\n");
        pushint(0);
        return;
    }
    if (!scriptwnd || !SendMessageW(scriptwnd, WM_APP + 1, 0, 0)) {
        pushint(0);
        return;
    }
    hotkeyon = 0;
    pushint(1);
}

// ---- waittime

void ExeScr::waittime_exec()
{
    const uint64_t flags = ip->u;
    ++ip;
    int64_t deadline = 0;
    if (flags & 1) {
        deadline = cmdargs::toi64(popd());
    } else {
        const int32_t hour = cmdargs::toi32(popd());
        const int32_t minute = cmdargs::toi32(popd());
        const int32_t second = cmdargs::toi32(popd());
        struct tm today = localof(_time64(nullptr));
        today.tm_hour = hour;
        today.tm_min = minute;
        today.tm_sec = second;
        deadline = _mktime64(&today);
    }
    const bool input = (flags & 2) != 0;
    waitinput = input ? 1 : 0;
    if (input && keyqueueon())
        keydown = 1;
    waitresult = 0;

    if (deadline > 0 && static_cast<int32_t>(deadline - _time64(nullptr)) <= 0) {
        waitinput = 0;
        pushint(0);
        return;
    }
    // What arrived while nothing waited ends this wait at once.
    if (input && keycount > 0) {
        waitresult = 2;
    } else if (hotkeyon == 1 && hotkeypending == 1) {
        waitresult = 3;
        hotkeypending = 0;
    } else if (tbpending) {
        waitresult = 4;
        tbpending = 0;
    } else if (apppending) {
        waitresult = 7;
        apppending = 0;
    } else {
        owners::handle ev(createwaitevent());
        if (!ev.get())
            myerrexit(L"%s:%s", L"CreateEvent failed.", lasterrortext(GetLastError()).c_str());
        waitresult = 100;
        setwaitevent(ev.get());
        HANDLE h = ev.get();
        for (;;) {
            pollmessages();
            // Also covers a stop that came before the event was published.
            if (stopflag == 1)
                break;
            DWORD timeout = INFINITE;
            if (deadline > 0) {
                const int32_t d = static_cast<int32_t>(deadline - _time64(nullptr));
                if (d < 1) {
                    waitresult = d == 0 ? 1 : 0;
                    break;
                }
                timeout = d == 1 ? 100 : static_cast<DWORD>(d - 1) * 1000;
            }
            const DWORD r = msgwait(1, &h, timeout);
            if (r != WAIT_OBJECT_0 + 1 && r != WAIT_TIMEOUT)
                break;
        }
        setwaitevent(nullptr);
    }
    waitinput = 0;
    pushint(stopflag == 1 ? 0 : waitresult);
}

// ---- sleep and sleepm

void ExeScr::pumpfor(int32_t ms)
{
    const clock_t deadline = clock() + ms;
    for (;;) {
        pollmessages();
        const int32_t remaining = static_cast<int32_t>(deadline - clock());
        if (remaining < 1 || stopflag == 1)
            return;
        const DWORD r = MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min(remaining, stoppoll)),
                                                  QS_ALLINPUT);
        if (r == WAIT_FAILED)
            return;
    }
}

void ExeScr::sleep_exec()
{
    datdcell c = popd();
    // The span is 32 bits of milliseconds, as the clock it is measured with.
    if (c.isint) {
        pumpfor(static_cast<int32_t>(static_cast<uint64_t>(c.i) * 1000u));
        return;
    }
    c.d *= 1000.0;
    pumpfor(cmdargs::toi32(c));
}

void ExeScr::sleepm_exec()
{
    pumpfor(cmdargs::toi32(popd()));
}

// ---- the wake timer

void ExeScr::wakes3s4_exec()
{
    const uint64_t flags = ip->u;
    ++ip;
    const __time64_t now = _time64(nullptr);
    __time64_t resume = now;
    LARGE_INTEGER due;
    if (flags & 1) {
        const int32_t days = cmdargs::toi32(popd());
        const int32_t hour = cmdargs::toi32(popd());
        const int32_t minute = cmdargs::toi32(popd());
        const int32_t second = cmdargs::toi32(popd());
        const struct tm lt = localof(now);
        mylogverbose(L"currenttime:%dh:%dm:%ds ", lt.tm_hour, lt.tm_min, lt.tm_sec);
        SYSTEMTIME utc;
        GetSystemTime(&utc);
        if (days < 0) {
            mylogmsgforced(L"%s %d \n", L"Negative value of day.", days);
            stopflag = 1;
            return;
        }
        resume = now + static_cast<int64_t>(days) * 86400 + static_cast<int64_t>(hour - lt.tm_hour) * 3600 +
                 static_cast<int64_t>(minute - lt.tm_min) * 60 + (second - lt.tm_sec);
        if (resume - now < 60) {
            mylogmsgforced(L"%s \n", L"Not enough time buffer.  Less than 1 minute.");
            stopflag = 1;
            return;
        }
        FILETIME ft;
        SystemTimeToFileTime(&utc, &ft);
        due.LowPart = ft.dwLowDateTime;
        due.HighPart = static_cast<LONG>(ft.dwHighDateTime);
        due.QuadPart += (resume - now) * ticks;
        const struct tm at = localof(resume);
        mylogverbose(L"Resume at local time: %04d/%02d/%02d %02d:%02d:%02d \n", at.tm_year + 1900, at.tm_mon + 1,
                     at.tm_mday, at.tm_hour, at.tm_min, at.tm_sec);
    } else {
        const int32_t seconds = cmdargs::toi32(popd());
        if (seconds < 30) {
            mylogmsgforced(L"%s %d \n", L"Less time to wait.", seconds);
            stopflag = 1;
            return;
        }
        due.QuadPart = -(static_cast<int64_t>(seconds) * ticks);
        resume = now + seconds;
        mylogverbose(L"Relative time:%d \n", seconds);
    }

    // The box closes itself after 5 seconds (timer 202 of the script window)
    // and the wake-up goes ahead; only No cancels it.
    SetTimer(scriptwnd, 202, 5000, nullptr);
    const struct tm at = localof(resume);
    wchar_t text[256];
    _snwprintf(text, 256, L"Resume at :%d/%02d/%02d %02d:%02d:%02d.  This msg will be closed within 5sec.",
               at.tm_year + 1900, at.tm_mon + 1, at.tm_mday, at.tm_hour, at.tm_min, at.tm_sec);
    text[255] = 0;
    const int answer = MessageBoxW(hWndp, text, L"Quorvel wakes3s4", MB_YESNOCANCEL);
    // Answered in time: the timer must not close a later box.
    KillTimer(scriptwnd, 202);
    if (answer == IDNO) {
        mylogverbose(L"Canceled by user \n");
        return;
    }

    owners::handle timer(CreateWaitableTimerW(nullptr, FALSE, nullptr));
    if (!timer.get())
        myerrexit(L"CreateWaitableTimer failed (%d)", static_cast<int>(GetLastError()));
    SetLastError(0);
    if (!SetWaitableTimer(timer.get(), &due, 0, nullptr, nullptr, TRUE))
        myerrexit(L"SetWaitableTimer failed (%d)", static_cast<int>(GetLastError()));
    // Success may still mean that the timer will not wake a sleeping machine:
    // then say so, and do not put the machine to sleep.
    const DWORD armed = GetLastError();
    const bool wakes = armed != resumeignored && armed != ERROR_NOT_SUPPORTED;
    if (!wakes) {
        syserrtext = lasterrortext(armed);
        if (logon == 1)
            mylogmsgforced(L"%s (%d):%s: \n", L"The wake timer cannot wake the system.", static_cast<int>(armed),
                           syserrtext.c_str());
    }
    if (flags & 6) {
        if (!wakes) {
            if (logon == 1)
                mylogmsgforced(L"%s \n", flags & 2 ? L"Hibernate skipped." : L"Suspend skipped.");
        } else {
            shutdownprivonce();
            powerseam().setsystempowerstate((flags & 2) ? FALSE : TRUE, FALSE);
        }
    }

    HANDLE h = timer.get();
    for (;;) {
        pollmessages();
        if (stopflag == 1)
            break;
        const DWORD r = msgwait(1, &h, stoppoll);
        if (r == WAIT_OBJECT_0)
            break;
        if (r == WAIT_FAILED)
            myerrexit(L"MsgWaitForMultipleObjects failed:%s", lasterrortext(GetLastError()).c_str());
    }
    CancelWaitableTimer(h);
}

// ---- front ends

void ExeScr::registerhotkey_comp(wchar_t* args) { fixedargs_comp(args, "nn", &ExeScr::registerhotkey_exec); }

void ExeScr::waittime_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count != 2 && count != 4)
        comperr(L"the number of argument mismatch.");
    for (int32_t k = 1; k < count; ++k)
        nextnum(args);
    mypop();  // the form word, at offset 0
    const wchar_t* word = textscan::skipblank(args);
    uint64_t flags = 0;
    if (*word == L'c') {
        if (count != 4)
            comperr(L"the number of argument mismatch.");
    } else if (*word == L't') {
        if (count != 2)
            comperr(L"the number of argument mismatch.");
        flags = word[1] == L'i' ? 3 : 1;
    } else {
        comperr(L"Not supported parameter.");
    }
    emitcell(&ExeScr::waittime_exec);
    emitu64(flags);
}

void ExeScr::sleep_comp(wchar_t* args)
{
    argnum(args);
    emitcell(&ExeScr::sleep_exec);
}

void ExeScr::sleepm_comp(wchar_t* args)
{
    argnum(args);
    emitcell(&ExeScr::sleepm_exec);
}

void ExeScr::wakes3s4_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count != 3 && count != 6)
        comperr(L"the number of argument mismatch.");
    for (int32_t k = 2; k < count; ++k)
        nextnum(args);
    const wchar_t form = firstletter(args + mypop());
    mypop();  // the mode, at offset 0
    uint64_t flags = 0;
    if (form == L't') {
        if (count != 6)
            comperr(L"the number of argument mismatch.");
        flags = 1;
    } else if (form == L'r') {
        if (count != 3)
            comperr(L"the number of argument mismatch.");
    } else {
        comperr(L"Not supported parameter.");
    }
    const wchar_t mode = firstletter(args);
    if (mode == L'h')
        flags |= 2;
    else if (mode == L's')
        flags |= 4;
    emitcell(&ExeScr::wakes3s4_exec);
    emitu64(flags);
}
