#include <gtest/gtest.h>

#include "core/layout.h"

using namespace host;

TEST(Layout, PanesFromRatios)
{
    // 800 x 600 client, toolbar 28, status 20, default ratios, line 22.
    const layoutout l = computelayout({800, 600, 28, 20, 20, 40, 22});
    ASSERT_TRUE(l.ok);
    EXPECT_EQ(l.upper, 80 * 572 / 100 - 2);  // 455
    EXPECT_EQ(l.splity, 28 + 455 + 4);
    EXPECT_EQ(l.lower, 600 - 487 - 20);
    EXPECT_EQ(l.left, 318);
    EXPECT_EQ(l.right, 800 - 318 - 4);
    EXPECT_EQ(l.tabs.left, 0);
    EXPECT_EQ(l.tabs.top, 28);
    EXPECT_EQ(l.runline.left, 322);
    EXPECT_EQ(l.runline.bottom, 22);           // height
    EXPECT_EQ(l.editp.top, 28 + 22 + 2);
    EXPECT_EQ(l.editp.bottom, 455 - 22 - 2);   // height
    EXPECT_EQ(l.editsys.top, 487);
    EXPECT_EQ(l.editsys.right, 800);           // width
}

TEST(Layout, NothingMovesWhenAHeightIsBelowOne)
{
    EXPECT_FALSE(computelayout({800, 600, 0, 20, 20, 40, 22}).ok);   // no toolbar yet
    EXPECT_FALSE(computelayout({800, 40, 28, 20, 20, 40, 22}).ok);   // no room
    EXPECT_FALSE(computelayout({800, 600, 28, 20, 200, 40, 22}).ok); // ratio from a wild drag
    // A command-line start gives the log panes nearly the whole width.
    const layoutout l = computelayout({800, 600, 28, 20, 20, 1, 22});
    ASSERT_TRUE(l.ok);
    EXPECT_EQ(l.left, 6);
}

TEST(Splitters, ZonesClampsAndRatios)
{
    const layoutout l = computelayout({800, 600, 28, 20, 20, 40, 22});
    EXPECT_EQ(hoverzone(10, l.splity, l), splitzone::lower);
    EXPECT_EQ(hoverzone(10, l.splity - 4, l), splitzone::lower);
    EXPECT_EQ(hoverzone(10, l.splity + 1, l), splitzone::none);
    EXPECT_EQ(hoverzone(l.left + 4, 100, l), splitzone::side);
    EXPECT_EQ(hoverzone(l.left + 5, 100, l), splitzone::none);
    EXPECT_EQ(presszone(10, l.splity - 6, l), splitzone::lower);
    EXPECT_EQ(presszone(10, l.splity + 2, l), splitzone::lower);
    EXPECT_EQ(presszone(10, l.splity + 3, l), splitzone::none);
    EXPECT_EQ(presszone(l.left, 100, l), splitzone::side);

    EXPECT_EQ(clamplower(50, 600), 100);
    EXPECT_EQ(clamplower(501, 600), 500);
    EXPECT_EQ(clamplower(500, 600), 500);
    EXPECT_EQ(clampside(5, 800), 20);
    EXPECT_EQ(clampside(771, 800), 770);
    EXPECT_EQ(vsratiofor(400, 600, 28), 200 * 100 / 572);
    EXPECT_EQ(hsratiofor(200, 800), 25);
}

TEST(Placement, SavedRectangleComesBackOnItsMonitorOrCentredOnThePrimary)
{
    const std::vector<RECT> mons = {{0, 0, 1024, 768}, {1024, 0, 2048, 768}};
    RECT r = placewindow({100, 100, 850, 700}, mons, false);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 100);
    EXPECT_EQ(r.right, 850);
    EXPECT_EQ(r.bottom, 700);

    // On the second monitor, clipped to it.
    r = placewindow({1500, -100, 2500, 500}, mons, false);
    EXPECT_EQ(r.left, 1500);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 2048);

    // A monitor that is gone: centred on the primary with the saved size.
    r = placewindow({3000, 100, 3400, 400}, mons, false);
    EXPECT_EQ(r.left, 512 - 200);
    EXPECT_EQ(r.top, 384 - 150);
    EXPECT_EQ(r.right, 512 + 200);

    // "/prim" ignores the saved place.
    r = placewindow({1500, 100, 1900, 400}, mons, true);
    EXPECT_EQ(r.left, 312);
}

TEST(Placement, OddSizesComeBackToThePixel)
{
    const std::vector<RECT> mons = {{0, 0, 1024, 768}};
    const RECT saved = {101, 103, 752, 604};  // 651 by 501
    RECT r = saved;
    for (int i = 0; i < 10; ++i)
        r = placewindow(r, mons, false);
    EXPECT_EQ(r.left, saved.left);
    EXPECT_EQ(r.top, saved.top);
    EXPECT_EQ(r.right, saved.right);
    EXPECT_EQ(r.bottom, saved.bottom);
    // Centred on the primary: the full size still.
    r = placewindow({3001, 0, 3402, 301}, mons, false);
    EXPECT_EQ(r.right - r.left, 401);
    EXPECT_EQ(r.bottom - r.top, 301);
}
