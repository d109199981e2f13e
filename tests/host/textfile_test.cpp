#include <gtest/gtest.h>

#include "core/textfile.h"
#include "host/hostenv.h"

using namespace host;

namespace {

int filesin(const std::wstring& dir)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
    int n = 0;
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L".."))
            ++n;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return n;
}

}  // namespace

TEST(ScriptText, ByteOrderMarkOrAnsiConversion)
{
    std::wstring text;
    bool converted = true;
    DWORD err = 0;
    const std::string utf = htest::utf16(L"a\x20ACz") + "!";  // odd last byte dropped
    ASSERT_TRUE(decodescript(utf.data(), utf.size(), text, converted, err));
    EXPECT_EQ(text, L"a\x20ACz");
    EXPECT_FALSE(converted);

    ASSERT_TRUE(decodescript("hi\r\n", 4, text, converted, err));
    EXPECT_EQ(text, L"hi\r\n");
    EXPECT_TRUE(converted);

    ASSERT_TRUE(decodescript("", 0, text, converted, err));  // an empty file converts to nothing
    EXPECT_TRUE(text.empty());
    EXPECT_TRUE(converted);
}

TEST(AtomicWrite, ReplacesTheWholeFileAndLeavesNoTemporary)
{
    const std::wstring dir = htest::scratch(L"save");
    const std::wstring path = dir + L"a.tst";
    htest::writebytes(path, "old contents that are longer");
    const std::wstring text = withbom(L"new");
    DWORD err = 0;
    ASSERT_EQ(writefileatomic(path, text.data(), text.size() * 2, err), writefail::none);
    EXPECT_EQ(htest::readbytes(path), htest::utf16(L"new"));
    EXPECT_EQ(filesin(dir), 1);
}

// A file that cannot be reached for writing fails as opening fails, whatever
// stopped it: the save reports it with the text of a failed open.
TEST(AtomicWrite, FailureLeavesTheTargetAndNoTemporary)
{
    const std::wstring dir = htest::scratch(L"save");
    // A folder where the file should be: the replacement cannot happen.
    const std::wstring path = dir + L"a.tst";
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    DWORD err = 0;
    EXPECT_EQ(writefileatomic(path, "x", 1, err), writefail::open);
    EXPECT_NE(err, 0u);
    EXPECT_EQ(filesin(dir), 1);
    EXPECT_NE(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

    // A read-only target is not replaced either.
    const std::wstring ro = dir + L"ro.tst";
    htest::writebytes(ro, "keep");
    SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(writefileatomic(ro, "x", 1, err), writefail::open);
    EXPECT_EQ(htest::readbytes(ro), "keep");
    EXPECT_EQ(filesin(dir), 2);
    SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_NORMAL);

    // No such folder.
    EXPECT_EQ(writefileatomic(dir + L"none\\a.tst", "x", 1, err), writefail::open);
}

TEST(WholeFile, ReadsIntoATrackedBlock)
{
    const std::wstring path = htest::scratch(L"read") + L"f.bin";
    htest::writebytes(path, std::string("abc", 3));
    hostblock block;
    uint64_t n = 0;
    DWORD err = 0;
    ASSERT_EQ(readwhole(path, id_scriptread, block, n, err), readfail::none);
    EXPECT_EQ(n, 3u);
    EXPECT_STREQ(block.as<char>(), "abc");
    EXPECT_EQ(readwhole(path + L"x", id_scriptread, block, n, err), readfail::open);
    EXPECT_EQ(err, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(AtomicWrite, WaitsForAReaderThatHasTheTargetOpenForAMoment)
{
    const std::wstring path = htest::scratch(L"save") + L"a.tst";
    htest::writebytes(path, "old");
    HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    HANDLE closer = CreateThread(
        nullptr, 0,
        [](void* h) -> DWORD {
            Sleep(100);
            CloseHandle(static_cast<HANDLE>(h));
            return 0;
        },
        reader, 0, nullptr);
    DWORD err = 0;
    EXPECT_EQ(writefileatomic(path, "new", 3, err), writefail::none) << err;
    WaitForSingleObject(closer, 5000);
    CloseHandle(closer);
    EXPECT_EQ(htest::readbytes(path), "new");
}

TEST(AtomicWrite, AHardLinkSeesTheNewText)
{
    const std::wstring dir = htest::scratch(L"save");
    const std::wstring path = dir + L"a.tst", link = dir + L"link.tst";
    htest::writebytes(path, "old contents that are longer");
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), path.c_str(), nullptr));
    DWORD err = 0;
    ASSERT_EQ(writefileatomic(path, "new", 3, err), writefail::none) << err;
    EXPECT_EQ(htest::readbytes(path), "new");
    EXPECT_EQ(htest::readbytes(link), "new") << "the other name kept the old text";
    EXPECT_EQ(filesin(dir), 2);  // no temporary left
    // Longer than before, through the other name.
    ASSERT_EQ(writefileatomic(link, "a longer text than any before", 29, err), writefail::none) << err;
    EXPECT_EQ(htest::readbytes(path), "a longer text than any before");
    EXPECT_EQ(filesin(dir), 2);
}

TEST(AtomicWrite, AFailedSaveKeepsTheOriginal)
{
    const std::wstring dir = htest::scratch(L"save");
    const std::wstring plain = dir + L"plain.tst", linked = dir + L"linked.tst", link = dir + L"link.tst";
    htest::writebytes(plain, "original");
    htest::writebytes(linked, "original");
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), linked.c_str(), nullptr));
    // A reader that lets nobody write or delete the file for the whole save:
    // neither a replacement nor an overwrite can happen.
    for (const std::wstring& path : {plain, linked}) {
        HANDLE reader = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        DWORD err = 0;
        EXPECT_EQ(writefileatomic(path, "new", 3, err), writefail::open);
        EXPECT_NE(err, 0u);
        CloseHandle(reader);
        EXPECT_EQ(htest::readbytes(path), "original");
    }
    EXPECT_EQ(htest::readbytes(link), "original");
    EXPECT_EQ(filesin(dir), 3);  // no temporary left
}

TEST(AtomicWrite, ANewFileIsMadeWhole)
{
    const std::wstring dir = htest::scratch(L"save");
    DWORD err = 0;
    ASSERT_EQ(writefileatomic(dir + L"quorvel.ini", "[main]", 6, err), writefail::none) << err;
    EXPECT_EQ(htest::readbytes(dir + L"quorvel.ini"), "[main]");
    EXPECT_EQ(filesin(dir), 1);
}

TEST(AtomicWrite, AForwardSlashPathKeepsItsTemporaryInItsOwnFolder)
{
    const std::wstring dir = htest::scratch(L"save");
    std::wstring slashed = dir + L"a.tst";
    for (wchar_t& c : slashed)
        if (c == L'\\')
            c = L'/';
    htest::writebytes(dir + L"a.tst", "old");
    DWORD err = 0;
    ASSERT_EQ(writefileatomic(slashed, "new", 3, err), writefail::none) << err;
    EXPECT_EQ(htest::readbytes(dir + L"a.tst"), "new");
    EXPECT_EQ(filesin(dir), 1);
}
