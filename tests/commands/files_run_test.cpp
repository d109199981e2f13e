// File pointers a run leaves open: at its end they are closed without writing.
#include <gtest/gtest.h>

#include <string>

#include "runtime/quorvelcore.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

using qtest::pump;
using qtest::scratchdir;

TEST(FileRun, PointersLeftOpenAreClosedWithoutWriting)
{
    const std::wstring dir = scratchdir();
    const std::wstring script = dir + L"leftopen.tst";
    // The run's folder is the current directory: the names are relative.
    qtest::writescript(script, L"main\r\n{\r\n"
                               L"    fopen(t, \"left_text.txt\", w)\r\n"
                               L"    fwrite(t, \"never\")\r\n"
                               L"    fopen(b, \"left_bytes.dat\", bw)\r\n"
                               L"    fbwrite(b, 0, 1)\r\n"
                               L"    fopen(r, \"left_text.txt\", r)\r\n"
                               L"    fopen(o, \"left_old.txt\", w)\r\n"
                               L"    fclose(o)\r\n"
                               L"    fopen(rw, \"left_old.txt\", rw)\r\n"
                               L"    fwrite(rw, \"new\", 0)\r\n"
                               L"}\r\n");
    startMyExec(script.c_str());
    const ULONGLONG end = GetTickCount64() + 10000;
    while (queryexealive(script.c_str()) && GetTickCount64() < end)
        pump(10);
    ASSERT_EQ(queryexealive(script.c_str()), 0);
    for (const wchar_t* name : {L"left_text.txt", L"left_bytes.dat", L"left_old.txt"}) {
        const std::wstring path = dir + name;
        // No handle of the run is left: the file opens exclusively.
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << qtest::narrow(name) << " error " << GetLastError();
        LARGE_INTEGER size = {};
        GetFileSizeEx(h, &size);
        CloseHandle(h);
        // Only what "fopen" wrote at once: the mark of a UTF-16 text.
        EXPECT_EQ(size.QuadPart, name[5] == L'b' ? 0 : 2) << qtest::narrow(name);
        DeleteFileW(path.c_str());
    }
    DeleteFileW(script.c_str());
}
