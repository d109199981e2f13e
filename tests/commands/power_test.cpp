// "shutdown": the words matched at compile time, and what each asks of the
// platform. Every power call here reaches the test binary's stand-ins; none
// reaches the machine.
#include <gtest/gtest.h>

#include "runtime/exescr.h"
#include "support/codelist.h"
#include "support/powerstandin.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

using qtest::powercall;

namespace {

std::string run(const std::wstring& text) { return qtest::narrow(qtest::runscript(L"power", text)); }

// The code that "shutdown" with this argument text pushes.
int64_t codeof(const std::wstring& args)
{
    return qtest::compiledoperand(L"shutdown(" + args + L")", &ExeScr::pushint_exec);
}

}  // namespace

TEST(Shutdown, WordsMatchByTheirOwnLengthInTableOrder)
{
    EXPECT_EQ(codeof(L"suspend"), 0);
    EXPECT_EQ(codeof(L"hibernate"), 1);
    EXPECT_EQ(codeof(L" \treboot"), 2);
    EXPECT_EQ(codeof(L"shutdown"), 3);
    EXPECT_EQ(codeof(L"forcereboot"), 4);
    EXPECT_EQ(codeof(L"forceshudown"), 5) << "spelt without its t";
    EXPECT_EQ(codeof(L"preventsuspend"), 6);
    EXPECT_EQ(codeof(L"monitor_low"), 7);
    EXPECT_EQ(codeof(L"monitor_off"), 8);
    EXPECT_EQ(codeof(L"rebootnow"), 2) << "extra letters behind a word";
    EXPECT_EQ(codeof(L"monitor_offline"), 8);
    EXPECT_EQ(codeof(L"suspend, 5"), 0) << "the text is not split";
    for (const wchar_t* bad : {L"forceshutdown", L"Reboot", L"reboo", L"", L"monitor"})
        EXPECT_EQ(run(std::wstring(L"shutdown(") + bad + L")\r\n"), "Exiting... Not supported parameter. at line 1 \n")
            << qtest::narrow(bad);
}

TEST(Shutdown, EachWordMakesItsCallOnceThePrivilegeIsHeld)
{
    qtest::clearpowercalls();
    EXPECT_EQ(run(L"shutdown(suspend)\r\nshutdown(hibernate)\r\nshutdown(reboot)\r\nshutdown(shutdown)\r\n"
                  L"shutdown(forcereboot)\r\nshutdown(forceshudown)\r\nshutdown(monitor_low)\r\n"
                  L"shutdown(monitor_off)\r\nshutdown(reboot)\r\n\"done\"\r\n"),
              "\tdone\n");
    const std::vector<powercall> got = qtest::powercalls();
    const powercall want[] = {
        {powercall::powerstate, TRUE, FALSE},  {powercall::powerstate, FALSE, FALSE},
        {powercall::exitwindows, EWX_REBOOT, 0}, {powercall::exitwindows, EWX_POWEROFF, 0},
        {powercall::exitwindows, EWX_REBOOT | EWX_FORCE, 0},
        {powercall::exitwindows, EWX_POWEROFF | EWX_FORCE, 0},
        {powercall::monitorpower, 1, 0},        {powercall::monitorpower, 2, 0},
        {powercall::exitwindows, EWX_REBOOT, 0},
    };
    ASSERT_EQ(got.size(), std::size(want));
    for (size_t k = 0; k < got.size(); ++k) {
        EXPECT_EQ(got[k].what, want[k].what) << k;
        EXPECT_EQ(got[k].first, want[k].first) << k;
        EXPECT_EQ(got[k].second, want[k].second) << k;
    }
}

TEST(Shutdown, ThePrivilegeIsKeptAndUnknownCodesDoNothing)
{
    qtest::clearpowercalls();
    ExeScr e;
    EXPECT_EQ(e.shutdownpriv, 0u);
    e.pushint(2);
    e.shutdown_exec();
    EXPECT_EQ(e.shutdownpriv, 1u) << "held from now on: not asked for again";
    e.pushint(9);
    e.shutdown_exec();
    e.pushint(-1);
    e.shutdown_exec();
    EXPECT_EQ(qtest::powercalls().size(), 1u);
    EXPECT_EQ(e.datd.count(), 0) << "shutdown pushes nothing";
    e.freedatd();
}

TEST(Shutdown, PreventsuspendNeedsNoPrivilegeAndLogsItsOutcome)
{
    qtest::clearpowercalls();
    EXPECT_EQ(run(L"shutdown(preventsuspend)\r\n"), "SetThreadExecutionState success \n");
    EXPECT_TRUE(qtest::powercalls().empty());
    ExeScr e;
    e.pushint(6);
    e.shutdown_exec();
    EXPECT_EQ(e.shutdownpriv, 0u);
    SetThreadExecutionState(ES_CONTINUOUS);
    e.freedatd();
}
