#include <gtest/gtest.h>

#include "core/enrolrows.h"
#include "core/residents.h"

using namespace host;

TEST(EnrolRows, LauncherRowsNeedEveryKeyAndAModifierInTheTable)
{
    iniimage ini;
    ini.loadtext(L"[hotkeylauncher]\r\n00_tn=T\r\n00_fs=C:\\a.tst\r\n00_op=/quit\r\n00_fsmod=3\r\n00_vk=F5\r\n"
                 L"01_tn=T\r\n01_fs=C:\\a.tst\r\n01_op=\r\n01_fsmod=3\r\n01_vk=F5\r\n"
                 L"02_tn=T\r\n02_fs=C:\\a.tst\r\n02_op=x\r\n02_fsmod=7\r\n02_vk=F5\r\n");
    const ehrowtext r = ehreadrow(ini, 0);
    EXPECT_EQ(r.title, L"T");
    EXPECT_EQ(r.options, L"/quit");
    EXPECT_EQ(r.mod, 3);
    EXPECT_EQ(r.key, L"F5");
    for (int row : {1, 2, 3}) {  // empty options, modifier 7, no keys at all
        const ehrowtext e = ehreadrow(ini, row);
        EXPECT_EQ(e.title, L"") << row;
        EXPECT_EQ(e.options, L"/quit /hide") << row;
        EXPECT_EQ(e.mod, 1) << row;
        EXPECT_EQ(e.key, L"") << row;
    }
}

TEST(EnrolRows, LauncherRowWrittenAndDeleted)
{
    iniimage ini;
    ehrowtext r;
    r.title = L"Title";
    r.script = L"C:\\s.tst";
    r.options = L"/quit /hide";
    r.mod = 0;
    r.key = L"Q";
    ehwriterow(ini, 7, r);
    std::wstring v;
    EXPECT_TRUE(ini.getinis(L"hotkeylauncher", L"07_fsmod", v));
    EXPECT_EQ(v, L"0");
    const ehrowtext back = ehreadrow(ini, 7);
    EXPECT_EQ(back.key, L"Q");
    EXPECT_EQ(back.mod, 0);
    ehdeleterow(ini, 7);
    EXPECT_FALSE(ini.getinis(L"hotkeylauncher", L"07_tn", v));
    EXPECT_FALSE(ini.getinis(L"hotkeylauncher", L"07_op", v));
}

TEST(EnrolRows, ResidentRowsSavedOrDeleted)
{
    iniimage ini;
    resrowtext r{L"Res", L"C:\\r.tst", false};
    const resrowtext shown = ressaverow(ini, 2, r);
    EXPECT_EQ(shown.title, L"Res");
    std::wstring v;
    ASSERT_TRUE(ini.getinis(L"resident", L"02_active", v));
    EXPECT_EQ(v, L"0");
    EXPECT_FALSE(resreadrow(ini, 2).active);
    const resrowtext gone = ressaverow(ini, 2, resrowtext{L"Res", L"", true});
    EXPECT_EQ(gone.title, L"");
    EXPECT_TRUE(gone.active);
    EXPECT_FALSE(ini.getinis(L"resident", L"02_tn", v));
}

TEST(EnrolRows, ScriptSlotsShowTitleWithoutScript)
{
    iniimage ini;
    ini.loadtext(L"[script]\r\n31=OnlyTitle\r\ns_41=Two\r\ns_42=C:\\two.tst\r\n");
    const esrowtext a = esreadrow(ini, 1, 3);
    EXPECT_EQ(a.title, L"OnlyTitle");
    EXPECT_EQ(a.script, L"");
    EXPECT_EQ(a.options, L"/quit /hide");
    const esrowtext b = esreadrow(ini, 2, 4);
    EXPECT_EQ(b.script, L"C:\\two.tst");
    EXPECT_EQ(b.options, L"");  // no options key: empty
    essaverow(ini, 2, 35, esrowtext{L"Zed", L"C:\\z.tst", L"/hide"});
    std::wstring v;
    ASSERT_TRUE(ini.getinis(L"script", L"s_z3", v));
    EXPECT_EQ(v, L"/hide");
    essaverow(ini, 1, 3, esrowtext{L"OnlyTitle", L"", L""});  // deleted
    EXPECT_FALSE(ini.getinis(L"script", L"31", v));
}

TEST(Residents, PresentNeedsAllThreeKeysAndOnlyZeroIsInactive)
{
    iniimage ini;
    ini.loadtext(L"[resident]\r\n00_tn=A\r\n00_fs=C:\\a.tst\r\n00_active=1\r\n"
                 L"01_tn=B\r\n01_fs=C:\\b.tst\r\n01_active=\r\n"
                 L"02_tn=C\r\n02_fs=C:\\c.tst\r\n02_active=0\r\n"
                 L"03_tn=D\r\n03_fs=C:\\d.tst\r\n");
    const auto r = loadresidents(ini);
    EXPECT_TRUE(r[0].present && r[0].active);
    EXPECT_TRUE(r[1].present && r[1].active);  // empty counts as active at start
    EXPECT_EQ(resreadrow(ini, 1).title, L"");  // while the window shows the row empty
    EXPECT_TRUE(r[2].present);
    EXPECT_FALSE(r[2].active);
    EXPECT_FALSE(r[3].present);
    EXPECT_EQ(r[0].script, L"C:\\a.tst");
}
