#include <gtest/gtest.h>

#include "core/formats.h"

using namespace host;

TEST(Title, ScriptAndRunsElsewhere)
{
    EXPECT_EQ(titletext(L"QUORVEL", L"C:\\s\\a.tst", {L"b", L"c"}, false), L" QUORVEL - [C:\\s\\a.tst][Run:b:c]");
    EXPECT_EQ(titletext(L"QUORVEL (HotKey:None)", L"", {}, false), L" QUORVEL (HotKey:None) - []");
    EXPECT_EQ(titletext(L"QUORVEL", L"x", {}, true), L"*QUORVEL - [x]");
}

TEST(Names, BaseNameAndTabLabel)
{
    EXPECT_EQ(scriptbasename(L"C:\\s\\x.y.tst"), L"x.y");
    EXPECT_EQ(scriptbasename(L"noext"), L"noext");
    EXPECT_EQ(scriptbasename(L"C:\\a.b\\c"), L"c");
    EXPECT_EQ(tablabel(L"C:\\s\\a.tst", false), L" a");
    EXPECT_EQ(tablabel(L"C:\\s\\a.tst", true), L"*a");
}

TEST(EndReport, OnlyDwDataZeroAndTextBoundedByItsSize)
{
    wchar_t text[] = L"C:\\s\\x.tst";
    COPYDATASTRUCT cds = {0, sizeof text, text};
    std::wstring path;
    ASSERT_TRUE(copydatapath(&cds, path));
    EXPECT_EQ(path, L"C:\\s\\x.tst");

    cds.dwData = 1;
    EXPECT_FALSE(copydatapath(&cds, path));

    // No terminating zero inside cbData: the text stops at cbData.
    wchar_t unterminated[4] = {L'a', L'b', L'c', L'd'};
    cds = {0, 3 * sizeof(wchar_t) + 1, unterminated};
    ASSERT_TRUE(copydatapath(&cds, path));
    EXPECT_EQ(path, L"abc");

    cds = {0, 1, unterminated};
    EXPECT_FALSE(copydatapath(&cds, path));
    cds = {0, 8, nullptr};
    EXPECT_FALSE(copydatapath(&cds, path));
    EXPECT_FALSE(copydatapath(nullptr, path));
}

TEST(RemoteRuns, EveryEqualEntryGoesAndEmptyNameDoesNothing)
{
    std::vector<std::wstring> runs = {L"x", L"b", L"x", L"X"};
    delremoterun(runs, L"x");
    EXPECT_EQ(runs, (std::vector<std::wstring>{L"b", L"X"}));
    delremoterun(runs, L"");
    EXPECT_EQ(runs.size(), 2u);
}

TEST(Names, ForwardSlashPaths)
{
    EXPECT_EQ(scriptbasename(L"C:/jobs/a.b/run.v2.tst"), L"run.v2");
    EXPECT_EQ(tablabel(L"C:/jobs/x.tst", false), L" x");
}
