#include <gtest/gtest.h>

#include "core/recent.h"

using namespace host;

TEST(Recent, LoadStopsAtTheFirstMissingKey)
{
    iniimage ini;
    ini.setinis(L"main", L"scrfid_00", L"a");
    ini.setinis(L"main", L"scrfid_01", L"b");
    ini.setinis(L"main", L"scrfid_03", L"d");
    recentlist r;
    r.loadrecent(ini);
    ASSERT_EQ(r.count(), 2);
    EXPECT_EQ(r.at(0), L"a");
    EXPECT_EQ(r.at(1), L"b");
}

TEST(Recent, OpeningMovesAPathFirstAndTheThirtyFirstDropsTheOldest)
{
    iniimage ini;
    recentlist r;
    const auto open = [&](const std::wstring& p) {
        r.loadrecent(ini);
        r.delrecent(p);
        r.addrecent(p);
        r.saverecent(ini);
    };
    for (int i = 0; i < 30; ++i)
        open(L"p" + std::to_wstring(i));
    open(L"p5");
    std::wstring v;
    ASSERT_TRUE(ini.getinis(L"main", L"scrfid_00", v));
    EXPECT_EQ(v, L"p5");
    ASSERT_TRUE(ini.getinis(L"main", L"scrfid_01", v));
    EXPECT_EQ(v, L"p29");
    ASSERT_TRUE(ini.getinis(L"main", L"scrfid_29", v));
    EXPECT_EQ(v, L"p0");

    open(L"new");
    r.loadrecent(ini);
    ASSERT_EQ(r.count(), 30);
    EXPECT_EQ(r.at(0), L"new");
    EXPECT_EQ(r.at(1), L"p5");
    EXPECT_EQ(r.at(29), L"p1");  // p0 dropped
    for (int i = 0; i < 30; ++i)
        for (int j = i + 1; j < 30; ++j)
            EXPECT_NE(r.at(i), r.at(j));
}

TEST(Recent, DeleteAcrossTheRingWrap)
{
    recentlist r;
    for (const wchar_t* p : {L"a", L"b", L"c"})
        r.addrecent(p);  // head wrapped below slot 0
    r.delrecent(L"b");
    ASSERT_EQ(r.count(), 2);
    EXPECT_EQ(r.at(0), L"c");
    EXPECT_EQ(r.at(1), L"a");
    r.delrecent(L"zzz");
    EXPECT_EQ(r.count(), 2);
}
