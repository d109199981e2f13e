#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "core/launchline.h"
#include "core/launchset.h"

using namespace host;

TEST(LaunchLine, TheScriptPathIsOneArgumentForTheNewInstance)
{
    const std::wstring p = launchparams(L"C:\\my scripts\\a b.tst", L"/quit /hide");
    EXPECT_EQ(p, L"\"C:\\my scripts\\a b.tst\" /quit /hide /prim");
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW((L"quorvel.exe " + p).c_str(), &argc);
    ASSERT_TRUE(argv);
    ASSERT_EQ(argc, 5);
    EXPECT_STREQ(argv[1], L"C:\\my scripts\\a b.tst");
    EXPECT_STREQ(argv[4], L"/prim");
    LocalFree(argv);
    EXPECT_EQ(launchparams(L"C:\\a.tst", L""), L"\"C:\\a.tst\"  /prim");
    EXPECT_EQ(launchparams(L"\"C:\\a.tst\"", L"/quit"), L"\"C:\\a.tst\" /quit /prim");
    EXPECT_TRUE(wantsquit(L"/quit /hide"));
    EXPECT_FALSE(wantsquit(L"/hide"));
}

TEST(LaunchSet, SlotsKeysAndPressedKeys)
{
    EXPECT_EQ(slotchar(0), L'0');
    EXPECT_EQ(slotchar(11), L'b');
    EXPECT_EQ(slotchar(35), L'z');
    EXPECT_EQ(slotkey(1, 11, 2), L"b2");
    EXPECT_EQ(slotkey(2, 3, 1), L"s_31");
    EXPECT_EQ(keyslot('B'), 11);
    EXPECT_EQ(keyslot('7'), 7);
    EXPECT_EQ(keyslot('Z'), 35);
    EXPECT_EQ(keyslot(VK_F1), -1);
}

TEST(LaunchSet, EntriesNeedAllThreeKeysOfTheirSet)
{
    iniimage ini;
    ini.loadtext(L"[script]\r\n01=One\r\n02=C:\\one.tst\r\n03=/quit\r\n"
                 L"b1=Bee\r\nb2=C:\\b.tst\r\nb3=\r\n"
                 L"21=NoOptions\r\n22=C:\\two.tst\r\n"
                 L"s_01=Second\r\ns_02=C:\\s.tst\r\ns_03=/hide\r\n"
                 L"[other]\r\n41=Four\r\n42=C:\\4.tst\r\n43=x\r\n"
                 L"[script]\r\n51=Later\r\n52=C:\\5.tst\r\n53=x\r\n");
    const std::vector<launchentry> one = loadlaunchset(ini, 1);
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[0].slot, 0);
    EXPECT_EQ(one[0].title, L"One");
    EXPECT_EQ(one[0].script, L"C:\\one.tst");
    EXPECT_EQ(one[0].options, L"/quit");
    EXPECT_EQ(one[1].slot, 11);
    EXPECT_EQ(one[1].options, L"");
    const std::vector<launchentry> two = loadlaunchset(ini, 2);
    ASSERT_EQ(two.size(), 1u);
    EXPECT_EQ(two[0].title, L"Second");
    EXPECT_TRUE(loadlaunchset(iniimage(), 1).empty());
}
