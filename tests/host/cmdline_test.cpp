#include <gtest/gtest.h>

#include "core/cmdline.h"

using host::parsecmdline;

TEST(CommandLine, ScriptIsArgumentOneEvenWhenItIsASwitch)
{
    const auto c = parsecmdline({L"quorvel.exe", L"/min"}, L"C:\\work\\");
    EXPECT_TRUE(c.scriptgiven);
    EXPECT_EQ(c.script, L"C:\\work\\/min");
    EXPECT_TRUE(c.min);  // and it still counts as the switch
}

TEST(CommandLine, RelativeScriptJoinsCurrentFolderAndPathWithBackslashIsKept)
{
    EXPECT_EQ(parsecmdline({L"q", L"a.tst"}, L"C:\\w\\").script, L"C:\\w\\a.tst");
    EXPECT_EQ(parsecmdline({L"q", L"D:\\s\\a.tst"}, L"C:\\w\\").script, L"D:\\s\\a.tst");
    EXPECT_EQ(parsecmdline({L"q", L"sub\\a.tst"}, L"C:\\w\\").script, L"sub\\a.tst");
}

TEST(CommandLine, SwitchesAnywhereExactAndCaseSensitive)
{
    const auto c = parsecmdline({L"q", L"a.tst", L"x", L"/hide", L"/QUIT", L"/nolog", L"/prim", L"/min "},
                                L"C:\\");
    EXPECT_TRUE(c.hide);
    EXPECT_TRUE(c.nolog);
    EXPECT_TRUE(c.prim);
    EXPECT_FALSE(c.quit);
    EXPECT_FALSE(c.min);
    EXPECT_EQ(c.args.size(), 8u);  // every argument is passed on, the program name included
    EXPECT_EQ(c.args[3], L"/hide");
}

TEST(CommandLine, ProgramAloneGivesNoScript)
{
    const auto c = parsecmdline({L"quorvel.exe"}, L"C:\\");
    EXPECT_FALSE(c.scriptgiven);
    EXPECT_TRUE(c.script.empty());
    EXPECT_EQ(c.args.size(), 1u);
}

TEST(CommandLine, AbsolutePathsWithForwardSlashesAreKept)
{
    EXPECT_EQ(parsecmdline({L"q", L"C:/jobs/a.tst"}, L"C:\\w\\").script, L"C:/jobs/a.tst");
    EXPECT_EQ(parsecmdline({L"q", L"d:/a.tst"}, L"C:\\w\\").script, L"d:/a.tst");
    EXPECT_EQ(parsecmdline({L"q", L"/jobs/a.tst"}, L"C:\\w\\").script, L"/jobs/a.tst");
    EXPECT_EQ(parsecmdline({L"q", L"//server/s/a.tst"}, L"C:\\w\\").script, L"//server/s/a.tst");
    EXPECT_EQ(parsecmdline({L"q", L"C:a.tst"}, L"C:\\w\\").script, L"C:a.tst");
    // Relative ones still join the current folder, whichever slash they use.
    EXPECT_EQ(parsecmdline({L"q", L"sub/a.tst"}, L"C:\\w\\").script, L"C:\\w\\sub/a.tst");
    EXPECT_EQ(parsecmdline({L"q", L"1:a.tst"}, L"C:\\w\\").script, L"C:\\w\\1:a.tst");
    EXPECT_FALSE(host::isabsolutepath(L""));
    EXPECT_FALSE(host::isabsolutepath(L"C"));
}
