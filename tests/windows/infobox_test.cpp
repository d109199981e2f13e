// The InfoBox under a running script: its window, messages measured and
// painted, progress bar, trackbar and the trackbar's way to the script.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "support/testenv.h"
#include "windows/boxdriver.h"
#include "windows/infobox.h"

using qtest::boxscript;

TEST(InfoBox, OpensWithMessagesProgressAndTrackbar)
{
    boxscript s(L"infobox1", LR"(main
{
    infobox(ib, open, 20, 30, 320, 240)
    infobox(ib, title, "status")
    m = infobox(ib, msgadd)
    infobox(ib, msgrect, m, 5, 5, 300, 200)
    printf("width %d\n", infobox(ib, msgsize, m, "ccc"))
    infobox(ib, msgupd, m, "a\nbb\nccc")
    printf("right %d\n", infobox(ib, msgsizexe, m))
    printf("bottom %d\n", infobox(ib, msgsizeye, m))
    infobox(ib, prgs, 10, 150, 200, 20)
    infobox(ib, prgp, 40)
    infobox(ib, tbs, 10, 180, 200, 40)
    infobox(ib, tbp, 25)
    infobox(ib, tbr, 50, 40)
    printf("hwnd %d\n", infobox(ib, gethwnd) != 0)
    while (tbpos() == 0) {
    }
    printf("tbpos %d\n", tbpos())
    infobox(ib, close)
    printf("closed %d\n", infobox(ib, gethwnd))
}
)");
    HWND box = qtest::waitwindow(L"quorvel.infobox");
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(s.haslines(5)) << "the script reached its loop";
    EXPECT_EQ(qtest::wintext(box), L"status");
    EXPECT_TRUE(GetWindowLongPtrW(box, GWL_EXSTYLE) & WS_EX_LAYERED);
    RECT wr;
    GetWindowRect(box, &wr);
    EXPECT_EQ(wr.left, 20);
    EXPECT_EQ(wr.top, 30);

    // What the box measured is what its font gives here.
    HDC dc = GetDC(box);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    SIZE a, bb, ccc;
    GetTextExtentPoint32W(dc, L"a", 1, &a);
    GetTextExtentPoint32W(dc, L"bb", 2, &bb);
    GetTextExtentPoint32W(dc, L"ccc", 3, &ccc);
    ReleaseDC(box, dc);
    const int lh = tm.tmHeight + tm.tmExternalLeading;
    std::vector<std::wstring> lines = s.lines();
    lines.erase(std::remove(lines.begin(), lines.end(), L"invalid range error."), lines.end());
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], L"width " + std::to_wstring(ccc.cx));
    EXPECT_EQ(lines[1], L"right " + std::to_wstring(5 + std::max({a.cx, bb.cx, ccc.cx})));
    EXPECT_EQ(lines[2], L"bottom " + std::to_wstring(5 + 3 * lh)) << "three lines, each from its own start";
    EXPECT_EQ(lines[3], L"hwnd 1");

    HWND progress = qtest::findchild(box, PROGRESS_CLASSW);
    HWND trackbar = qtest::findchild(box, TRACKBAR_CLASSW);
    ASSERT_NE(progress, nullptr);
    ASSERT_NE(trackbar, nullptr);
    EXPECT_TRUE(qtest::pumpuntil([&] { return SendMessageW(progress, PBM_GETPOS, 0, 0) == 40; }));
    EXPECT_TRUE(qtest::pumpuntil([&] { return SendMessageW(trackbar, TBM_GETPOS, 0, 0) == 25; }));
    EXPECT_EQ(SendMessageW(trackbar, TBM_GETSELSTART, 0, 0), 0) << "no selection was set";

    // A click at 60 % of the channel jumps to 61 and reaches the script
    // (which then closes the box).
    RECT ch;
    SendMessageW(trackbar, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&ch));
    int x = ch.left;
    while ((x - ch.left) * 100 / (ch.right - ch.left) < 60)
        ++x;
    PostMessageW(trackbar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, 5));
    ASSERT_TRUE(s.ended());
    // The box thread's line stands wherever it came.
    std::vector<std::wstring> after = s.lines();
    const auto range = std::find(after.begin(), after.end(), L"invalid range error.");
    ASSERT_NE(range, after.end()) << "50, 40 is refused";
    after.erase(range);
    ASSERT_EQ(after.size(), 6u);
    EXPECT_EQ(after[4], L"tbpos 61");
    EXPECT_EQ(after[5], L"closed 0");
    EXPECT_FALSE(IsWindow(box));
}

TEST(InfoBox, ReleasedTrackbarLatchesForTheNextWait)
{
    boxscript s(L"infobox2", LR"(main
{
    infobox(ib, open, 0, 0, 200, 100, tn)
    infobox(ib, tbs, 0, 0, 180, 40)
    while (tbpos() == 0) {
    }
    printf("tbpos %d\n", tbpos())
}
)");
    HWND box = qtest::waitwindow(L"quorvel.infobox");
    ASSERT_NE(box, nullptr);
    HWND trackbar = nullptr;
    ASSERT_TRUE(qtest::pumpuntil([&] { return (trackbar = qtest::findchild(box, TRACKBAR_CLASSW)) != nullptr; }));
    EXPECT_TRUE(GetWindowLongPtrW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) << "option t";
    BYTE alpha = 255;
    DWORD flags = 0;
    GetLayeredWindowAttributes(box, nullptr, &alpha, &flags);
    EXPECT_EQ(alpha, 0) << "option n starts fully transparent";
    SendMessageW(trackbar, TBM_SETPOS, TRUE, 33);
    PostMessageW(box, WM_HSCROLL, TB_ENDTRACK, reinterpret_cast<LPARAM>(trackbar));
    ASSERT_TRUE(s.ended());
    ASSERT_EQ(s.lines().size(), 1u);
    EXPECT_EQ(s.lines()[0], L"tbpos 33");
    EXPECT_FALSE(IsWindow(box)) << "the run's end closed it";
}

TEST(InfoBox, FaceNamesKeepTheirTerminator)
{
    const wchar_t* longface = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";  // 40 characters
    HFONT f = boxfont(longface, 20, 700);
    ASSERT_NE(f, nullptr);
    LOGFONTW lf = {};
    GetObjectW(f, sizeof lf, &lf);
    EXPECT_EQ(std::wstring(lf.lfFaceName), std::wstring(longface, 31));
    EXPECT_EQ(lf.lfHeight, 20);
    EXPECT_EQ(lf.lfWeight, 700);
    DeleteObject(f);
}

TEST(InfoBox, TrackbarNoticeEndsAWaitOrLatches)
{
    ExeScr e;
    e.trackbarnotice(12, false);
    EXPECT_EQ(e.tbpos, 12);
    EXPECT_EQ(e.tbpending, 0u) << "a click without a wait is not kept";
    e.trackbarnotice(13, true);
    EXPECT_EQ(e.tbpending, 1u) << "a release is kept for the next wait";
    e.waitevent = createwaitevent();
    e.trackbarnotice(14, true);
    EXPECT_EQ(e.waitresult, 4);
    EXPECT_EQ(e.tbpending, 0u);
    EXPECT_EQ(WaitForSingleObject(e.waitevent, 0), WAIT_OBJECT_0);
    CloseHandle(e.waitevent);
    e.waitevent = nullptr;
}

TEST(InfoBox, MessagesChangeWhileTheBoxPaints)
{
    // Fonts are replaced and records added while the box thread paints them.
    boxscript s(L"infobox3", LR"(main
{
    infobox(ib, open, 0, 0, 300, 300)
    for (i = 0; i < 60; i++) {
        m = infobox(ib, msgadd)
        infobox(ib, msgrect, m, 0, i * 4, 300, 40)
        infobox(ib, msgfont, m, "DejaVu Sans", 12 + i, 400, 255)
        infobox(ib, msgupd, m, "line " i)
        infobox(ib, msgfont, m - i / 2, "", 14, 700)
        infobox(ib, msgupd, m - i / 2, "again " i)
    }
    printf("painted %d\n", infobox(ib, msgsizeye, m) > 0)
}
)");
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.lines(), std::vector<std::wstring>{L"painted 1"});
}
