// The video window under a running script: its class, title, size and place,
// the letter-box word, the caption and its replacement, the frame toggle, the
// self-hiding cursor, keys handed to the script, a second render, and what
// the run's end releases.
#include <gtest/gtest.h>

#include <algorithm>

#include "runtime/quorvelcore.h"
#include "windows/boxdriver.h"
#include "windows/videorenderer.h"
#include "windows/videotests.h"

namespace {

using qtest::boxscript;

std::wstring lit(const std::wstring& path) { return qtest::pathliteral(path); }

// The only video window of the process, or null (also when there are two).
HWND onlyvideowindow()
{
    struct found {
        HWND w = nullptr;
        int n = 0;
    } f;
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            wchar_t cls[32] = {};
            GetClassNameW(hwnd, cls, 32);
            if (pid == GetCurrentProcessId() && wcscmp(cls, L"quorvel.dshow") == 0) {
                auto* r = reinterpret_cast<found*>(lp);
                r->w = hwnd;
                ++r->n;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&f));
    return f.n == 1 ? f.w : nullptr;
}

LONG fontheight(HFONT font, LONG* weight = nullptr)
{
    LOGFONTW lf = {};
    GetObjectW(font, sizeof lf, &lf);
    if (weight)
        *weight = lf.lfWeight;
    return lf.lfHeight;
}

TEST(VideoWindow, SizedCentredCaptionedFramedAndHidingTheCursor)
{
    if (!qtest::hasplayback())
        GTEST_SKIP() << "no test media or audio server";
    const std::wstring text = LR"(main
{
    dshow(video, 0)
    printf("render %d\n", dshow(render, )" + lit(qtest::clip(L"vonly.avi")) + LR"())
    dshow(caps, 300, 60)
    dshow(caps, 200, 50, 20)
    dshow(capu, "hello", 0)
    printf("ready\n")
    while (1) {
    }
}
)";
    boxscript s(L"video1", text.c_str());
    ASSERT_TRUE(s.haslines(2)) << s.logtext();
    ExeScr* e = s.engine();
    ASSERT_NE(e, nullptr);
    HWND w = onlyvideowindow();
    ASSERT_NE(w, nullptr);

    // Class, title, owner, and the size of the video plus the frame, centred
    // on the monitor under the cursor.
    EXPECT_EQ(qtest::wintext(w), L"Quorvel - Video: vonly.avi");
    EXPECT_TRUE(GetClassLongPtrW(w, GCL_STYLE) & CS_DBLCLKS);
    EXPECT_EQ(GetWindow(w, GW_OWNER), hWndp);
    EXPECT_TRUE(IsWindowVisible(w));
    RECT cr, wr;
    GetClientRect(w, &cr);
    GetWindowRect(w, &wr);
    EXPECT_EQ(cr.right, 160);
    EXPECT_EQ(cr.bottom, 120);
    const RECT mon = qtest::cursormonitor();
    const LONG cx = mon.left + (mon.right - mon.left) / 2;
    const LONG cy = mon.top + (mon.bottom - mon.top) / 2;
    EXPECT_EQ(wr.left, cx - (wr.right - wr.left) / 2);
    EXPECT_EQ(wr.top, cy - (wr.bottom - wr.top) / 2);

    // "video" 0: no letter-box when the window was sized.
    auto* vmr = dynamic_cast<VMR9*>(e->renderer);
    ASSERT_NE(vmr, nullptr) << "the VMR-9 is taken first";
    DWORD mode = 9;
    vmr->windowless()->GetAspectRatioMode(&mode);
    EXPECT_EQ(mode, 0u);

    // The second "caps" replaced the first caption; "capu" 0 shows it 3 s.
    ASSERT_TRUE(qtest::pumpuntil([&] {
        HWND c = qtest::findchild(w, L"STATIC");
        return c && qtest::wintext(c) == L"hello" && IsWindowVisible(c);
    }));
    HWND cap = qtest::findchild(w, L"STATIC");
    EXPECT_EQ(qtest::findchild(w, L"STATIC", 1), nullptr) << "one caption window";
    EXPECT_EQ(cap, e->captionwindow);
    RECT capr;
    GetWindowRect(cap, &capr);
    EXPECT_EQ(capr.right - capr.left, 200);
    EXPECT_EQ(capr.bottom - capr.top, 50);
    LONG weight = 0;
    EXPECT_EQ(fontheight(reinterpret_cast<HFONT>(SendMessageW(cap, WM_GETFONT, 0, 0)), &weight), 20);
    EXPECT_EQ(weight, 700);
    EXPECT_EQ(e->captionseconds, 3);
    EXPECT_EQ(e->captiontimer, 1);
    EXPECT_TRUE(GetWindowLongPtrW(cap, GWL_EXSTYLE) & WS_EX_LAYERED);

    // A further caption creation gives back the old window and font.
    HFONT oldfont = e->captionfont;
    SendMessageW(w, WM_USER, 0, 0);
    EXPECT_FALSE(IsWindow(cap));
    EXPECT_EQ(GetObjectType(oldfont), 0u) << "the old font was deleted";
    EXPECT_NE(e->captionwindow, nullptr);
    EXPECT_EQ(qtest::findchild(w, L"STATIC", 1), nullptr);
    cap = e->captionwindow;
    SendMessageW(w, WM_USER, 1, 0);
    EXPECT_TRUE(IsWindowVisible(cap));
    // Its time up, the caption hides.
    SendMessageW(w, WM_TIMER, 205, 0);
    EXPECT_FALSE(IsWindowVisible(cap));
    EXPECT_EQ(e->captiontimer, 0);

    // Two double clicks: borderless, then framed again.
    SendMessageW(w, WM_LBUTTONDBLCLK, 0, 0);
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_STYLE) & ~WS_VISIBLE, WS_BORDER | WS_CLIPSIBLINGS);
    EXPECT_EQ(e->framed, 0);
    SendMessageW(w, WM_LBUTTONDBLCLK, 0, 0);
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_STYLE) & ~WS_VISIBLE, WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS);
    EXPECT_EQ(e->framed, 1);
    EXPECT_TRUE(IsWindowVisible(w));

    // The cursor: a move starts the hiding timer and the leave notice; when the
    // timer fires the cursor goes; a move elsewhere brings it back; leaving
    // stops the timer.
    e->dsmmtime = 0;
    SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(20, 30));
    EXPECT_EQ(e->cursortimer, 1);
    EXPECT_EQ(e->tracking, 1);
    EXPECT_GT(e->dsmmtime, 0) << "the time of the move";
    SendMessageW(w, WM_TIMER, 206, 0);
    EXPECT_EQ(e->cursorshown, 0);
    EXPECT_EQ(e->cursortimer, 0);
    SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(20, 30));
    EXPECT_EQ(e->cursorshown, 0) << "no move: nothing happens";
    SendMessageW(w, WM_MOUSEMOVE, 0, MAKELPARAM(21, 30));
    EXPECT_EQ(e->cursorshown, 1);
    EXPECT_EQ(e->cursortimer, 1);
    SendMessageW(w, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(e->tracking, 0);
    EXPECT_EQ(e->cursortimer, 0);

    // ESC typed into the video reaches the script's window, which stops the run.
    PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.lines(), (std::vector<std::wstring>{L"render 1", L"ready"})) << "and nothing leaked";
    EXPECT_FALSE(IsWindow(w));
}

TEST(VideoWindow, StyleWordSwitchesTheFrame)
{
    if (!qtest::hasplayback())
        GTEST_SKIP() << "no test media or audio server";
    const std::wstring text = LR"(main
{
    dshow(render, )" + lit(qtest::clip(L"vonly.avi")) + LR"()
    dshow(style, 0)
    printf("ready\n")
    while (tbpos() == 0) {
    }
    dshow(style, 1)
    printf("framed\n")
    while (tbpos() == 1) {
    }
}
)";
    boxscript s(L"video2", text.c_str());
    ASSERT_TRUE(s.haslines(1));
    HWND w = onlyvideowindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(qtest::pumpuntil([&] { return (GetWindowLongPtrW(w, GWL_STYLE) & WS_CAPTION) != WS_CAPTION; }));
    s.engine()->tbpos = 1;
    ASSERT_TRUE(s.haslines(2));
    EXPECT_TRUE(qtest::pumpuntil([&] { return (GetWindowLongPtrW(w, GWL_STYLE) & WS_CAPTION) == WS_CAPTION; }));
    s.engine()->tbpos = 2;
    ASSERT_TRUE(s.ended());
}

TEST(VideoWindow, ASecondRenderReplacesTheWindowItsCaptionAndItsRenderer)
{
    if (!qtest::hasplayback())
        GTEST_SKIP() << "no test media or audio server";
    const std::wstring text = LR"(main
{
    dshow(render, )" + lit(qtest::clip(L"vonly.avi")) + LR"()
    dshow(caps, 200, 50)
    dshow(capu, "first")
    printf("first\n")
    while (tbpos() == 0) {
    }
    printf("render %d\n", dshow(render, )" + lit(qtest::clip(L"clip.avi")) + LR"())
    printf("run %d\n", dshow(run))
    dshow(enum)
    printf("ready\n")
    while (tbpos() == 1) {
    }
}
)";
    boxscript s(L"video3", text.c_str());
    ASSERT_TRUE(s.haslines(1)) << s.logtext();
    ExeScr* e = s.engine();
    HWND first = onlyvideowindow();
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(qtest::pumpuntil([&] { return e->captionwindow && IsWindowVisible(e->captionwindow); }));
    HWND cap = e->captionwindow;
    HFONT font = e->captionfont;
    e->tbpos = 1;
    ASSERT_TRUE(qtest::pumpuntil([&] { return !s.lines().empty() && s.lines().back() == L"ready"; }))
        << s.logtext();

    EXPECT_FALSE(IsWindow(first)) << "the first window went before the second came";
    EXPECT_FALSE(IsWindow(cap));
    EXPECT_EQ(GetObjectType(font), 0u);
    EXPECT_EQ(e->captionwindow, nullptr) << "no stale caption handle";
    EXPECT_EQ(e->captionfont, nullptr);
    HWND second = onlyvideowindow();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(qtest::wintext(second), L"Quorvel - Video: clip.avi");
    const std::vector<std::wstring> lines = s.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::wstring(L"VMR-9")), 1) << s.logtext();
    EXPECT_EQ(lines[1], L"render 1");
    EXPECT_EQ(lines[2], L"run 1");
    e->tbpos = 2;
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(qtest::findwindow(L"quorvel.dshow"), nullptr);
}

TEST(VideoWindow, TheRunsEndClosesTheWindowAndReleasesTheGraph)
{
    if (!qtest::hasplayback())
        GTEST_SKIP() << "no test media or audio server";
    const std::wstring text = LR"(main
{
    printf("render %d\n", dshow(render, )" + lit(qtest::clip(L"clip.avi")) + LR"())
    printf("run %d\n", dshow(run))
}
)";
    boxscript s(L"video4", text.c_str());
    ASSERT_TRUE(s.ended());
    // The renderer is a tracked record: a graph left behind would be reported
    // as a leak and end the run in the fatal exit.
    EXPECT_EQ(s.lines(), (std::vector<std::wstring>{L"render 1", L"run 1"}));
    EXPECT_EQ(qtest::findwindow(L"quorvel.dshow"), nullptr);
}

}  // namespace
