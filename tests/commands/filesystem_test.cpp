// File-system commands where scripts cannot look: the recycle-bin request,
// the stacks after a failure, a long current directory, creation times, lines
// forced past the log's suppression, and the front ends' errors.
#include <gtest/gtest.h>

#include <initializer_list>

#include "commands/filesystem.h"
#include "runtime/exescr.h"
#include "support/codelist.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

using qtest::popint;
using qtest::popstr;
using qtest::runop;

namespace {

// A folder of this test alone, below the scratch folder.
std::wstring testdir(const wchar_t* name)
{
    const std::wstring dir = qtest::scratchdir() + name;
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

void makefile(const std::wstring& path)
{
    CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

void pushtext(ExeScr& e, const std::wstring& text) { e.pushstrtext(text.c_str(), text.size(), 217); }

}  // namespace

TEST(FileSystem, RecycleRequestIsSilentAndUndoable)
{
    const wchar_t from[] = L"C:\\x\\y.txt\0";
    const SHFILEOPSTRUCTW op = recyclerequest(from);
    EXPECT_EQ(op.hwnd, nullptr);
    EXPECT_EQ(op.wFunc, static_cast<UINT>(FO_DELETE));
    EXPECT_EQ(op.pFrom, from);
    EXPECT_EQ(op.pTo, nullptr);
    EXPECT_EQ(op.fFlags, 0x54) << "FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO";
}

TEST(FileSystem, RecycleOfAMissingFileAnswersItsCode)
{
    // Only a missing file reaches the platform here: the test machine's recycle
    // bin is left alone. The path ends in two NULs, the answer is non-zero and
    // the last-error text stays as it was.
    ExeScr e;
    e.syserrtext = L"before";
    const std::wstring missing = testdir(L"fs_recycle") + L"\\none.txt";
    e.pushint(1);
    pushtext(e, missing);
    runop(e, &ExeScr::deletefile_exec, 2);
    EXPECT_NE(popint(e), 0);
    EXPECT_EQ(e.syserrtext, L"before");
    // Flag 0 takes the plain path: 0 and the system's message.
    e.pushint(0);
    pushtext(e, missing);
    runop(e, &ExeScr::deletefile_exec, 2);
    EXPECT_EQ(popint(e), 0);
    EXPECT_NE(e.syserrtext, L"before");
    EXPECT_EQ(e.datd.count(), 0);
    EXPECT_EQ(e.dats.count(), 0);
    e.freedatd();
    e.freedats();
}

TEST(FileSystem, EveryArgumentIsTakenOffWhenTheFileIsMissing)
{
    ExeScr e;
    const std::wstring missing = testdir(L"fs_missing") + L"\\none.txt";
    for (int64_t word : {3, 4, 5}) {
        e.pushint(5);
        pushtext(e, missing);
        runop(e, &ExeScr::setfiletime_exec, word);
        EXPECT_EQ(popint(e), 0);
        EXPECT_EQ(e.datd.count(), 0) << word;
        EXPECT_EQ(e.dats.count(), 0) << word;
    }
    pushtext(e, missing);
    pushtext(e, missing);
    runop(e, &ExeScr::setfiletime_exec, 1);
    EXPECT_EQ(popint(e), 0);
    EXPECT_EQ(e.dats.count(), 0);
    pushtext(e, missing);
    runop(e, &ExeScr::getfiletime_exec, 2);
    const datdcell t = e.popd();
    EXPECT_EQ(t.isint, 0u);
    EXPECT_EQ(t.d, -1.0);
    pushtext(e, missing);
    e.getfilesize_exec();
    EXPECT_EQ(popint(e), 4294967295);
    pushtext(e, missing);
    e.getfileattribute_exec();
    EXPECT_EQ(popint(e), 4294967295) << "zero-extended";
    e.freedatd();
    e.freedats();
}

TEST(FileSystem, TimesOfEachKindAndBefore1970)
{
    // Each "set" word sets its own time alone. Whether a file system keeps a
    // creation time is its own affair: the call is checked, and the time read
    // back only where the system keeps it.
    const std::wstring f = testdir(L"fs_times") + L"\\t.txt";
    makefile(f);
    ExeScr e;
    const auto settime = [&](int64_t word, int64_t secs) {
        e.pushint(secs);
        pushtext(e, f);
        runop(e, &ExeScr::setfiletime_exec, word);
        return popint(e);
    };
    const auto gettime = [&](int64_t which) {
        pushtext(e, f);
        runop(e, &ExeScr::getfiletime_exec, which);
        const datdcell c = e.popd();
        EXPECT_EQ(c.isint, 0u);
        return c.d;
    };
    EXPECT_EQ(settime(5, -315360000), 1);
    EXPECT_EQ(settime(3, 1000000000), 1);
    EXPECT_NE(gettime(0), -1.0);
    EXPECT_EQ(gettime(2), -315360000.0) << "set0 leaves the write time, negative before 1970";
    // Seconds far outside a FILETIME wrap instead of overflowing: the platform
    // answers, the script goes on.
    settime(5, INT64_MAX);
    EXPECT_EQ(e.datd.count(), 0);
    DeleteFileW(f.c_str());
    e.freedatd();
    e.freedats();
}

TEST(FileSystem, LongCurrentDirectoryGoesToTheHeap)
{
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    std::wstring deep = testdir(L"fs_curdir");
    deep += L"\\a-folder-name-long-enough-to-pass-the-inline-room-of-a-datum";
    CreateDirectoryW(deep.c_str(), nullptr);
    ASSERT_GT(deep.size(), 64u);

    ExeScr e;
    pushtext(e, deep);
    e.setcurrentdirectory_exec();
    EXPECT_NE(popint(e), 0);
    e.getcurrentdirectory_exec();
    EXPECT_EQ(qtest::countid(e, 2210), 1u);
    EXPECT_EQ(popstr(e), deep);
    EXPECT_EQ(qtest::countid(e, 2210), 0u) << "given back by the consumer";

    const std::wstring missing = deep + L"\\none";
    e.syserrtext = L"kept";
    pushtext(e, missing);
    e.setcurrentdirectory_exec();
    EXPECT_EQ(popint(e), 0);
    EXPECT_EQ(e.syserrtext, L"kept") << "setcurrentdirectory sets no last-error text";

    SetCurrentDirectoryW(saved);
    RemoveDirectoryW(deep.c_str());
    e.freedatd();
    e.freedats();
}

TEST(FileSystem, FailureLinesAreForcedPastSuppression)
{
    const std::wstring missing = testdir(L"fs_forced") + L"\\none";
    qtest::loggedengine e(L"fs_forced");
    e.logsupfile = 2;
    e.pushint(1);
    pushtext(e, missing);
    e.setfileattributes_exec();
    pushtext(e, missing);
    runop(e, &ExeScr::deletefile_exec, 1);
    pushtext(e, missing);
    e.removedirectory_exec();
    // Without the log switch nothing is written.
    e.logon = 0;
    pushtext(e, missing);
    e.removedirectory_exec();
    e.closelog();
    const std::wstring log = e.contents();
    EXPECT_NE(log.find(L"Error:" + missing + L":"), std::wstring::npos) << qtest::narrow(log);
    EXPECT_NE(log.find(L"DeleteFile failed.:" + missing + L":"), std::wstring::npos);
    const size_t first = log.find(L"RemoveDirectory failed.:" + missing + L":");
    EXPECT_NE(first, std::wstring::npos);
    EXPECT_EQ(log.find(L"RemoveDirectory failed.", first + 1), std::wstring::npos);
    e.freedatd();
    e.freedats();
}

TEST(FileSystemFrontEnds, WordsAndCountsAreCompileErrors)
{
    qtest::expectexits(L"fserr", {
        {L"x = setfiletime(xyz, \"a\", 1)\r\n", L"Not supported command:xyz at line 1"},
        {L"x = setfiletime( , \"a\", 1)\r\n", L"Not supported command: at line 1"},
        {L"x = setfiletime(Set2, \"a\", 1)\r\n", L"Not supported command:Set2 at line 1"},
        {L"x = setfiletime(now, \"a\", 1)\r\n", L"the number of argument mismatch. at line 1"},
        {L"x = setfiletime(set2, \"a\")\r\n", L"the number of argument mismatch. at line 1"},
        {L"x = setfiletime(dir, \"a\")\r\n", L"the number of argument mismatch. at line 1"},
        {L"x = getfiletime(\"a\", 3)\r\n", L"Not supported parameter. at line 1"},
        {L"x = getfiletime(\"a\", )\r\n", L"Not supported parameter. at line 1"},
        {L"x = getfiletime(\"a\")\r\n", L"the number of argument mismatch. at line 1"},
        {L"x = copyfile(\"a\", \"b\")\r\n", L"the number of argument mismatch. at line 1"},
        {L"x = movefile(\"a\", \"b\", 1)\r\n", L"the number of argument mismatch. at line 1"},
        {L"x = deletefile(\"a\", 1, 2)\r\n", L"the number of argument mismatch. at line 1"},
        {L"x = setfileattributes(\"a\")\r\n", L"the number of argument mismatch. at line 1"},
    });
}
