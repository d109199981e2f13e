// The master volume (Core Audio on the test's null sink), taskbar progress
// (accepted invisibly under Wine) and USB eject (tried only up to the
// configuration manager: nothing is ever ejected).
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <mmdeviceapi.h>
#include <endpointvolume.h>

#include <string>

#include "commands/syscommon.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "support/codelist.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

using qtest::hasline;
using qtest::runop;
using qtest::runscript;

namespace {


// The default output's mute state read directly, or -1 without one.
int mutestate()
{
    IMMDeviceEnumerator* devices = nullptr;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                reinterpret_cast<void**>(&devices))))
        return -1;
    int state = -1;
    IMMDevice* endpoint = nullptr;
    if (SUCCEEDED(devices->GetDefaultAudioEndpoint(eRender, eConsole, &endpoint))) {
        IAudioEndpointVolume* volume = nullptr;
        if (SUCCEEDED(endpoint->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                         reinterpret_cast<void**>(&volume)))) {
            BOOL muted = FALSE;
            if (SUCCEEDED(volume->GetMute(&muted)))
                state = muted ? 1 : 0;
            volume->Release();
        }
        endpoint->Release();
    }
    devices->Release();
    return state;
}

datdcell volumeop(ExeScr& e, int64_t code)
{
    runop(e, &ExeScr::mastervol_exec, code);
    return e.popd();
}

// A stand-in for the configuration manager's eject request: refuses the
// first `refusals` requests with a veto, then accepts.
int g_refusals = 0;
int g_requests = 0;
DWORD g_lastdevice = 0;
DWORD WINAPI fakeeject(DWORD devinst, int* vetotype, wchar_t* vetoname, ULONG namelength, ULONG)
{
    ++g_requests;
    g_lastdevice = devinst;
    if (g_requests <= g_refusals) {
        *vetotype = 6;
        wcsncpy(vetoname, L"STORAGE\\Volume", namelength);
        return 0x17;  // CR_REMOVE_VETOED
    }
    return 0;
}

}  // namespace

TEST(MasterVolume, ReadsTheDefaultOutput)
{
    if (!qtest::hasaudio())
        GTEST_SKIP() << "no audio server for Wine";
    ExeScr e;
    const datdcell level = volumeop(e, 1);
    EXPECT_EQ(level.isint, 0u) << "the level is a real";
    EXPECT_GE(level.d, 0.0);
    EXPECT_LE(level.d, 1.0);
    qtest::releaseall(e);
}

TEST(MasterVolume, SetRefusesLevelsOutsideZeroToOne)
{
    if (!qtest::hasaudio())
        GTEST_SKIP() << "no audio server for Wine";
    ExeScr e;
    const double now = volumeop(e, 1).d;
    for (double bad : {1.5, -0.25}) {
        e.pushdbl(bad);
        const datdcell r = volumeop(e, 0);
        EXPECT_EQ(r.isint, 1u);
        EXPECT_EQ(r.i, 0) << bad;
    }
    EXPECT_EQ(volumeop(e, 1).d, now) << "a refused level changes nothing";
    // Setting the level it has: 1 where the system sets volumes (Wine 8 does not).
    e.pushdbl(now);
    const datdcell r = volumeop(e, 0);
    EXPECT_TRUE(r.i == 0 || r.i == 1);
    EXPECT_EQ(volumeop(e, 1).d, now);
    qtest::releaseall(e);
}

TEST(MasterVolume, TwoMutesLeaveTheStateAsItWas)
{
    if (!qtest::hasaudio())
        GTEST_SKIP() << "no audio server for Wine";
    const int before = mutestate();
    ASSERT_GE(before, 0);
    ExeScr e;
    const datdcell first = volumeop(e, 2);
    EXPECT_EQ(first.isint, 1u);
    EXPECT_EQ(first.i, before) << "the state before the toggle";
    const datdcell second = volumeop(e, 2);
    const int between = mutestate();
    // Where the system cannot mute (Wine 8) the state stays; else it flips.
    EXPECT_EQ(second.i, between);
    EXPECT_EQ(mutestate(), before);
    qtest::releaseall(e);
}

TEST(MasterVolume, FrontEndChecksWordsAndCounts)
{
    EXPECT_NE(runscript(L"vol1", L"mastervol(set)\n").find(L"the number of argument mismatch."), std::wstring::npos);
    EXPECT_NE(runscript(L"vol2", L"mastervol(get, 1)\n").find(L"the number of argument mismatch."),
              std::wstring::npos);
    EXPECT_NE(runscript(L"vol3", L"mastervol(Get)\n").find(L"Not supported parameter."), std::wstring::npos);
    EXPECT_NE(runscript(L"vol4", L"mastervol( )\n").find(L"invalid name."), std::wstring::npos);
    if (qtest::hasaudio()) {
        EXPECT_EQ(runscript(L"vol6", L"printf(\"%D\\n\", mastervol(set, 1.5))\n"), L"0\n");
    }
}

TEST(TaskbarProgress, OpenValueAndClose)
{
    const std::wstring h = std::to_wstring(reinterpret_cast<intptr_t>(hWndp));
    const std::wstring log = runscript(L"setprog", L"setprog(value, 50)\n"
                                                   L"setprog(open, " + h + L")\n"
                                                   L"setprog(value, 101)\n"
                                                   L"setprog(value, -1)\n"
                                                   L"setprog(value, 100)\n"
                                                   L"setprog(open, 12345)\n"
                                                   L"setprog(value, 10)\n"
                                                   L"setprog(open, 0)\n"
                                                   L"setprog(value, 20)\n"
                                                   L"setprog(close)\n"
                                                   L"setprog(close)\n"
                                                   L"printf(\"end\\n\")\n");
    // A second "open" takes its window although it fails: with 0 the next
    // "value" has no window to go to.
    EXPECT_EQ(log, L"Not open state in setprog.\n"
                   L"ivalid value: 101 error.\n"
                   L"ivalid value: -1 error.\n"
                   L"Already opened error.\n"
                   L"Already opened error.\n"
                   L"Not open state in setprog.\n"
                   L"end\n");
}

TEST(TaskbarProgress, ASecondOpenTakesItsWindowAndTheRunEndReleases)
{
    ExeScr e;
    const auto first = static_cast<int64_t>(reinterpret_cast<intptr_t>(hWndp));
    e.pushint(first);
    runop(e, &ExeScr::setprog_exec, 0);
    ASSERT_NE(e.taskbar, nullptr) << "ITaskbarList3 answers under Wine too";
    ITaskbarList3* list = e.taskbar;
    e.pushint(12345);
    runop(e, &ExeScr::setprog_exec, 0);
    EXPECT_EQ(e.progwindow, 12345u) << "\"Already opened\" still takes the window";
    EXPECT_EQ(e.taskbar, list) << "and keeps the object";
    e.pushint(40);
    runop(e, &ExeScr::setprog_exec, 1);
    e.setprog_free();
    EXPECT_EQ(e.taskbar, nullptr);
    EXPECT_EQ(e.progwindow, 0u);
    e.setprog_free();  // a second release does nothing
    qtest::releaseall(e);
}

TEST(TaskbarProgress, FrontEndChecksWordsAndCounts)
{
    EXPECT_NE(runscript(L"prog1", L"setprog(close, 1)\n").find(L"the number of argument mismatch."),
              std::wstring::npos);
    EXPECT_NE(runscript(L"prog2", L"setprog(open)\n").find(L"the number of argument mismatch."), std::wstring::npos);
    EXPECT_NE(runscript(L"prog3", L"setprog(shut)\n").find(L"Not supported parameter."), std::wstring::npos);
}

TEST(UsbEject, RefusesWhatIsNoDrive)
{
    const std::wstring log = runscript(L"usbeject", L"printf(\"%D\\n\", usbeject(97))\n"
                                                    L"printf(\"%D\\n\", usbeject(64))\n"
                                                    L"printf(\"%D\\n\", usbeject(81.5))\n");
    EXPECT_EQ(log, L"Invalid drive letter.\n0\nInvalid drive letter.\n0\nfailed to access the volume.\n0\n")
        << "lower case is no drive letter; Q: is not mapped";
}

TEST(UsbEject, AFixedDiskWithoutADeviceInterfaceGivesZeroSilently)
{
    // Under Wine C: answers with a device number, and no disk interface
    // matches it: the request is never reached.
    if (!qtest::underwine())
        GTEST_SKIP() << "never tried against a real disk";
    const std::wstring log = runscript(L"usbejectc", L"printf(\"%D\\n\", usbeject(67))\n");
    EXPECT_TRUE(log == L"0\n" || log == L"get_device_number error.\n0\n") << qtest::narrow(log);
}

TEST(UsbEject, RequestIsRepeatedUntilAccepted)
{
    qtest::loggedengine e(L"usbrequest");
    g_refusals = 1;
    g_requests = 0;
    EXPECT_EQ(e.usbejectrequest(0x55, fakeeject), 1);
    EXPECT_EQ(g_requests, 2);
    EXPECT_EQ(g_lastdevice, 0x55u);
    e.closelog();
    const std::wstring log = e.contents();
    EXPECT_NE(log.find(L"Tyy:1: VetoType:6 VetoName:STORAGE\\Volume\r\n"), std::wstring::npos);
    EXPECT_NE(log.find(L"success at 2 try\r\n"), std::wstring::npos);
}


TEST(TaskbarProgress, ARunLeftOpenEndsCleanly)
{
    const std::wstring log = qtest::runfile(L"setprogrun", L"setprog(open, hwndmine())\n"
                                                           L"setprog(value, 30)\n"
                                                           L"printf(\"open\\n\")\n");
    EXPECT_NE(log.find(L"open\r\n"), std::wstring::npos) << qtest::narrow(log);
    EXPECT_NE(log.find(L"Quorvel end"), std::wstring::npos) << qtest::narrow(log);
    EXPECT_EQ(log.find(L"[box]"), std::wstring::npos) << qtest::narrow(log);
}
