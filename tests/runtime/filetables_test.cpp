// File-pointer and directory-handle tables, and the line buffer.
#include <gtest/gtest.h>

#include "runtime/exescr.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::countid;
using qtest::fatalengine;
using qtest::findid;

namespace {

std::vector<std::wstring> linesof(const LineBuf& lb)
{
    std::vector<std::wstring> out;
    for (const wchar_t* p : lb.lines)
        out.emplace_back(p);
    return out;
}

// The lines lie one behind the other from the start of the block, each with its
// NUL, the used length is their sum and the character at the used length is a NUL.
void expectpacked(const LineBuf& lb)
{
    const wchar_t* at = lb.text;
    for (size_t k = 0; k < lb.lines.size(); ++k) {
        EXPECT_EQ(lb.lines[k], at) << "line " << k;
        at += wcslen(at) + 1;
    }
    ASSERT_NE(lb.text, nullptr);
    EXPECT_EQ(static_cast<size_t>(at - lb.text), lb.used);
    EXPECT_LE(lb.used, lb.cap);
    EXPECT_EQ(lb.text[lb.used], 0);
}

// A fresh file in the scratch folder, opened for writing with no sharing (as a
// file written by the script is locked).
HANDLE openlocked(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Whether the file can be opened exclusively now.
bool exclusive(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

void expectfresh(const FilePointer& fp)
{
    EXPECT_EQ(fp.open, 0u);
    EXPECT_TRUE(fp.lb.lines.empty());
    EXPECT_EQ(fp.lb.text, nullptr);
    EXPECT_EQ(fp.lb.cap, 0u);
    EXPECT_EQ(fp.lb.used, 0u);
    EXPECT_EQ(fp.lb.encoding, 0u);
    EXPECT_EQ(fp.path, nullptr);
    EXPECT_EQ(fp.pathheap, nullptr);
    EXPECT_EQ(fp.mode, 0u);
    EXPECT_EQ(fp.hfile, INVALID_HANDLE_VALUE) << "no file is open";
    EXPECT_EQ(fp.createonwrite, 0u);
}

}  // namespace

// File pointers keep 20 characters of a global name, directory handles 21:
// two handle names that differ first in their 21st character are two handles.
TEST(FileTables, FilePointerNamesKeepTwentyCharactersDirectoryNamesTwentyOne)
{
    ExeScr e;
    uint32_t a = e.fpfind(L"abcdefghijklmnopqrstUVWXY");
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(e.fpfind(L"abcdefghijklmnopqrstZZZZZ"), a) << "shares the first 20 characters";
    EXPECT_EQ(e.fpfind(L"abcdefghijklmnopqrstUVWXY"), a) << "the same long name again";
    EXPECT_EQ(e.fpfind(L"abcdefghijklmnopqrst"), a);
    EXPECT_EQ(e.fpfind(L"abcdefghijklmnopqrs"), 1u);
    EXPECT_EQ(e.fpfind(L"other"), 2u);
    EXPECT_EQ(e.fpfind(L"abcdefghijklmnopqrs"), 1u);
    ASSERT_EQ(e.fpglobal.size(), 3u);
    EXPECT_EQ(std::wstring(e.fpglobal[a].name), L"abcdefghijklmnopqrst");
    for (const FilePointer& fp : e.fpglobal)
        expectfresh(fp);

    uint32_t d = e.dirfind(L"abcdefghijklmnopqrstUVWXY");
    EXPECT_EQ(d, 0u);
    EXPECT_EQ(e.dirfind(L"abcdefghijklmnopqrstUZZ"), d) << "shares the first 21 characters";
    EXPECT_EQ(e.dirfind(L"abcdefghijklmnopqrstU"), d);
    EXPECT_EQ(e.dirfind(L"abcdefghijklmnopqrstQ"), 1u) << "differs in the 21st character";
    EXPECT_EQ(e.dirfind(L"abcdefghijklmnopqrst"), 2u);
    EXPECT_EQ(e.dirfind(L"dir2"), 3u);
    ASSERT_EQ(e.dirglobal.size(), 4u);
    EXPECT_EQ(std::wstring(e.dirglobal[d].name), L"abcdefghijklmnopqrstU");
    EXPECT_EQ(std::wstring(e.dirglobal[1].name), L"abcdefghijklmnopqrstQ");
    EXPECT_EQ(e.dirglobal[d].open, 0u);
    EXPECT_TRUE(e.dirglobal[d].entries.empty());
    e.dirpushlocal(L"abcdefghijklmnopqrstUVWXY");
    EXPECT_EQ(std::wstring(e.dirlocal.back().name), L"abcdefghijklmnopqrstU") << "a local keeps its 21 too";
    e.dirpoplocal(1);
    EXPECT_TRUE(e.allocs.empty()) << "the tables take nothing from the tracked allocator";
}

TEST(FileTables, LocalRecordsArePushedFreshAndAddressedFromTheTop)
{
    ExeScr e;
    e.fppushlocal(L"first");
    e.fppushlocal(L"a_name_of_twenty_five_chr");
    ASSERT_EQ(e.fplocal.size(), 2u);
    EXPECT_EQ(std::wstring(e.fplocal[1].name), L"a_name_of_twenty_fiv");
    expectfresh(e.fplocal[0]);
    expectfresh(e.fplocal[1]);
    EXPECT_EQ(e.fpat(false, -1), &e.fplocal[1]);
    EXPECT_EQ(e.fpat(false, -2), &e.fplocal[0]);
    e.fpfind(L"g0");
    e.fpfind(L"g1");
    EXPECT_EQ(e.fpat(true, 1), &e.fpglobal[1]);

    e.dirpushlocal(L"d");
    e.dirpushlocal(L"e");
    EXPECT_EQ(std::wstring(e.dirat(false, -1)->name), L"e");
    EXPECT_EQ(std::wstring(e.dirat(false, -2)->name), L"d");
    e.dirfind(L"dg");
    EXPECT_EQ(e.dirat(true, 0), &e.dirglobal[0]);
}

TEST(FileTables, PoppingZeroDoesNothing)
{
    ExeScr e;
    e.fppoplocal(0);
    e.dirpoplocal(0);
    e.fppushlocal(L"f");
    e.dirpushlocal(L"d");
    e.fppoplocal(0);
    e.dirpoplocal(0);
    EXPECT_EQ(e.fplocal.size(), 1u);
    EXPECT_EQ(e.dirlocal.size(), 1u);
    e.fppoplocal(1);
    e.dirpoplocal(1);
    EXPECT_TRUE(e.fplocal.empty());
    EXPECT_TRUE(e.dirlocal.empty());
}

TEST(FileTables, PoppingOneTooManyIsFatal)
{
    ExeScr& f = fatalengine();
    f.fppushlocal(L"a");
    f.fppushlocal(L"b");
    EXPECT_EQ(expectfatal(f, [](ExeScr& x) { x.fppoplocal(3); }),
              L"filepointer buffer Stack underflow error.");
    EXPECT_EQ(f.fplocal.size(), 2u) << "nothing was popped";

    ExeScr& d = fatalengine();
    d.dirpushlocal(L"a");
    EXPECT_EQ(expectfatal(d, [](ExeScr& x) { x.dirpoplocal(2); }),
              L"Directory buffer Stack underflow error.");
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.fppoplocal(1); }),
              L"filepointer buffer Stack underflow error.");
}

TEST(FileTables, PoppingGivesBackTheBuffersOfThePoppedRecordsOnly)
{
    ExeScr e;
    e.fppushlocal(L"outer");
    e.fppushlocal(L"inner1");
    e.fppushlocal(L"inner2");
    FilePointer& outer = e.fplocal[0];
    outer.open = 1;
    e.linebuf_insertstr(&outer.lb, L"kept", -1);
    for (size_t k = 1; k < 3; ++k) {
        FilePointer& fp = e.fplocal[k];
        fp.open = 1;
        e.linebuf_insertstr(&fp.lb, L"line one", -1);
        e.linebuf_insertstr(&fp.lb, L"line two", -1);
        fp.pathheap = static_cast<wchar_t*>(e.mymalloc2(600 * sizeof(wchar_t), fppathid));
        fp.pathheapid = fppathid;
        fp.path = fp.pathheap;
        fp.pathcap = 599;
    }
    EXPECT_EQ(countid(e, linebufid), 3u);
    EXPECT_EQ(countid(e, fppathid), 2u);
    e.fppoplocal(2);
    ASSERT_EQ(e.fplocal.size(), 1u);
    EXPECT_EQ(countid(e, linebufid), 1u);
    EXPECT_EQ(countid(e, fppathid), 0u);
    EXPECT_EQ(linesof(e.fplocal[0].lb), std::vector<std::wstring>{L"kept"});
    e.fpfreelocal();
    EXPECT_TRUE(e.fplocal.empty());
    EXPECT_TRUE(e.allocs.empty());
}

TEST(FileTables, DirectoryRecordsLoseTheirEntries)
{
    ExeScr e;
    e.dirpushlocal(L"outer");
    e.dirpushlocal(L"inner");
    e.dirlocal[1].open = 1;
    e.dirlocal[1].entries.push_back(DirEntry{L"a.txt", FILE_ATTRIBUTE_ARCHIVE, {}, {}, {}, 12});
    e.dirlocal[1].entries.push_back(DirEntry{std::wstring(300, L'n'), 0, {}, {}, {}, 0});
    e.dirpoplocal(1);
    ASSERT_EQ(e.dirlocal.size(), 1u);
    EXPECT_EQ(std::wstring(e.dirlocal[0].name), L"outer");

    e.dirfind(L"g");
    e.dirglobal[0].entries.resize(5);
    e.dirfreeall();
    e.dirfreelocal();
    EXPECT_TRUE(e.dirglobal.empty());
    EXPECT_TRUE(e.dirlocal.empty());
    EXPECT_EQ(e.dirglobal.capacity(), 0u) << "the storage is given back";
}

TEST(FileTables, FreeAllReleasesTheOpenGlobalRecords)
{
    ExeScr e;
    e.fpfind(L"open");
    e.fpfind(L"closed");
    e.fpglobal[0].open = 1;
    e.linebuf_insertstr(&e.fpglobal[0].lb, L"text", -1);
    e.fpglobal[0].pathheap = static_cast<wchar_t*>(e.mymalloc2(300 * sizeof(wchar_t), fppathid));
    e.fpglobal[0].pathheapid = fppathid;
    EXPECT_EQ(e.allocs.size(), 2u);
    e.fpfreeall();
    EXPECT_TRUE(e.fpglobal.empty());
    EXPECT_EQ(e.fpglobal.capacity(), 0u);
    EXPECT_TRUE(e.allocs.empty());
}

TEST(FileTables, RecordsThatMoveKeepTheirInlinePath)
{
    ExeScr e;
    e.fppushlocal(L"f");
    FilePointer* fp = &e.fplocal[0];
    wcscpy(fp->pathinl, L"C:\\some\\file.txt");
    fp->path = fp->pathinl;
    fp->pathcap = fppathinline;
    e.linebuf_insertstr(&fp->lb, L"one", -1);
    for (int k = 0; k < 100; ++k)
        e.fppushlocal(L"more");
    FilePointer& moved = e.fplocal[0];
    ASSERT_NE(&moved, fp) << "the stack has grown";
    EXPECT_EQ(moved.path, moved.pathinl);
    EXPECT_EQ(std::wstring(moved.path), L"C:\\some\\file.txt");
    EXPECT_EQ(linesof(moved.lb), std::vector<std::wstring>{L"one"});
    e.fpfreelocal();
    EXPECT_TRUE(e.allocs.empty());
}

TEST(LineBuffer, AppendingAtMinusOneAndAtTheCountAreTheSame)
{
    ExeScr e;
    LineBuf lb;
    e.linebuf_insertstr(&lb, L"alpha", -1);
    const memrec* r = findid(e, linebufid);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->size, (2 * 6 + 1) * sizeof(wchar_t)) << "2 x need + 1 characters";
    EXPECT_EQ(lb.cap, 12u);
    EXPECT_EQ(lb.textid, static_cast<uint32_t>(linebufid));
    e.linebuf_insertstr(&lb, L"beta", 1);
    e.linebuf_insertstr(&lb, L"", -1);
    e.linebuf_insertstr(&lb, L"gamma", 3);
    EXPECT_EQ(linesof(lb), (std::vector<std::wstring>{L"alpha", L"beta", L"", L"gamma"}));
    EXPECT_EQ(lb.used, 6u + 5u + 1u + 6u);
    expectpacked(lb);
    e.myfree(lb.text, static_cast<int32_t>(lb.textid));
    EXPECT_TRUE(e.allocs.empty());
}

TEST(LineBuffer, InsertingInTheMiddleMovesTheLaterLines)
{
    ExeScr e;
    LineBuf lb;
    e.linebuf_insertstr(&lb, L"one", -1);
    e.linebuf_insertstr(&lb, L"three", -1);
    e.linebuf_insertstr(&lb, L"two", 1);
    e.linebuf_insertstr(&lb, L"zero", 0);
    EXPECT_EQ(linesof(lb), (std::vector<std::wstring>{L"zero", L"one", L"two", L"three"}));
    expectpacked(lb);
    EXPECT_EQ(countid(e, linebufid), 1u);
    e.myfree(lb.text, static_cast<int32_t>(lb.textid));
}

TEST(LineBuffer, InsertingAtZeroIntoAFullBufferGrowsItToTwiceTheNeed)
{
    ExeScr e;
    LineBuf lb;
    e.linebuf_insertstr(&lb, L"abc", -1);  // need 4: capacity 8
    e.linebuf_insertstr(&lb, L"def", -1);  // need 8: fits exactly
    ASSERT_EQ(lb.cap, 8u);
    ASSERT_EQ(lb.used, 8u) << "the buffer is full";
    const wchar_t* old = lb.text;
    e.linebuf_insertstr(&lb, L"xy", 0);    // need 11
    EXPECT_NE(lb.text, old);
    EXPECT_EQ(lb.cap, 22u);
    ASSERT_EQ(countid(e, linebufid), 1u) << "the old block was given back";
    EXPECT_EQ(findid(e, linebufid)->size, 23 * sizeof(wchar_t));
    EXPECT_EQ(findid(e, linebufid)->ptr, lb.text);
    EXPECT_EQ(linesof(lb), (std::vector<std::wstring>{L"xy", L"abc", L"def"}));
    EXPECT_EQ(lb.lines[0], lb.text);
    EXPECT_EQ(lb.lines[1], lb.text + 3);
    EXPECT_EQ(lb.lines[2], lb.text + 7);
    EXPECT_EQ(lb.used, 11u);
    expectpacked(lb);

    // Many more lines, always at 0: every growth keeps every line readable.
    std::vector<std::wstring> want = linesof(lb);
    for (int k = 0; k < 200; ++k) {
        std::wstring t = L"line " + std::to_wstring(k) + std::wstring(static_cast<size_t>(k % 7), L'.');
        e.linebuf_insertstr(&lb, t.c_str(), 0);
        want.insert(want.begin(), t);
    }
    EXPECT_EQ(linesof(lb), want);
    expectpacked(lb);
    EXPECT_EQ(countid(e, linebufid), 1u);
    e.myfree(lb.text, static_cast<int32_t>(lb.textid));
    EXPECT_TRUE(e.allocs.empty());
}

TEST(LineBuffer, ALineOfTheBufferItselfCanBeInserted)
{
    ExeScr e;
    LineBuf lb;
    e.linebuf_insertstr(&lb, L"abc", -1);
    e.linebuf_insertstr(&lb, L"def", -1);  // full
    e.linebuf_insertstr(&lb, lb.lines[1], 0);  // grows: the source block is freed
    e.linebuf_insertstr(&lb, lb.lines[0], 1);  // no growth: the source moves
    EXPECT_EQ(linesof(lb), (std::vector<std::wstring>{L"def", L"def", L"abc", L"def"}));
    expectpacked(lb);
    e.myfree(lb.text, static_cast<int32_t>(lb.textid));
}

TEST(LineBuffer, RemovingLines)
{
    ExeScr e;
    LineBuf lb;
    e.linebuf_insertstr(&lb, L"only", -1);
    e.linebuf_at(&lb, 0);
    EXPECT_TRUE(lb.lines.empty()) << "removing the only line";
    EXPECT_EQ(lb.used, 0u);
    EXPECT_EQ(lb.text[0], 0);

    for (const wchar_t* t : {L"a", L"bb", L"ccc", L"dddd"})
        e.linebuf_insertstr(&lb, t, -1);
    e.linebuf_at(&lb, 1);
    EXPECT_EQ(linesof(lb), (std::vector<std::wstring>{L"a", L"ccc", L"dddd"}));
    expectpacked(lb);
    e.linebuf_at(&lb, 2);
    EXPECT_EQ(linesof(lb), (std::vector<std::wstring>{L"a", L"ccc"}));
    expectpacked(lb);
    e.linebuf_at(&lb, 0);
    EXPECT_EQ(linesof(lb), std::vector<std::wstring>{L"ccc"});
    expectpacked(lb);
    e.linebuf_insertstr(&lb, L"new", 0);
    EXPECT_EQ(linesof(lb), (std::vector<std::wstring>{L"new", L"ccc"}));
    expectpacked(lb);
    e.myfree(lb.text, static_cast<int32_t>(lb.textid));
}

TEST(LineBuffer, IndexesOutOfRangeAreFatal)
{
    auto twolines = [](ExeScr& x) -> LineBuf* {
        LineBuf* lb = new LineBuf();  // the fatal exit never hands it back
        x.linebuf_insertstr(lb, L"a", -1);
        x.linebuf_insertstr(lb, L"b", -1);
        return lb;
    };
    EXPECT_EQ(expectfatal(fatalengine(), [&](ExeScr& x) { x.linebuf_at(twolines(x), -1); }),
              L"number of position is invalid: num=-1, max=2") << "a negative index";
    EXPECT_EQ(expectfatal(fatalengine(), [&](ExeScr& x) { x.linebuf_at(twolines(x), INT32_MIN); }),
              L"number of position is invalid: num=-2147483648, max=2");
    EXPECT_EQ(expectfatal(fatalengine(), [&](ExeScr& x) { x.linebuf_at(twolines(x), 2); }),
              L"number of position is invalid: num=2, max=2") << "a too-large index";
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { LineBuf lb; x.linebuf_at(&lb, 0); }),
              L"number of position is invalid: num=0, max=0") << "no lines at all";
    EXPECT_EQ(expectfatal(fatalengine(), [&](ExeScr& x) { x.linebuf_insertstr(twolines(x), L"z", 3); }),
              L"number of position is invalid: num=3, max=2");
    EXPECT_EQ(expectfatal(fatalengine(), [&](ExeScr& x) { x.linebuf_insertstr(twolines(x), L"z", -2); }),
              L"number of position is invalid: num=-2, max=2");
    EXPECT_EQ(expectfatal(fatalengine(), [&](ExeScr& x) { x.linebuf_insertptr(twolines(x), nullptr, 3); }),
              L"number of position is invalid: num=3, max=2");
}

TEST(LineBuffer, InsertPtrInsertsBeforeTheIndexOrAppends)
{
    ExeScr e;
    LineBuf lb;
    wchar_t a[] = L"a", b[] = L"b", c[] = L"c", d[] = L"d";
    e.linebuf_insertptr(&lb, b, -1);
    e.linebuf_insertptr(&lb, a, 0);
    e.linebuf_insertptr(&lb, d, 2);
    e.linebuf_insertptr(&lb, c, 2);
    EXPECT_EQ(linesof(lb), (std::vector<std::wstring>{L"a", L"b", L"c", L"d"}));
    EXPECT_TRUE(e.allocs.empty());
}

TEST(FileHandles, APoppedLocalRecordClosesItsFile)
{
    const std::wstring path = qtest::scratchdir() + L"popped.txt";
    ExeScr e;
    e.fppushlocal(L"f");
    HANDLE h = openlocked(path);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    e.fplocal[0].open = 1;
    e.fplocal[0].hfile = h;
    e.linebuf_insertstr(&e.fplocal[0].lb, L"never written", -1);
    EXPECT_FALSE(exclusive(path)) << "the record's handle locks the file";
    e.fppoplocal(1);
    EXPECT_TRUE(exclusive(path)) << "popping closed the file";
    EXPECT_TRUE(DeleteFileW(path.c_str()));
    EXPECT_TRUE(e.allocs.empty());
}

TEST(FileHandles, FreeAllAndFreeLocalCloseTheRemainingFiles)
{
    const std::wstring gpath = qtest::scratchdir() + L"global.txt";
    const std::wstring cpath = qtest::scratchdir() + L"closedflag.txt";
    const std::wstring lpath = qtest::scratchdir() + L"local.txt";
    ExeScr e;
    e.fpfind(L"g");
    e.fpfind(L"c");
    e.fppushlocal(L"l");
    e.fpglobal[0].open = 1;
    e.fpglobal[0].hfile = openlocked(gpath);
    e.fpglobal[1].hfile = openlocked(cpath);  // a handle on a record marked closed
    e.fplocal[0].open = 1;
    e.fplocal[0].hfile = openlocked(lpath);
    ASSERT_NE(e.fpglobal[0].hfile, INVALID_HANDLE_VALUE);
    ASSERT_NE(e.fpglobal[1].hfile, INVALID_HANDLE_VALUE);
    ASSERT_NE(e.fplocal[0].hfile, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(exclusive(gpath));
    EXPECT_FALSE(exclusive(lpath));

    e.fpfreeall();
    EXPECT_TRUE(exclusive(gpath)) << "fpfreeall closed the open record's file";
    EXPECT_TRUE(exclusive(cpath)) << "and any other handle left on a record";
    EXPECT_FALSE(exclusive(lpath)) << "the local stack is not fpfreeall's";
    e.fpfreelocal();
    EXPECT_TRUE(exclusive(lpath)) << "fpfreelocal closed the local record's file";
    EXPECT_TRUE(DeleteFileW(gpath.c_str()));
    EXPECT_TRUE(DeleteFileW(cpath.c_str()));
    EXPECT_TRUE(DeleteFileW(lpath.c_str()));
}

TEST(FileHandles, ClosingIsSafeWithoutAFile)
{
    ExeScr e;
    e.fpfind(L"none");
    e.fpglobal[0].open = 1;  // open flag, but no handle (create on first write)
    e.fpglobal[0].createonwrite = 1;
    e.fppushlocal(L"none");
    e.fppushlocal(L"none2");
    e.fppoplocal(1);
    e.fpfreeall();
    e.fpfreelocal();
    EXPECT_TRUE(e.fpglobal.empty());
    EXPECT_TRUE(e.fplocal.empty());
}
