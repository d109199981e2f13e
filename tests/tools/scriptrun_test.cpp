// The in-process script runner's two ways (support/scriptrun.h): a run
// "without the segment pass" must get no segment anywhere, also in code that
// "exeline" compiles while it runs, or the tests that compare both ways
// compare segments with segments there. And the LF to CR LF helper the
// script tests hand their texts over with (support/lineends.h).
#include <gtest/gtest.h>

#include <string>

#include "runtime/exescr.h"
#include "support/lineends.h"
#include "support/scriptrun.h"

namespace {

using qtest::crlf;
using qtest::narrow;

// The cells that run as segments when the run's fatal exit comes: the
// scripts below end in an error inside the loaded code, before "exeline"
// cuts that code (and its segments) back.
int g_segmentcells = -1;
void (*g_before)(ExeScr&, const wchar_t*) = nullptr;

void countsegments(ExeScr& e, const wchar_t* msg)
{
    g_segmentcells = 0;
    for (int32_t k = 0; k < e.codecount(); ++k)
        if (e.code[k].op == &ExeScr::segment_exec)
            ++g_segmentcells;
    if (g_before)
        g_before(e, msg);
}

// Runs `text` one way; the segment cells counted at its fatal exit.
int segmentsatexit(const std::wstring& text, bool pass)
{
    g_segmentcells = -1;
    g_before = g_fatalhook;
    g_fatalhook = countsegments;
    qtest::segpasson = pass;
    const std::string log = narrow(qtest::runscript(L"scriptrun", crlf(text)));
    qtest::segpasson = true;
    g_fatalhook = g_before;
    EXPECT_NE(log.find("Exiting... undefined variable.:undefd"), std::string::npos) << log;
    return g_segmentcells;
}

TEST(ScriptRun, WithoutThePassCodeThatExelineLoadsGetsNoSegmentsEither)
{
    // The main unit is a command and its text alone: nothing of it is a
    // segment. The loaded text has a loop, which is worth its segments.
    const std::wstring loop =
        L"exeline(\"x = 0\\nfor (i = 0; i < 3; i++) x = x + i * 2\\nx = undefd + 1\")\n";
    const std::wstring once = L"exeline(\"x = 0\\nx = x * 2 + 1\\nx = undefd + 1\")\n";
    EXPECT_GT(segmentsatexit(loop, true), 0) << "the loaded loop gets segments with the pass";
    EXPECT_EQ(segmentsatexit(once, true), 0) << "nothing else of these scripts does";
    EXPECT_EQ(segmentsatexit(loop, false), 0) << "without the pass the loaded loop gets none";
}

TEST(LineEnds, EveryLoneLineFeedBecomesCarriageReturnLineFeed)
{
    EXPECT_EQ(L"a\r\nb\r\n", crlf(L"a\nb\n"));
    EXPECT_EQ(L"\r\n\r\nx", crlf(L"\n\nx"));
    EXPECT_EQ(L"", crlf(L""));
    // CR LF already there stays one line end; a CR alone is left alone.
    EXPECT_EQ(L"a\r\nb\r\nc", crlf(L"a\r\nb\nc"));
    EXPECT_EQ(L"a\rb\r\n", crlf(L"a\rb\r\n"));
    EXPECT_EQ(L"a\rb\r\n", crlf(L"a\rb\n"));
}

}  // namespace
