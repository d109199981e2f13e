#include <gtest/gtest.h>

#include "core/iniimage.h"
#include "host/hostenv.h"

using namespace host;

namespace {

std::wstring joined(const iniimage& ini)
{
    return ini.filetext().substr(1);
}

}  // namespace

TEST(IniImage, FirstSetInAnEmptyImageMakesTheSixHeaders)
{
    iniimage ini;
    ini.setinis(L"hotkey", L"vk", L"X");
    EXPECT_EQ(joined(ini), L"[setting]\r\n[main]\r\n[log]\r\n[script]\r\n[hotkey]\r\nvk=X\r\n[runkey]\r\n");
    EXPECT_EQ(ini.inidirty, dirtyother);
    ini.setinis(L"setting", L"left", L"5");
    EXPECT_EQ(ini.inidirty, dirtyother | dirtysetting);
}

TEST(IniImage, SetReplacesInPlaceOrAppendsTheSection)
{
    iniimage ini;
    ini.loadtext(L"[a]\r\nk=1\r\nj=2\r\n[b]\r\nk=3\r\n");
    ini.setinis(L"a", L"k", L"9");
    EXPECT_EQ(joined(ini), L"[a]\r\nk=9\r\nj=2\r\n[b]\r\nk=3\r\n");
    ini.setinis(L"a", L"new", L"x");  // before the next header
    EXPECT_EQ(joined(ini), L"[a]\r\nk=9\r\nj=2\r\nnew=x\r\n[b]\r\nk=3\r\n");
    ini.setinis(L"b", L"z", L"y");  // the last section: at the end
    EXPECT_EQ(joined(ini), L"[a]\r\nk=9\r\nj=2\r\nnew=x\r\n[b]\r\nk=3\r\nz=y\r\n");
    ini.setinis(L"resident", L"00_tn", L"t");
    EXPECT_TRUE(joined(ini).ends_with(L"z=y\r\n[resident]\r\n00_tn=t\r\n"));
}

TEST(IniImage, LookupRules)
{
    iniimage ini;
    ini.loadtext(L"k=before\r\n[s]\r\nK=upper\r\nnoequals\r\nk=a=b\r\nk=second\r\n[S]\r\nq=1\r\n[s]x\r\nlast=v");
    std::wstring v;
    EXPECT_FALSE(ini.getinis(L"", L"k", v));  // a key before any header is never found
    ASSERT_TRUE(ini.getinis(L"s", L"k", v));
    EXPECT_EQ(v, L"a=b");  // the first match; the value runs past later "="
    ASSERT_TRUE(ini.getinis(L"s", L"K", v));
    EXPECT_EQ(v, L"upper");
    EXPECT_FALSE(ini.getinis(L"s", L"q", v));  // section names are case-sensitive
    ASSERT_TRUE(ini.getinis(L"s", L"last", v));  // "[s]x" still opens section s
    EXPECT_EQ(v, L"v");
}

TEST(IniImage, ValueLosesItsLineEndButKeepsInnerCarriageReturns)
{
    iniimage ini;
    ini.loadtext(L"[s]\nunix=1\nwin=2\r\nmid=a\rb\r\nempty=\r\n");
    std::wstring v;
    ASSERT_TRUE(ini.getinis(L"s", L"unix", v));
    EXPECT_EQ(v, L"1");
    ASSERT_TRUE(ini.getinis(L"s", L"win", v));
    EXPECT_EQ(v, L"2");
    ASSERT_TRUE(ini.getinis(L"s", L"mid", v));
    EXPECT_EQ(v, L"a\rb");
    ASSERT_TRUE(ini.getinis(L"s", L"empty", v));
    EXPECT_EQ(v, L"");
}

TEST(IniImage, TextRoundTripsAndALastLineWithoutEndGetsOneBeforeAnAppend)
{
    const std::wstring text = L"; comment\r\n\r\n[setting]\r\nleft=1\r\n[zz]\nunix line\n[main]\r\nscrfid=C:\\a";
    iniimage ini;
    ini.loadtext(text);
    EXPECT_EQ(joined(ini), text);
    ini.setinis(L"main", L"scrfid_00", L"C:\\a");
    EXPECT_EQ(joined(ini), text + L"\r\nscrfid_00=C:\\a\r\n");
}

TEST(IniImage, DeleteAndInvalidPositions)
{
    htest::fatalcatcher fatal;
    iniimage ini;
    ini.loadtext(L"[s]\r\na=1\r\nb=2\r\n");
    ini.delinis(L"s", L"a");
    EXPECT_EQ(joined(ini), L"[s]\r\nb=2\r\n");
    EXPECT_EQ(ini.inidirty, 0);  // a removal alone does not make a save happen
    ini.delinis(L"s", L"missing");
    EXPECT_EQ(joined(ini), L"[s]\r\nb=2\r\n");

    ini.insertinis(L"x\r\n", 5);
    EXPECT_EQ(fatal.last(), L"number of position is invalid: num=5, max=2");
    fatal.reset();
    ini.deleteiniline(2);
    EXPECT_EQ(fatal.last(), L"number of position is invalid: num=2, max=2");
    EXPECT_EQ(joined(ini), L"[s]\r\nb=2\r\n");
}

TEST(IniSave, DecisionAgainstTheFileOnDisk)
{
    bool refused = false;
    EXPECT_FALSE(savedecision(0, false, true, true, 5, 5, refused));
    EXPECT_TRUE(savedecision(dirtysetting, false, true, true, 5, 5, refused));
    EXPECT_TRUE(savedecision(dirtysetting, false, false, false, 0, 0, refused));
    // Changed on disk since the load.
    EXPECT_FALSE(savedecision(dirtysetting, false, true, true, 6, 5, refused));
    EXPECT_TRUE(refused);
    EXPECT_TRUE(savedecision(dirtyother, false, true, true, 6, 5, refused));
    EXPECT_FALSE(savedecision(dirtyother | dirtysetting, false, false, true, 6, 5, refused));
    EXPECT_TRUE(refused);
    // Created by another instance after a start without a file.
    EXPECT_FALSE(savedecision(dirtysetting, false, false, true, 6, 0, refused));
    // A file that failed to load is never written over.
    EXPECT_FALSE(savedecision(dirtyother, true, true, true, 5, 5, refused));
}

TEST(IniFile, LoadSaveRoundTripsByteForByte)
{
    const std::wstring dir = htest::scratch(L"ini");
    const std::wstring path = dir + L"quorvel.ini";
    const std::string bytes =
        htest::utf16(L"[setting]\r\nleft=1\r\n\r\n;x\n[main]\r\nscrfid=C:\\\x00e9t\x00e9.tst\r\nlast");
    htest::writebytes(path, bytes);
    iniimage ini;
    ini.loadini(path);
    EXPECT_FALSE(ini.loadfailed);
    ini.setinis(L"setting", L"left", L"1");  // dirty, same text
    EXPECT_EQ(ini.saveini(path, true), 1);
    EXPECT_EQ(htest::readbytes(path), bytes);
}

TEST(IniFile, WithoutByteOrderMarkIsRefusedAndNeverWrittenOver)
{
    htest::fatalcatcher fatal;
    const std::wstring dir = htest::scratch(L"ini");
    const std::wstring path = dir + L"quorvel.ini";
    const std::string bytes = "[setting]\r\nleft=5\r\n";
    htest::writebytes(path, bytes);
    iniimage ini;
    ini.loadini(path);
    EXPECT_TRUE(ini.loadfailed);
    EXPECT_TRUE(ini.lines.empty());
    EXPECT_EQ(fatal.last(), L"This file is not UNICODE format.:" + path);
    ini.setinis(L"setting", L"left", L"100");
    EXPECT_EQ(ini.saveini(path, true), 0);
    EXPECT_EQ(htest::readbytes(path), bytes);
}

TEST(IniFile, MissingFileGivesAnEmptyImageThatSaves)
{
    const std::wstring path = htest::scratch(L"ini") + L"quorvel.ini";
    iniimage ini;
    ini.loadini(path);
    EXPECT_FALSE(ini.loadfailed);
    EXPECT_TRUE(ini.lines.empty());
    EXPECT_EQ(ini.saveini(path, true), 0);  // clean: nothing written
    ini.setinis(L"main", L"scrfid", L"a");
    EXPECT_EQ(ini.saveini(path, false), 1);
    EXPECT_EQ(htest::widen(htest::readbytes(path)),
              L"\xFEFF[setting]\r\n[main]\r\nscrfid=a\r\n[log]\r\n[script]\r\n[hotkey]\r\n[runkey]\r\n");
}

TEST(IniFile, ChangedOnDiskIsLeftToTheOtherInstance)
{
    const std::wstring path = htest::scratch(L"ini") + L"quorvel.ini";
    htest::writebytes(path, htest::utf16(L"[setting]\r\n"));
    iniimage first, second;
    first.loadini(path);
    second.loadini(path);
    // Another instance rewrites the file a few seconds later.
    const std::string theirs = htest::utf16(L"[setting]\r\ntheirs=1\r\n");
    htest::writebytes(path, theirs);
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER later;
    later.LowPart = ft.dwLowDateTime;
    later.HighPart = ft.dwHighDateTime;
    later.QuadPart += 5ULL * 10000000ULL;
    ft.dwLowDateTime = later.LowPart;
    ft.dwHighDateTime = later.HighPart;
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);

    second.setinis(L"main", L"scrfid", L"x");
    EXPECT_EQ(second.saveini(path, false), 0);
    first.setinis(L"setting", L"left", L"1");
    EXPECT_EQ(first.saveini(path, true), 0);
    EXPECT_EQ(htest::readbytes(path), theirs);
    first.setinis(L"main", L"scrfid", L"x");  // a change outside [setting]
    EXPECT_EQ(first.saveini(path, true), 1);
}

TEST(Filter, EscapesAndTheDoubleNulEnd)
{
    std::wstring f = filterlist(L"Text\\0*.txt\\0\\0");
    EXPECT_EQ(f, std::wstring(L"Text\0*.txt\0\0", 12));
    f = filterlist(L"");
    EXPECT_EQ(f, std::wstring(L"Script(*.tst)\0*.tst\0All(*.*)\0*.*\0\0", 34));
    // A trailing backslash is kept, and the list still ends in two NULs.
    f = filterlist(L"A\\0*.a\\");
    EXPECT_EQ(f, std::wstring(L"A\0*.a\\\0\0", 8));
    f = filterlist(L"A\\x4");  // too short for two digits
    EXPECT_EQ(f, std::wstring(L"A\\x4\0\0", 6));
}

TEST(Unescape, Sequences)
{
    std::wstring s = L"\\ta\\\\b\\nc\\rd\\te\\'f\\\"g\\x41h\\xZ1\\q";
    unescapeini(s);
    EXPECT_EQ(s, std::wstring(L"\\ta\\b\r\nc\rd\te'f\"gAh\x01\\q"));
}
