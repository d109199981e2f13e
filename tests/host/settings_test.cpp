#include <gtest/gtest.h>

#include "core/settings.h"

using namespace host;

namespace {

hostsettings readall(const std::wstring& text)
{
    iniimage ini;
    ini.loadtext(text);
    hostsettings s;
    readini(ini, s, true, true, true, true);
    return s;
}

}  // namespace

TEST(Settings, RatiosOutOfRangeTakeTheirDefaults)
{
    hostsettings s = readall(L"[setting]\r\nvsratio=60\r\nhsratio=5\r\n");
    EXPECT_EQ(s.vsratio, 20);
    EXPECT_EQ(s.hsratio, 40);
    s = readall(L"[setting]\r\nvsratio=50x\r\nhsratio=70\r\n");
    EXPECT_EQ(s.vsratio, 50);  // leading digits count
    EXPECT_EQ(s.hsratio, 70);
}

TEST(Settings, RunKey)
{
    hostsettings s = readall(L"");
    EXPECT_EQ(s.runkeyletter, L'S');
    EXPECT_EQ(s.runkeyalt, 0);
    s = readall(L"[runkey]\r\nfsmod=0\r\nvk=s\r\n");  // lowercase: Alt+S
    EXPECT_EQ(s.runkeyletter, L'S');
    EXPECT_EQ(s.runkeyalt, 1);
    s = readall(L"[runkey]\r\nfsmod=1\r\nvk=R\r\n");
    EXPECT_EQ(s.runkeyletter, L'R');
    EXPECT_EQ(s.runkeyalt, 1);
    EXPECT_EQ(runkeychar(L'S', 0), 19);
    EXPECT_EQ(runkeychar(L'S', 1), L's');
}

TEST(Settings, FontNameFitsTheFaceNameField)
{
    const std::wstring name32(32, L'F');
    const hostsettings s = readall(L"[setting]\r\nfontname=" + name32 + L"\r\nfontheight=14\r\n");
    EXPECT_EQ(s.fontname, std::wstring(31, L'F'));
    EXPECT_EQ(s.fontheight, 14);
}

TEST(Settings, DefaultsAreResetOnlyWithTheSettingGroup)
{
    iniimage ini;
    ini.loadtext(L"[setting]\r\nleft=7\r\ntasktrayf=1\r\nsuplogmsg=2\r\nfilter=a\\0b\r\n[hotkey]\r\nvk=F5\r\nflag=1\r\n");
    hostsettings s;
    s.left = 55;
    s.fontheight = 3;
    readini(ini, s, false, true, false, false);
    EXPECT_EQ(s.left, 55);
    EXPECT_EQ(s.fontheight, 3);
    EXPECT_EQ(s.hotkeyvk, L"F5");
    EXPECT_TRUE(s.hotkeyflag);
    readini(ini, s, true, false, false, false);
    EXPECT_EQ(s.left, 7);
    EXPECT_EQ(s.top, 100);
    EXPECT_EQ(s.fontheight, -1);
    EXPECT_TRUE(s.tasktrayf);
    EXPECT_TRUE(s.suplogmsgset);
    EXPECT_EQ(s.suplogmsg, 2);
    EXPECT_EQ(s.filter, L"a\\0b");
}

TEST(Settings, SecondInstanceGroupsLeaveHotkeysAlone)
{
    iniimage ini;
    ini.loadtext(L"[hotkey]\r\nvk=A\r\n[hotkeylauncher]\r\n03_tn=T\r\n");
    hostsettings s;
    readini(ini, s, true, false, true, false);
    EXPECT_EQ(s.hotkeyvk, L"X");
    EXPECT_TRUE(s.launchers[3].title.empty());
}

TEST(Settings, LauncherRecords)
{
    const std::wstring longtitle(120, L't');
    const hostsettings s = readall(L"[hotkeylauncher]\r\n00_tn=" + longtitle +
                                   L"\r\n00_fs=C:\\a.tst\r\n29_op=/quit\r\n29_fsmod=3\r\n29_vk=Q\r\n30_tn=no\r\nab_tn=no\r\n");
    EXPECT_EQ(s.launchers[0].title.size(), 99u);
    EXPECT_EQ(s.launchers[0].path, L"C:\\a.tst");
    EXPECT_EQ(s.launchers[29].options, L"/quit");
    EXPECT_EQ(s.launchers[29].fsmod, 3);
    EXPECT_EQ(s.launchers[29].vk, L"Q");
}

TEST(Settings, HotkeyModifierOutsideTheTableReadsAsAlt)
{
    EXPECT_EQ(readall(L"[hotkey]\r\nfsmod=4\r\n").hotkeyfsmod, 4);
    EXPECT_EQ(readall(L"[hotkey]\r\nfsmod=6\r\n").hotkeyfsmod, 1);
    EXPECT_EQ(readall(L"[hotkey]\r\nfsmod=-1\r\n").hotkeyfsmod, 1);
}
