#include <gtest/gtest.h>

#include <vector>

#include "core/runcheck.h"
#include "host/hostenv.h"

using host::runblocker;

namespace {

bool startswith(const std::wstring& s, const std::wstring& prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace

TEST(RunCheck, AScriptThatOpensAndALogThatCanBeMade)
{
    const std::wstring dir = htest::scratch(L"runcheck");
    CreateDirectoryW((dir + L"log").c_str(), nullptr);
    htest::writebytes(dir + L"a.tst", htest::utf16(L""));
    EXPECT_EQ(runblocker(dir, dir + L"a.tst"), L"");
    EXPECT_EQ(GetFileAttributesW((dir + L"log\\a.log").c_str()), INVALID_FILE_ATTRIBUTES) << "only a look";
    // An earlier log is left as it was.
    htest::writebytes(dir + L"log\\a.log", "earlier");
    EXPECT_EQ(runblocker(dir, dir + L"a.tst"), L"");
    EXPECT_EQ(htest::readbytes(dir + L"log\\a.log"), "earlier");
}

TEST(RunCheck, AScriptThatCannotBeOpenedStillRuns)
{
    // Its run writes "File open failed." into its own log and ends.
    const std::wstring dir = htest::scratch(L"runcheck");
    CreateDirectoryW((dir + L"log").c_str(), nullptr);
    EXPECT_EQ(runblocker(dir, dir + L"none.tst"), L"");
}

TEST(RunCheck, EveryLogNameHeldOrNoLogFolder)
{
    const std::wstring dir = htest::scratch(L"runcheck");
    htest::writebytes(dir + L"a.tst", htest::utf16(L""));
    std::wstring why = runblocker(dir, dir + L"a.tst");  // no "log" folder
    EXPECT_TRUE(startswith(why, L"Log file open failure.:" + dir + L"log\\a_99.log:")) << why;
    EXPECT_EQ(why.find_first_of(L"\r\n"), why.size() - 1) << "the system's text keeps a line end of its own";

    CreateDirectoryW((dir + L"log").c_str(), nullptr);
    std::vector<HANDLE> held;
    for (int n = 0; n <= 99; ++n) {
        wchar_t name[32];
        _snwprintf(name, 32, n ? L"a_%02d.log" : L"a.log", n);
        held.push_back(CreateFileW((dir + L"log\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                   nullptr));
        ASSERT_NE(held.back(), INVALID_HANDLE_VALUE) << n;
    }
    why = runblocker(dir, dir + L"a.tst");
    EXPECT_TRUE(startswith(why, L"Log file open failure.:" + dir + L"log\\a_99.log:")) << why;
    CloseHandle(held.back());
    held.pop_back();
    EXPECT_EQ(runblocker(dir, dir + L"a.tst"), L"") << "the last numbered name is free";
    for (HANDLE h : held)
        CloseHandle(h);
}
