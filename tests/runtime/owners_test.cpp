// The owners both the engine and the host hold system handles with: what
// they free, when, and that a moved or released handle is freed once, by its
// new holder or not at all.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>

#include "runtime/owners.h"
#include "support/testenv.h"

namespace {

// A file opened with no sharing: while any handle to it is open, another
// open fails, so whether an owner closed it can be seen from outside.
HANDLE openalone(const std::wstring& path, DWORD disposition)
{
    return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool held(const std::wstring& path)
{
    const owners::handle h(openalone(path, OPEN_EXISTING));
    return !h.valid() && GetLastError() == ERROR_SHARING_VIOLATION;
}

TEST(Owners, KernelHandleIsClosedOnceByWhoeverHoldsIt)
{
    const std::wstring path = qtest::scratchdir() + L"owners_moved.bin";
    owners::handle later;
    {
        owners::handle first(openalone(path, CREATE_ALWAYS));
        ASSERT_TRUE(first.valid());
        later = std::move(first);
        EXPECT_FALSE(first.valid());
    }
    EXPECT_TRUE(held(path)) << "the moved-from owner closed what it gave away";
    owners::handle third(std::move(later));
    EXPECT_FALSE(later.valid()) << "both would close it";
    EXPECT_TRUE(held(path));
    EXPECT_TRUE(third.close()) << "a close that succeeded reports so";
    EXPECT_FALSE(third.valid());
    EXPECT_FALSE(held(path));
    EXPECT_TRUE(third.close()) << "closing nothing is no failure";

    // Released, the handle is the caller's: the owner's end leaves it open.
    HANDLE raw;
    {
        owners::handle h(openalone(path, OPEN_EXISTING));
        raw = h.release();
    }
    EXPECT_TRUE(held(path));
    CloseHandle(raw);
    DeleteFileW(path.c_str());
}

TEST(Owners, FailedOpensHoldNothing)
{
    // CreateFile and FindFirstFile fail with INVALID_HANDLE_VALUE, not null.
    const std::wstring missing = qtest::scratchdir() + L"owners_missing\\none.bin";
    const owners::handle file(openalone(missing, OPEN_EXISTING));
    EXPECT_FALSE(file.valid());
    WIN32_FIND_DATAW fd;
    const owners::findhandle find(FindFirstFileW(missing.c_str(), &fd));
    EXPECT_FALSE(find.valid());
    EXPECT_FALSE(owners::findhandle().valid()) << "a fresh find owner is none";
    const owners::regkey key;
    EXPECT_FALSE(key.valid());
}

TEST(Owners, GdiObjectIsDeletedWhenItsOwnerGoesOrIsReset)
{
    HBRUSH raw;
    {
        owners::gdiobject<HBRUSH> brush(CreateSolidBrush(RGB(1, 2, 3)));
        raw = brush.get();
        ASSERT_EQ(GetObjectType(raw), static_cast<DWORD>(OBJ_BRUSH));
        HBRUSH second = CreateSolidBrush(RGB(4, 5, 6));
        brush.reset(second);
        EXPECT_EQ(GetObjectType(raw), 0u) << "reset deletes what was held";
        raw = second;
        EXPECT_EQ(GetObjectType(raw), static_cast<DWORD>(OBJ_BRUSH));
    }
    EXPECT_EQ(GetObjectType(raw), 0u);
}

LRESULT CALLBACK plainproc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }

TEST(Owners, WindowDcGivesBackTheObjectItSelected)
{
    // A window of its own DC keeps what is selected into it from one GetDC to
    // the next: a font left there could not be deleted.
    WNDCLASSW wc = {};
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = plainproc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"quorveltest.owndc";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, wc.hInstance,
                             nullptr);
    ASSERT_NE(w, nullptr);
    const owners::gdiobject<HFONT> font(CreateFontW(-13, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                                                    L"Tahoma"));
    HDC before = GetDC(w);
    HGDIOBJ original = GetCurrentObject(before, OBJ_FONT);
    ReleaseDC(w, before);
    {
        const owners::windowdc dc(w, font.get());
        ASSERT_TRUE(dc);
        EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font.get());
    }
    HDC after = GetDC(w);
    EXPECT_EQ(GetCurrentObject(after, OBJ_FONT), original);
    ReleaseDC(w, after);
    DestroyWindow(w);
}

}  // namespace
