// DialogBox and DialogBox2: buttons and separators, shortcuts without case,
// clicks, scrolling when taller than the monitor, and the bound on texts.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/scriptrun.h"
#include "support/testenv.h"
#include "windows/boxdriver.h"

using qtest::boxscript;

TEST(DialogBoxes, ShortcutsClicksAndSeparators)
{
    SetCursorPos(100, 100);
    boxscript s(L"dialogbox1", LR"(main
{
    items[0] = "Open"
    items[1] = "SP"
    items[2] = "Save"
    printf("s %d\n", dialogbox(items, 3))
    printf("O %d\n", dialogbox(items, 3))
    printf("x %d\n", dialogbox(items, 3))
    printf("a %d\n", dialogbox2("apple", "avocado", "pear"))
    printf("click %d\n", dialogbox2("one", "SP", "three"))
    for (i = 0; i < 60; i++) {
        big[i] = "item" i
    }
    printf("big %d\n", dialogbox(big, 60))
    printf("small %d\n", dialogbox(items, 1))
}
)");
    HWND d = qtest::nextwindow(L"quorvel.dialogbox", nullptr);
    ASSERT_NE(d, nullptr) << qtest::narrow(s.logtext());
    EXPECT_EQ(qtest::wintext(d), L"DialogBox");
    HWND open = qtest::findchild(d, L"Button", 0);
    HWND save = qtest::findchild(d, L"Button", 1);
    HWND line = qtest::findchild(d, L"Static");
    ASSERT_NE(open, nullptr);
    ASSERT_NE(save, nullptr);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(qtest::wintext(open), L"Open");
    EXPECT_EQ(qtest::wintext(save), L"Save");
    RECT lr, orc, sr;
    GetWindowRect(line, &lr);
    GetWindowRect(open, &orc);
    GetWindowRect(save, &sr);
    EXPECT_EQ(lr.bottom - lr.top, 2) << "a separator is a 2-pixel line";
    EXPECT_EQ(lr.top, orc.bottom);
    EXPECT_EQ(sr.top, lr.bottom);
    PostMessageW(d, WM_CHAR, L's', 0);

    HWND d2 = qtest::nextwindow(L"quorvel.dialogbox", d);
    ASSERT_NE(d2, nullptr);
    PostMessageW(d2, WM_CHAR, L'O', 0);
    HWND d3 = qtest::nextwindow(L"quorvel.dialogbox", d2);
    ASSERT_NE(d3, nullptr);
    SendMessageW(d3, WM_CHAR, L'z', 0);
    EXPECT_TRUE(IsWindow(d3)) << "z does nothing";
    PostMessageW(d3, WM_CHAR, L'x', 0);

    HWND e = qtest::nextwindow(L"quorvel.dialogbox2", nullptr);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(qtest::wintext(e), L"DialogBox2");
    PostMessageW(e, WM_CHAR, L'a', 0);
    HWND e2 = qtest::nextwindow(L"quorvel.dialogbox2", e);
    ASSERT_NE(e2, nullptr);
    HWND three = qtest::findchild(e2, L"Button", 1);
    ASSERT_NE(three, nullptr);
    EXPECT_EQ(qtest::wintext(three), L"three");
    PostMessageW(e2, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(three), BN_CLICKED), reinterpret_cast<LPARAM>(three));

    HWND big = qtest::nextwindow(L"quorvel.dialogbox", d3);
    ASSERT_NE(big, nullptr);
    RECT br;
    GetWindowRect(big, &br);
    EXPECT_TRUE(GetWindowLongPtrW(big, GWL_STYLE) & WS_VSCROLL) << "taller than the monitor";
    EXPECT_EQ(br.bottom - br.top, GetSystemMetrics(SM_CYSCREEN));
    SendMessageW(big, WM_VSCROLL, SB_BOTTOM, 0);
    SCROLLINFO si = {};
    si.cbSize = sizeof si;
    si.fMask = SIF_POS;
    GetScrollInfo(big, SB_VERT, &si);
    EXPECT_GT(si.nPos, 0);
    PostMessageW(big, WM_CHAR, L'I', 0);
    HWND small = qtest::nextwindow(L"quorvel.dialogbox", big);
    ASSERT_NE(small, nullptr);
    EXPECT_FALSE(GetWindowLongPtrW(small, GWL_STYLE) & WS_VSCROLL);
    EXPECT_EQ(qtest::findchild(small, L"Static"), nullptr) << "only its own two texts";
    PostMessageW(small, WM_CHAR, L'o', 0);
    ASSERT_TRUE(s.ended());
    const std::vector<std::wstring> want = {L"s 2", L"O 0", L"x -1", L"a 1", L"click 2", L"big 59", L"small 0"};
    EXPECT_EQ(s.lines(), want);
}

TEST(DialogBoxes, Refusals)
{
    std::wstring many = L"dialogbox2(\"a\"";
    for (int k = 1; k < 257; ++k)
        many += L", \"a\"";
    many += L")\n";
    const std::wstring refused = qtest::runscript(L"dlgmany", many);
    EXPECT_NE(refused.find(L"the number of argument mismatch. at line 1"), std::wstring::npos) << qtest::narrow(refused);
    EXPECT_NE(qtest::runscript(L"dlgname", L"dialogbox(1items, 2)\n").find(L"invalid name."), std::wstring::npos);
    EXPECT_NE(qtest::runscript(L"dlgzero", L"x[0] = \"a\"\ndialogbox(x, 0)\n").find(L"invalid number error."),
              std::wstring::npos);
    const std::wstring notext = qtest::runscript(L"dlgnum", L"y[0] = 5\ndialogbox(y, 1)\n");
    EXPECT_NE(notext.find(L"invalid string.:y[]:"), std::wstring::npos) << qtest::narrow(notext);
}
