// File pointers where a script cannot reach: writes that fail, files too large
// to load, and the line buffer of a file with NULs in its text.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <functional>
#include <string>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "support/codelist.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;
using qtest::popint;
using qtest::runop;
using qtest::scratchdir;

namespace {

// The operand of the global pointer `name`, with a command's small value.
int64_t global(ExeScr& e, const wchar_t* name, uint32_t small = 0)
{
    return (static_cast<int64_t>(e.fpfind(name)) << 32) | (1 << 16) | small;
}

// "fopen" of `path` with mode bits; returns the result.
int64_t fopen(ExeScr& e, const wchar_t* name, const std::wstring& path, uint32_t mode)
{
    e.pushstrtext(path.c_str(), path.size(), 217);
    runop(e, &ExeScr::fopen_exec, global(e, name, mode));
    return popint(e);
}

void fwrite(ExeScr& e, const wchar_t* name, const std::wstring& text, int64_t index)
{
    e.pushstrtext(text.c_str(), text.size(), 217);
    e.pushint(index);
    runop(e, &ExeScr::fwrite_exec, global(e, name));
}

// Puts a stand-in for the write call in place while it lives.
struct writeseam {
    explicit writeseam(BOOL(WINAPI* f)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED)) { ExeScr::fpwritefile = f; }
    ~writeseam() { ExeScr::fpwritefile = WriteFile; }
    writeseam(const writeseam&) = delete;
    writeseam& operator=(const writeseam&) = delete;
};

BOOL WINAPI diskfull(HANDLE, LPCVOID, DWORD, LPDWORD done, LPOVERLAPPED)
{
    *done = 0;
    SetLastError(ERROR_HANDLE_DISK_FULL);
    return FALSE;
}

// Reports success for half of what it was given.
BOOL WINAPI halfwrite(HANDLE h, LPCVOID data, DWORD size, LPDWORD done, LPOVERLAPPED)
{
    return WriteFile(h, data, size / 2, done, nullptr);
}

std::wstring message(DWORD err) { return lasterrortext(err); }

// Runs `fn` as a script's run that must end in the failed write of `path`
// with the system's message for `err`; then closes what the run left open.
// A seam is put in place outside the run: a fatal exit never unwinds its thread.
void expectwritefailure(const std::wstring& path, DWORD err, const std::function<void(ExeScr&)>& fn)
{
    ExeScr& e = fatalengine();
    EXPECT_EQ(expectfatal(e, fn), L"File write failed.:" + path + L":" + message(err) + L":");
    EXPECT_EQ(e.syserrtext, message(err));
    for (FilePointer& fp : e.fpglobal)
        if (fp.hfile != INVALID_HANDLE_VALUE) {
            CloseHandle(fp.hfile);
            fp.hfile = INVALID_HANDLE_VALUE;
        }
}

}  // namespace

TEST(FileWrites, AWriteRefusedByTheSystemEndsTheScriptWithPathAndMessage)
{
    const std::wstring path = scratchdir() + L"refused.txt";
    expectwritefailure(path, ERROR_ACCESS_DENIED, [&](ExeScr& x) {
        ASSERT_EQ(fopen(x, L"f", path, ExeScr::fpwrite), 1);
        fwrite(x, L"f", L"kept\r\n", -1);
        // The record's handle swapped for one that may only read: the real
        // WriteFile then fails at the write-out.
        FilePointer& fp = x.fpglobal[x.fpfind(L"f")];
        CloseHandle(fp.hfile);
        fp.hfile = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        runop(x, &ExeScr::fclose_exec, global(x, L"f"));
    });
    EXPECT_EQ(qtest::readbytes(path), std::string("\xFF\xFE", 2));
    DeleteFileW(path.c_str());
}

TEST(FileWrites, TheMarkOfANewFileIsCheckedToo)
{
    const std::wstring path = scratchdir() + L"nomark.txt";
    writeseam seam(diskfull);
    expectwritefailure(path, ERROR_HANDLE_DISK_FULL, [&](ExeScr& x) { fopen(x, L"f", path, ExeScr::fpwrite); });
    DeleteFileW(path.c_str());
}

TEST(FileWrites, AShortWriteIsAFailure)
{
    const std::wstring path = scratchdir() + L"short.txt";
    writeseam seam(halfwrite);  // a UTF-8 open writes nothing
    expectwritefailure(path, ERROR_DISK_FULL, [&](ExeScr& x) {
        ASSERT_EQ(fopen(x, L"f", path, ExeScr::fpwrite | ExeScr::fputf8), 1);
        fwrite(x, L"f", L"direct", -2);
    });
    EXPECT_EQ(qtest::readbytes(path), "dir");
    DeleteFileW(path.c_str());
}

TEST(FileWrites, BinaryBytesAreCheckedAtTheClose)
{
    const std::wstring path = scratchdir() + L"bytes.dat";
    writeseam seam(diskfull);  // a binary open writes nothing
    expectwritefailure(path, ERROR_HANDLE_DISK_FULL, [&](ExeScr& x) {
        ASSERT_EQ(fopen(x, L"b", path, ExeScr::fpwrite | ExeScr::fpbinary), 1);
        x.pushint(-1);
        x.pushint(65);
        runop(x, &ExeScr::fbwrite_exec, global(x, L"b", 1));
        EXPECT_EQ(popint(x), 1);
        runop(x, &ExeScr::fclose_exec, global(x, L"b"));
    });
    DeleteFileW(path.c_str());
}

TEST(FileOpen, FilesOf2GBAndMoreAreRefusedAsAFailedOpen)
{
    const std::wstring path = scratchdir() + L"huge.dat";
    {
        // Sparse where the file system allows: no disk space is taken.
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &n, nullptr);
        LARGE_INTEGER at;
        at.QuadPart = 0x80000000ll;
        ASSERT_TRUE(SetFilePointerEx(h, at, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(h));
        CloseHandle(h);
    }
    qtest::loggedengine e(L"filehuge");
    const uint32_t modes[] = {ExeScr::fpread, ExeScr::fpread | ExeScr::fpbinary, ExeScr::fpwhole,
                              ExeScr::fpreadwrite | ExeScr::fputf8};
    for (uint32_t mode : modes) {
        e.syserrtext.clear();
        EXPECT_EQ(fopen(e, L"f", path, mode), 0) << mode;
        EXPECT_EQ(e.syserrtext, message(ERROR_FILE_TOO_LARGE)) << mode;
        EXPECT_EQ(e.fpglobal[0].open, 0u) << mode;
    }
    EXPECT_EQ(qtest::countid(e, 2120), 0u) << "no buffer was taken";
    e.closelog();
    const std::wstring log = e.contents();
    EXPECT_NE(log.find(L"File open failed.:" + path + L":" + message(ERROR_FILE_TOO_LARGE) + L": \r\n"),
              std::wstring::npos)
        << qtest::narrow(log);
    // The handle was closed: the file can go at once.
    EXPECT_TRUE(DeleteFileW(path.c_str()));
    e.fpfreeall();
    qtest::releaseall(e);
}

TEST(FileLines, NULsInsideAUtf16TextEndLinesAndKeepTheBufferWhole)
{
    const std::wstring path = scratchdir() + L"nuls.txt";
    // Mark, "a", NUL, "b" LF, NUL, NUL, "c".
    qtest::writebytes(path, std::string("\xFF\xFE" "a\0\0\0b\0\n\0\0\0\0\0c\0", 16));
    ExeScr e;
    ASSERT_EQ(fopen(e, L"f", path, ExeScr::fpreadwrite), 1);
    EXPECT_EQ(e.filelinecnt, 3);
    FilePointer& fp = e.fpglobal[0];
    ASSERT_EQ(fp.lb.lines.size(), 3u);
    EXPECT_EQ(std::wstring(fp.lb.lines[0]), L"a");
    EXPECT_EQ(std::wstring(fp.lb.lines[1]), L"b\n");
    EXPECT_EQ(std::wstring(fp.lb.lines[2]), L"c");
    EXPECT_EQ(fp.lb.used, 1u + 2u + 3u + 2u) << "the mark and each line with its NUL";
    e.pushint(0);
    runop(e, &ExeScr::fdel_exec, global(e, L"f"));
    fwrite(e, L"f", L"X", 1);
    runop(e, &ExeScr::fclose_exec, global(e, L"f"));
    EXPECT_EQ(qtest::readbytes(path), std::string("\xFF\xFE" "b\0\n\0X\0c\0", 10));
    DeleteFileW(path.c_str());
    e.fpfreeall();
    qtest::releaseall(e);
}

TEST(FileLines, ALineOfAWritableFileIsACopy)
{
    const std::wstring path = scratchdir() + L"copies.txt";
    qtest::writebytes(path, std::string("\xFF\xFE" "x\0\n\0", 6));
    ExeScr e;
    ASSERT_EQ(fopen(e, L"w", path, ExeScr::fpreadwrite), 1);
    ASSERT_EQ(fopen(e, L"r", path, ExeScr::fpread), 1);
    e.pushint(0);
    runop(e, &ExeScr::fread_exec, global(e, L"w"));
    e.pushint(0);
    runop(e, &ExeScr::fread_exec, global(e, L"r"));
    datscell* ro = e.pops();
    EXPECT_EQ(ro->text, e.fpglobal[e.fpfind(L"r")].lb.lines[0]) << "the stored line itself";
    e.datsrelease(ro);
    datscell* rw = e.pops();
    EXPECT_NE(e.datstext(rw), e.fpglobal[e.fpfind(L"w")].lb.lines[0]);
    EXPECT_EQ(std::wstring(e.datstext(rw)), L"x\n");
    e.datsrelease(rw);
    e.fpfreeall();
    DeleteFileW(path.c_str());
    qtest::releaseall(e);
}
