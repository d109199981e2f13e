// "dshow": its front end, and real playback under a running script: render,
// run, pause, seek, position, length, state, volume and balance, the filter
// list, media with sound only, media that cannot be rendered, and a video
// larger than the monitor.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/frontend.h"
#include "windows/boxdriver.h"
#include "windows/videotests.h"

namespace {

using qtest::boxscript;
using qtest::fronterror;
using qtest::frontrun;

// A path as a double-quoted script literal, its backslashes escaped.
std::wstring lit(const std::wstring& path) { return qtest::pathliteral(path); }

// A script text with every "@NAME@" replaced by the literal of that test clip.
std::wstring withclips(std::wstring text)
{
    for (size_t at; (at = text.find(L'@')) != std::wstring::npos;) {
        const size_t end = text.find(L'@', at + 1);
        text.replace(at, end - at + 1, lit(qtest::clip(text.substr(at + 1, end - at - 1).c_str())));
    }
    return text;
}

bool has(const std::vector<std::wstring>& lines, const wchar_t* line)
{
    return std::count(lines.begin(), lines.end(), std::wstring(line)) > 0;
}

// The selector a status argument compiles to: the operand of the pushed number
// just before the command's cell.
int64_t selector(const wchar_t* word)
{
    const std::wstring text = std::wstring(L"status,") + word;
    frontrun f(&ExeScr::dshow_comp, text.c_str());
    const int32_t n = f.e.codecount();
    EXPECT_TRUE(f.lastop(&ExeScr::dshow_exec, 8));
    EXPECT_TRUE(n >= 4 && f.e.code[n - 4].op == &ExeScr::pushint_exec);
    return n >= 4 ? f.e.code[n - 3].i : -1;
}

TEST(DshowFront, WordsAndTheirArgumentCounts)
{
    EXPECT_TRUE(frontrun(&ExeScr::dshow_comp, L" run ").lastop(&ExeScr::dshow_exec, 5));
    EXPECT_TRUE(frontrun(&ExeScr::dshow_comp, L"enum").lastop(&ExeScr::dshow_exec, 17));
    EXPECT_TRUE(frontrun(&ExeScr::dshow_comp, L"render, \"a.avi\"").lastop(&ExeScr::dshow_exec, 2));
    EXPECT_TRUE(frontrun(&ExeScr::dshow_comp, L"style, 1").lastop(&ExeScr::dshow_exec, 16));
    EXPECT_EQ(fronterror(&ExeScr::dshow_comp, L" "), L"invalid name.");
    EXPECT_EQ(fronterror(&ExeScr::dshow_comp, L"Run"), L"Not supported parameter.");
    EXPECT_EQ(fronterror(&ExeScr::dshow_comp, L"play"), L"Not supported parameter.");
    for (const wchar_t* bad : {L"run, 1", L"render", L"seek", L"caps, 1", L"caps, 1, 2, 3, 4", L"capu",
                               L"capu, \"a\", 1, 2", L"status", L"enum, 1", L"video, 1, 2"})
        EXPECT_EQ(fronterror(&ExeScr::dshow_comp, bad), L"the number of argument mismatch.") << bad;
}

TEST(DshowFront, StatusWordIsReadByItsLetters)
{
    EXPECT_EQ(selector(L"position"), 2) << "third letter s";
    EXPECT_EQ(selector(L" \tlength"), 1);
    EXPECT_EQ(selector(L"state"), 3);
    EXPECT_EQ(selector(L""), 0);
    EXPECT_EQ(selector(L"  "), 0);
    EXPECT_EQ(selector(L"pos"), 2);
    EXPECT_EQ(selector(L"xen"), 1) << "third letter n";
    EXPECT_EQ(selector(L"s"), 3);
    EXPECT_EQ(selector(L"xt"), 3) << "second letter t";
    EXPECT_EQ(fronterror(&ExeScr::dshow_comp, L"status, x"), L"Not supported parameter.")
        << "letters past the word's end match nothing";
    EXPECT_EQ(fronterror(&ExeScr::dshow_comp, L"status, duration"), L"Not supported parameter.");
}

TEST(DshowFront, CaptionWordsPushTheirArgumentCountLast)
{
    const auto count = [](const wchar_t* text, int64_t code) {
        frontrun f(&ExeScr::dshow_comp, text);
        const int32_t n = f.e.codecount();
        EXPECT_TRUE(f.lastop(&ExeScr::dshow_exec, code)) << text;
        return n >= 4 && f.e.code[n - 4].op == &ExeScr::pushint_exec ? f.e.code[n - 3].i : -1;
    };
    EXPECT_EQ(count(L"caps, 200, 40", 14), 3);
    EXPECT_EQ(count(L"caps, 200, 40, 20", 14), 4);
    EXPECT_EQ(count(L"capu, \"hi\"", 15), 2);
    EXPECT_EQ(count(L"capu, \"hi\", 5", 15), 3);
}

TEST(Dshow, PlaysAVideoWithSound)
{
    if (!qtest::hasplayback())
        GTEST_SKIP() << "no test media or audio server";
    boxscript s(L"dshow1", withclips(LR"(main
{
    printf("render %d\n", dshow(render, @clip.avi@))
    printf("size %d %d window %d\n", dshow_width(), dshow_height(), hwndvideo() != 0)
    len = dshow(status, length)
    printf("length %d stopped %d\n", len > 0.95 && len < 1.05, dshow(status, state) == 0)
    r = dshow(run)
    printf("run %d running %d\n", r, dshow(status, state) == 2)
    r = dshow(pause)
    printf("pause %d paused %d\n", r, dshow(status, state) == 1)
    r = dshow(setvol, -10000)
    v = dshow(getvol)
    printf("setvol %d %d %d\n", r, v == -10000, dshow(setvol, 1))
    r = dshow(setbal, -2500)
    v = dshow(getbal)
    printf("setbal %d %d %d\n", r, v == -2500, dshow(setbal, 10001))
    printf("setvol %d\n", dshow(setvol, 0))
    printf("run %d\n", dshow(run))
    t = clock()
    while (dshow(status, pos) < len && clock() - t < 5000) {
    }
    printf("completed %d\n", dshow(status, pos) >= len)
    r = dshow(stop)
    printf("stop %d stopped %d\n", r, dshow(status, ) == 0)
    printf("enum %d\n", dshow(enum))
    r = dshow(close)
    v = dshow(close)
    printf("close %d %d window %d\n", r, v, hwndvideo())
    printf("run %d\n", dshow(run))
}
)").c_str());
    ASSERT_TRUE(s.ended(20000));
    const std::vector<std::wstring> lines = s.lines();
    const std::vector<std::wstring> head = {L"render 1",
                                            L"size 160 120 window 1",
                                            L"length 1 stopped 1",
                                            L"run 1 running 1",
                                            L"pause 1 paused 1",
                                            L"ERROR - invalid value.",
                                            L"setvol 1 1 0",
                                            L"ERROR - invalid value.",
                                            L"setbal 1 1 0",
                                            L"setvol 1",
                                            L"run 1",
                                            L"completed 1",
                                            L"stop 1 stopped 1"};
    ASSERT_GE(lines.size(), head.size()) << s.logtext();
    EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + static_cast<long>(head.size())), head)
        << s.logtext();
    // The filter list names what the graph holds: the source, its splitter and
    // the two renderers the streams were limited to.
    EXPECT_TRUE(has(lines, L"VMR-9")) << s.logtext();
    EXPECT_TRUE(has(lines, L"Audio Renderer")) << s.logtext();
    const std::vector<std::wstring> tail = {L"enum 1", L"close 0 0 window 0", L"ERROR - dshow is not opened.",
                                            L"run 0"};
    EXPECT_EQ(std::vector<std::wstring>(lines.end() - static_cast<long>(tail.size()), lines.end()), tail)
        << s.logtext();
}

TEST(Dshow, SeeksAndReadsThePosition)
{
    if (!qtest::hasplayback())
        GTEST_SKIP() << "no test media or audio server";
    // Video alone: with two streams, Wine 8's splitter can hang in the stop
    // that follows a seek (see the README's limits).
    boxscript s(L"dshow2", withclips(LR"(main
{
    printf("render %d\n", dshow(render, @vonly.avi@))
    printf("pause %d\n", dshow(pause))
    printf("seek %d\n", dshow(seek, 0.5))
    p = dshow(status, position)
    printf("at %d\n", p > 0.49 && p < 0.51)
    printf("seek %d\n", dshow(seek, 0))
    printf("at %d\n", dshow(status, pos) < 0.01)
    printf("run %d\n", dshow(run))
    printf("close %d\n", dshow(close))
}
)").c_str());
    ASSERT_TRUE(s.ended(20000));
    const std::vector<std::wstring> want = {L"render 1", L"pause 1", L"seek 1", L"at 1",    L"seek 1",
                                            L"at 1",     L"run 1",   L"close 0"};
    EXPECT_EQ(s.lines(), want);
}

TEST(Dshow, SoundOnlyMediaClosesTheWindowAndStillPlays)
{
    if (!qtest::hasplayback())
        GTEST_SKIP() << "no test media or audio server";
    boxscript s(L"dshow3", withclips(LR"(main
{
    r = dshow(render, @tone.wav@)
    printf("render %d window %d\n", r, hwndvideo())
    printf("size %d %d\n", dshow_width(), dshow_height())
    len = dshow(status, length)
    printf("length %d run %d\n", len > 0.95 && len < 1.05, dshow(run))
    t = clock()
    while (dshow(status, pos) < len && clock() - t < 5000) {
    }
    printf("completed %d\n", dshow(status, pos) >= len)
    dshow(enum)
    printf("close %d\n", dshow(close))
}
)").c_str());
    ASSERT_TRUE(s.ended(20000));
    const std::vector<std::wstring> lines = s.lines();
    ASSERT_GE(lines.size(), 4u) << s.logtext();
    const std::vector<std::wstring> head = {L"render 1 window 0", L"size 0 0", L"length 1 run 1", L"completed 1"};
    EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + 4), head) << s.logtext();
    EXPECT_FALSE(has(lines, L"VMR-9")) << "the renderer left the graph";
    EXPECT_TRUE(has(lines, L"Audio Renderer"));
    EXPECT_EQ(lines.back(), L"close 0");
}

TEST(Dshow, MediaThatCannotBeRenderedGivesZeroAndAHiddenWindow)
{
    if (!qtest::hasplayback())
        GTEST_SKIP() << "no test media or audio server";
    const std::wstring junk = qtest::scratchdir() + L"junk.avi";
    qtest::writebytes(junk, "this is no video at all\r\n");
    const std::wstring text = LR"(main
{
    r = dshow(render, )" + lit(junk) + LR"()
    printf("render %d window %d\n", r, hwndvideo() != 0)
    printf("render %d\n", dshow(render, )" + lit(qtest::scratchdir() + L"missing.avi") + LR"())
    printf("ready\n")
    while (tbpos() == 0) {
    }
    r = dshow(close)
    printf("close %d window %d\n", r, hwndvideo())
}
)";
    boxscript s(L"dshow4", text.c_str());
    ASSERT_TRUE(s.haslines(3)) << s.logtext();
    HWND w = qtest::findwindow(L"quorvel.dshow");
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(IsWindowVisible(w)) << "nothing to show";
    EXPECT_EQ(qtest::wintext(w), L"Quorvel - Video: missing.avi");
    s.engine()->tbpos = 1;
    ASSERT_TRUE(s.ended());
    const std::vector<std::wstring> want = {L"render 0 window 1", L"render 0", L"ready", L"close 0 window 0"};
    EXPECT_EQ(s.lines(), want);
    EXPECT_FALSE(IsWindow(w));
}

TEST(Dshow, AVideoLargerThanTheMonitorGetsTheWholeMonitor)
{
    if (!qtest::hasplayback())
        GTEST_SKIP() << "no test media or audio server";
    boxscript s(L"dshow5", withclips(LR"(main
{
    r = dshow(render, @big.avi@)
    printf("render %d size %d\n", r, dshow_width() == 1600 && dshow_height() == 1200)
    while (tbpos() == 0) {
    }
}
)").c_str());
    ASSERT_TRUE(s.haslines(1));
    HWND w = qtest::findwindow(L"quorvel.dshow");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(IsWindowVisible(w));
    const RECT mon = qtest::cursormonitor();
    RECT wr;
    GetWindowRect(w, &wr);
    EXPECT_TRUE(EqualRect(&wr, &mon)) << wr.left << "," << wr.top << " " << wr.right << "x" << wr.bottom;
    s.engine()->tbpos = 1;
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.lines(), std::vector<std::wstring>{L"render 1 size 1"});
    EXPECT_EQ(qtest::findwindow(L"quorvel.dshow"), nullptr) << "the run's end closed it";
}

}  // namespace
