// Directory listings: sorting and reading entries held in memory (dates far
// apart and before 1970, sizes past 32 bits), index and handle checks, and the
// front ends' errors.
#include <gtest/gtest.h>

#include <initializer_list>

#include "commands/filetime.h"
#include "runtime/exescr.h"
#include "support/codelist.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;
using qtest::popstr;
using qtest::runop;

namespace {

FILETIME at1601(uint64_t secs)
{
    const uint64_t t = secs * 10000000u;
    return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}

DirEntry entry(const wchar_t* name, uint64_t secs1601 = 0, uint64_t size = 0, uint32_t attributes = 0)
{
    DirEntry e;
    e.name = name;
    e.written = at1601(secs1601);
    e.size = size;
    e.attributes = attributes;
    return e;
}

// An open global handle holding `entries`; its index.
int32_t openhandle(ExeScr& e, const wchar_t* name, std::initializer_list<DirEntry> entries)
{
    const auto index = static_cast<int32_t>(e.dirfind(name));
    e.dirglobal[static_cast<size_t>(index)].entries = entries;
    e.dirglobal[static_cast<size_t>(index)].open = 1;
    return index;
}

int64_t sortword(int32_t index, uint32_t key, uint32_t grouping = 0)
{
    return static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(index)) << 32) | (grouping << 16) | key);
}
int64_t handleword(int32_t index) { return static_cast<int64_t>((static_cast<uint64_t>(index) << 32) | 0x10000u); }

std::wstring names(const ExeScr& e, int32_t index)
{
    std::wstring out;
    for (const DirEntry& d : e.dirglobal[static_cast<size_t>(index)].entries)
        out += (out.empty() ? L"" : L" ") + d.name;
    return out;
}

std::wstring sorted(ExeScr& e, int32_t index, uint32_t key, uint32_t grouping = 0)
{
    runop(e, &ExeScr::dirsort_exec, sortword(index, key, grouping));
    return names(e, index);
}

}  // namespace

TEST(DirSort, DatesCompareAsWholeSixtyFourBitSeconds)
{
    ExeScr e;
    // Second counts (since 1601) whose low 32 bits order the other way round:
    // 2^32 + 5 is the later time, though its low half is the smaller.
    const int32_t h = openhandle(e, L"h", {entry(L"late", (1ull << 32) + 5), entry(L"early", 10)});
    EXPECT_EQ(sorted(e, h, 2), L"early late");
    EXPECT_EQ(sorted(e, h, 3), L"late early");

    // 1960, 1970 + 10 s and 2100: more than 2^31 seconds apart.
    const uint64_t y1970 = filetime::epochshift;
    const int32_t g = openhandle(e, L"g", {entry(L"c2100", y1970 + 4102444800), entry(L"a1970", y1970 + 10),
                                           entry(L"b1960", y1970 - 315360000)});
    EXPECT_EQ(sorted(e, g, 2), L"b1960 a1970 c2100");
    EXPECT_EQ(sorted(e, g, 3), L"c2100 a1970 b1960");
}

TEST(DirSort, NamesSizesAndFolderGrouping)
{
    ExeScr e;
    const uint32_t dir = FILE_ATTRIBUTE_DIRECTORY;
    const int32_t h = openhandle(e, L"h",
                                 {entry(L"b", 0, 5), entry(L"sub", 0, 0, dir), entry(L"..", 0, 0, dir), entry(L"B", 0, 1ull << 33),
                                  entry(L"a", 0, (1ull << 32) + 1), entry(L".", 0, 0, dir)});
    // Ordinal and case-sensitive: "." and ".." sort with the names by code unit.
    EXPECT_EQ(sorted(e, h, 0), L". .. B a b sub");
    EXPECT_EQ(sorted(e, h, 1), L"sub b a B .. .");
    EXPECT_EQ(sorted(e, h, 0, 1), L". .. sub B a b");
    EXPECT_EQ(sorted(e, h, 1, 2), L"b a B sub .. .");
    // Sizes are unsigned 64-bit values.
    const std::wstring bysize = sorted(e, h, 5, 1);
    EXPECT_EQ(bysize.substr(bysize.size() - 5), L"B a b");
    const std::wstring up = sorted(e, h, 4, 2);
    EXPECT_EQ(up.substr(0, 5), L"b a B");
    e.dirfreeall();
}

TEST(DirSort, EmptyListAndClosedHandle)
{
    ExeScr e;
    const int32_t h = openhandle(e, L"h", {});
    EXPECT_EQ(sorted(e, h, 0), L"");
    const auto closed = static_cast<int32_t>(e.dirfind(L"closed"));
    EXPECT_EQ(expectfatal(fatalengine(),
                          [closed](ExeScr& x) {
                              x.dirfind(L"h");
                              x.dirfind(L"closed");
                              runop(x, &ExeScr::dirsort_exec, sortword(closed, 0));
                          }),
              L"invalid dirpointer.");
}

TEST(DirRead, ItemsOfAnEntry)
{
    ExeScr e;
    const uint64_t y1970 = filetime::epochshift;
    const int32_t h = openhandle(e, L"h", {entry(L"old", y1970 - 315360000, 1ull << 33, 0x21), entry(L"new", y1970 + 10)});
    const auto item = [&](int64_t index, int64_t which) {
        e.pushint(which);
        e.pushint(index);
        runop(e, &ExeScr::dirreadd_exec, handleword(h));
        return e.popd();
    };
    datdcell c = item(0, 0);
    EXPECT_EQ(c.isint, 1u);
    EXPECT_EQ(c.i, 0x21);
    c = item(0, 1);
    EXPECT_EQ(c.isint, 0u);
    EXPECT_EQ(c.d, 8589934592.0);
    // Before 1970 the count is negative, as "getfiletime" gives it.
    c = item(0, 2);
    EXPECT_EQ(c.isint, 0u);
    EXPECT_EQ(c.d, -315360000.0);
    EXPECT_EQ(item(1, 2).d, 10.0);
    EXPECT_EQ(item(1, 3).d, static_cast<double>((y1970 + 10) * 10000000u));

    e.pushdbl(1.9);  // truncated toward zero
    runop(e, &ExeScr::dirreads_exec, handleword(h));
    EXPECT_EQ(popstr(e), L"new");
    e.freedatd();
    e.freedats();
}

TEST(DirRead, IndexOutsideTheListEndsTheScript)
{
    const auto readat = [](int64_t index, bool details) {
        return expectfatal(fatalengine(), [index, details](ExeScr& x) {
            const int32_t h = openhandle(x, L"h", {entry(L"a"), entry(L"b"), entry(L"c")});
            if (details)
                x.pushint(0);
            x.pushint(index);
            runop(x, details ? &ExeScr::dirreadd_exec : &ExeScr::dirreads_exec, handleword(h));
        });
    };
    EXPECT_EQ(readat(3, false), L"number of position is invalid: num=3, max=3");
    EXPECT_EQ(readat(-1, false), L"number of position is invalid: num=-1, max=3");
    EXPECT_EQ(readat(3, true), L"number of position is invalid: num=3, max=3");
    EXPECT_EQ(readat(4294967296, true), L"number of position is invalid: num=4294967296, max=3")
        << "not taken as its low 32 bits";
}

TEST(DirRead, ClosedAndReopenedHandles)
{
    const std::wstring dir = qtest::scratchdir();
    EXPECT_EQ(expectfatal(fatalengine(),
                          [](ExeScr& x) {
                              x.dirfind(L"h");
                              x.pushint(0);
                              runop(x, &ExeScr::dirreads_exec, handleword(0));
                          }),
              L"invalid dirpointer.");
    EXPECT_EQ(expectfatal(fatalengine(),
                          [dir](ExeScr& x) {
                              const int32_t h = openhandle(x, L"listing", {});
                              x.pushstrtext(dir.c_str(), dir.size(), 217);
                              x.pushint((static_cast<int64_t>(h) << 32) | 1);
                              x.diropen_exec();
                          }),
              L"ReOpen error.:listing");
}

TEST(DirFrontEnds, WordsAndCountsAreCompileErrors)
{
    qtest::expectexits(L"direrr", {
        {L"x = dirreadd(h, 0, 5)\r\n", L"Not supported parameter. at line 1"},
        {L"x = dirreadd(h, 0, )\r\n", L"Not supported parameter. at line 1"},
        {L"x = dirreadd(h, 0)\r\n", L"the number of argument mismatch. at line 1"},
        {L"dirsort(h, nx)\r\n", L"Not supported parameter. at line 1"},
        {L"dirsort(h, n)\r\n", L"Not supported parameter. at line 1"},
        {L"dirsort(h, na, x)\r\n", L"Not supported parameter. at line 1"},
        {L"dirsort(h, na, )\r\n", L"Not supported parameter. at line 1"},
        {L"dirsort(h)\r\n", L"the number of argument mismatch. at line 1"},
        {L"x = diropen(1h, \"c:\\\\\")\r\n", L"invalid name. at line 1"},
        {L"x = diropen(h)\r\n", L"the number of argument mismatch. at line 1"},
        {L"x = dirreads( , 0)\r\n", L"invalid name. at line 1"},
        {L"dirclose(h, 1)\r\n", L"the number of argument mismatch. at line 1"},
    });
}

TEST(DirRun, MisusedHandlesEndTheRunAtTheirLine)
{
    qtest::expectexits(L"dirrun", {
        {L"x = 1\r\ns = dirreads(h, 0)\r\n", L"invalid dirpointer. at line 2"},
        {L"dirclose(h)\r\n", L"invalid dirpointer. at line 1"},
        {L"dirsort(h, na)\r\n", L"invalid dirpointer. at line 1"},
    }, true);
}

TEST(DirFrontEnds, WordsWithBlanksAndLongerWords)
{
    const std::wstring dir = qtest::scratchdir() + L"dirlist_words";
    CreateDirectoryW(dir.c_str(), nullptr);
    CreateDirectoryW((dir + L"\\inner").c_str(), nullptr);
    // The folder as a script literal: every backslash doubled.
    std::wstring literal;
    for (wchar_t c : dir)
        literal += c == L'\\' ? std::wstring(L"\\\\") : std::wstring(1, c);
    // Only the first characters of the words count; blanks around them do not.
    const std::wstring log = qtest::runscript(
        L"dirwords", L"x = diropen( h , \"" + literal + L"\")\r\ndirsort( h ,  ndx ,\ttop )\r\n"
                     L"printf(\"%D %D %s\\n\", x, dirreadd( h , 0 , 0th ), dirreads(h, 2))\r\ndirclose( h )\r\n");
    EXPECT_EQ(qtest::narrow(log), "1 16 .\n") << "folders first, names descending";
    RemoveDirectoryW((dir + L"\\inner").c_str());
    RemoveDirectoryW(dir.c_str());
}
