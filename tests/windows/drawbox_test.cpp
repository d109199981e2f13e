// The DrawBox under a running script: shapes, fills, gradients, paths, text
// and images read back from the layered window; the erased background of an
// empty list; images kept until the window reopens; items changed field by
// field; the open options and the caption; and items edited while the window
// thread paints.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/frontend.h"
#include "support/scriptrun.h"
#include "support/testenv.h"
#include "windows/boxdriver.h"
#include "windows/drawbox.h"
#include "windows/pixels.h"

using qtest::boxscript;
using qtest::pixmap;

namespace {

// The box of a running script by its name.
DrawBox* drawboxof(const boxscript& s, const wchar_t* name)
{
    ExeScr* e = s.engine();
    if (!e)
        return nullptr;
    const int32_t k = e->findobject(name, objdrawbox);
    return k < 0 ? nullptr : static_cast<DrawBox*>(e->boxtable.base[k].obj);
}

int darkpixels(const pixmap& p, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (qtest::closeto(p.at(x, y), 0, 90))
                ++n;
    return n;
}

}  // namespace

TEST(DrawBox, ItemsArePaintedOnTheLayeredWindow)
{
    qtest::writepng(qtest::scratch(L"magenta.png"), pixmap(20, 20, 0xFF00FF));
    const std::wstring go = qtest::gofile(L"draw1.go");
    boxscript s(L"drawshapes", qtest::scripttext(LR"(main
{
    drawbox(d, open, 0, 0, 340, 260)
    drawbox(d, backc, 16744448)
    r = drawbox(d, rectangle_set, 20, 20, 80, 80, 4, 0, 0, 1, 1)
    drawbox(d, solidbrush, r, 1, 1, 0, 0, 1)
    h = drawbox(d, rectangle_set, 90, 20, 150, 80, 2)
    drawbox(d, solidbrush, h, 1, 0, 1, 0, 1)
    drawbox(d, draw, h, 2)
    q = drawbox(d, roundrectangle_set, 160, 20, 220, 80, 2)
    drawbox(d, linearbrush, q, 1, 0, 160, 0, 1, 0, 0, 1)
    drawbox(d, linearbrush, q, 1, 1, 220, 0, 0, 1, 0, 1)
    g = drawbox(d, rectangle_set, 230, 20, 310, 80, 1)
    drawbox(d, linearbrush, g, 1, 0, 230, 0, 1, 0, 0, 1)
    drawbox(d, linearbrush, g, 1, 1, 310, 0, 0, 1, 0, 1)
    e = drawbox(d, ellipse_set, 50, 130, 30, 30, 1)
    drawbox(d, radialbrush, e, 1, 0, 50, 130, 30, 0, 0, 1, 1)
    drawbox(d, radialbrush, e, 1, 1, 0, 0, 30, 1, 1, 1, 1)
    p = drawbox(d, pathgeo_open, 100, 100, 0, 1)
    drawbox(d, pathgeo_line, p, 160, 100)
    drawbox(d, pathgeo_bezier, p, 160, 130, 140, 160, 130, 160)
    drawbox(d, pathgeo_close, p, 1)
    drawbox(d, solidbrush, p, 1, 0, 1, 0, 1)
    o = drawbox(d, pathgeo_open, 170, 100, 0, 1)
    drawbox(d, pathgeo_line, o, 230, 100)
    drawbox(d, pathgeo_line, o, 200, 160)
    drawbox(d, solidbrush, o, 1, 0, 1, 0, 1)
    l = drawbox(d, line_set, 240, 100, 310, 100, 4)
    drawbox(d, font, "DejaVu Sans", 30)
    t = drawbox(d, text_set, "WWW", 240, 120, 0, 0, 0, 1)
    i = drawbox(d, img_set, "@Dmagenta.png", 10, 170)
    j = drawbox(d, img_set, "@Dmagenta.png", 60, 170, 0, 0, 0, 40, 30)
    printf("items %d %d %d %d %d %d %d %d %d %d %d\n", r, h, q, g, e, p, o, l, t, i, j)
    printf("upd %d\n", drawbox(d, upd, 1))
    while (fexist("@Ddraw1.go") == 0) {
    }
}
)")
                                       .c_str());
    ASSERT_TRUE(s.haslines(2)) << s.logtext();
    EXPECT_EQ(s.lines(), (std::vector<std::wstring>{L"items 0 1 2 3 4 5 6 7 8 9 10", L"upd 1"}));
    HWND box = qtest::findwindow(L"quorvel.drawbox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(qtest::wintext(box), L"Quorvel - DrawBox");
    EXPECT_TRUE(GetWindowLongPtrW(box, GWL_EXSTYLE) & WS_EX_LAYERED);
    ASSERT_GE(qtest::clientsize(box).cx, 320);
    ASSERT_GE(qtest::clientsize(box).cy, 210);
    // 0x00FF8000 clears to red 0, green 128, blue 255.
    ASSERT_TRUE(qtest::pixelbecomes(box, 5, 5, 0x0080FF)) << std::hex << qtest::clientpixel(box, 5, 5);
    const pixmap p = qtest::grabclient(box);
    EXPECT_EQ(p.at(50, 50), 0xFF0000u) << "the solid fill";
    EXPECT_EQ(p.at(19, 50), 0x0000FFu) << "the outline's outer half";
    EXPECT_EQ(p.at(21, 50), 0xFF0000u) << "the fill covers the outline's inner half";
    EXPECT_EQ(p.at(120, 50), 0x0080FFu) << "visible 2 is not drawn";
    EXPECT_EQ(p.at(190, 50), 0x0080FFu) << "a rounded rectangle takes no gradient";
    EXPECT_FALSE(qtest::closeto(p.at(190, 20), 0x0080FF, 40)) << "but its outline is drawn";
    EXPECT_TRUE(qtest::closeto(p.at(232, 50), 0xFF0000, 40)) << std::hex << p.at(232, 50);
    EXPECT_TRUE(qtest::closeto(p.at(308, 50), 0x00FF00, 40)) << std::hex << p.at(308, 50);
    EXPECT_TRUE(qtest::closeto(p.at(50, 130), 0x0000FF, 40)) << "the radial centre: " << std::hex << p.at(50, 130);
    EXPECT_TRUE((p.at(50, 157) >> 16) > 0x80 && ((p.at(50, 157) >> 8) & 0xFF) > 0x80)
        << "towards white at the rim: " << std::hex << p.at(50, 157);
    EXPECT_EQ(p.at(130, 120), 0x00FF00u) << "the closed path's fill";
    EXPECT_EQ(p.at(200, 120), 0x0080FFu) << "a path never closed is not drawn";
    EXPECT_EQ(p.at(275, 100), 0u) << "the line, black without a colour";
    EXPECT_GT(darkpixels(p, 240, 120, 320, 170), 60) << "DejaVu Sans text";
    EXPECT_EQ(p.at(20, 180), 0xFF00FFu) << "an image at its own size";
    EXPECT_EQ(p.at(31, 180), 0x0080FFu);
    EXPECT_EQ(p.at(95, 195), 0xFF00FFu) << "an image drawn 40 x 30";
    EXPECT_EQ(p.at(101, 195), 0x0080FFu);
    qtest::touchfile(go);
    ASSERT_TRUE(s.ended());
    EXPECT_FALSE(IsWindow(box));
}

TEST(DrawBox, AnEmptyListShowsTheErasedBackground)
{
    const std::wstring go = qtest::gofile(L"draw2.go");
    boxscript s(L"drawempty", qtest::scripttext(LR"(main
{
    drawbox(d, open, 360, 0, 200, 150)
    printf("backc %d\n", drawbox(d, backc, 255))
    while (fexist("@Ddraw2.go") == 0) {
    }
}
)")
                                      .c_str());
    ASSERT_TRUE(s.haslines(1)) << s.logtext();
    HWND box = qtest::findwindow(L"quorvel.drawbox");
    ASSERT_NE(box, nullptr);
    // Without the update flag "backc" repaints nothing; a repaint erases with
    // it, and no drawing covers it.
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    EXPECT_TRUE(qtest::pixelbecomes(box, 10, 10, 0xFF0000)) << std::hex << qtest::clientpixel(box, 10, 10);
    qtest::touchfile(go);
    ASSERT_TRUE(s.ended());
}

TEST(DrawBox, ImagesKeepTheirBitmapUntilTheWindowReopens)
{
    const std::wstring file = qtest::scratch(L"swap.png");
    qtest::writepng(file, pixmap(20, 20, 0xFF00FF));
    const std::wstring go = qtest::gofile(L"draw3.go"), go2 = qtest::gofile(L"draw3.go2");
    boxscript s(L"drawimages", qtest::scripttext(LR"(main
{
    drawbox(d, open, 0, 300, 200, 150)
    drawbox(d, img_set, "@Dswap.png", 10, 10)
    drawbox(d, upd, 1)
    printf("shown\n")
    while (fexist("@Ddraw3.go") == 0) {
    }
    drawbox(d, upd, 0)
    drawbox(d, upd, 1)
    drawbox(d, close)
    drawbox(d, open, 0, 300, 200, 150)
    drawbox(d, img_set, "@Dswap.png", 10, 10)
    drawbox(d, upd, 1)
    printf("reopened\n")
    while (fexist("@Ddraw3.go2") == 0) {
    }
}
)")
                                       .c_str());
    ASSERT_TRUE(s.haslines(1)) << s.logtext();
    HWND box = qtest::findwindow(L"quorvel.drawbox");
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(qtest::pixelbecomes(box, 15, 15, 0xFF00FF));
    qtest::writepng(file, pixmap(20, 20, 0x00FF00));
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    qtest::pump(50);
    EXPECT_EQ(qtest::clientpixel(box, 15, 15), 0xFF00FFu) << "the bitmap of the first paint stays";
    qtest::touchfile(go);
    ASSERT_TRUE(s.haslines(2)) << s.logtext();
    HWND again = qtest::nextwindow(L"quorvel.drawbox", box);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(qtest::pixelbecomes(again, 15, 15, 0x00FF00)) << "read again after reopening";
    qtest::touchfile(go2);
    ASSERT_TRUE(s.ended());
}

TEST(DrawBox, ItemsChangeFieldByField)
{
    const std::wstring go = qtest::gofile(L"draw4.go");
    boxscript s(L"drawfields", qtest::scripttext(LR"(main
{
    drawbox(d, open, 400, 300, 200, 150)
    i = drawbox(d, img_set, "@Dswap.png", 1, 2, 3, 4, 45, 50, 60)
    printf("img %d\n", drawbox(d, img_man, i, 5, 6))
    drawbox(d, font, "DejaVu Sans", 12, 700, 1, 3)
    t = drawbox(d, text_set, "a", 0, 0)
    printf("font %d\n", drawbox(d, font, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn", 30))
    drawbox(d, text_man, t, "b", 1, 1)
    l = drawbox(d, line_set, 0, 0, 1, 1, 1, 0.5, 0.25, 0.125, 1)
    drawbox(d, line_man, l, 2, 2, 3, 3, 2)
    r = drawbox(d, roundrectangle_set, 0, 0, 10, 10, 1)
    drawbox(d, rectangle_man, r, 1, 1, 9, 9, 1)
    g = drawbox(d, ellipse_set, 5, 5, 2, 2, 1)
    drawbox(d, radialbrush, g, 1, 0, 5, 5, 3, 1, 0, 0, 1)
    drawbox(d, linearbrush, g, 1, 0, 0, 0, 0, 0, 1, 1)
    o = drawbox(d, pathgeo_open, 1, 1, 1, 2, 0.5, 0.5, 0.5, 1)
    drawbox(d, pathgeo_bezier, o, 1, 2, 3, 4, 5, 6)
    drawbox(d, pathgeo_close, o, 1)
    printf("ready\n")
    while (fexist("@Ddraw4.go") == 0) {
    }
}
)")
                                       .c_str());
    ASSERT_TRUE(s.haslines(3)) << s.logtext();
    EXPECT_EQ(s.lines(), (std::vector<std::wstring>{L"img 0", L"font 0", L"ready"}));
    DrawBox* b = drawboxof(s, L"d");
    ASSERT_NE(b, nullptr);
    {
        std::lock_guard<std::recursive_mutex> guard(b->lock);
        ASSERT_EQ(b->items.size(), 6u);
        const drawitem& img = b->items[0];
        EXPECT_EQ(img.p0x, 5.0f);
        EXPECT_EQ(img.p0y, 6.0f);
        EXPECT_EQ(img.a, 0.0f) << "the short form: no rotation";
        EXPECT_EQ(img.g0x, 0.0f) << "and the natural size";
        EXPECT_EQ(img.g0y, 0.0f);
        EXPECT_EQ(img.text, qtest::scratch(L"swap.png")) << "the file stays";
        const drawitem& text = b->items[1];
        EXPECT_EQ(text.text, L"b");
        EXPECT_EQ(text.size, 12) << "text_man keeps size, weight, style and stretch";
        EXPECT_EQ(text.weight, 700);
        EXPECT_EQ(text.style, 1);
        EXPECT_EQ(text.stretch, 3);
        EXPECT_EQ(std::wstring(text.family), L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcde") << "31 characters and the NUL";
        EXPECT_EQ(std::wstring(b->family), L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcde");
        const drawitem& line = b->items[2];
        EXPECT_EQ(line.colour[0], 0.5f) << "line_man's short form keeps the colour";
        EXPECT_EQ(line.colour[2], 0.125f);
        EXPECT_EQ(line.p1x, 3.0f);
        EXPECT_EQ(line.stroke, 2.0f);
        EXPECT_EQ(b->items[3].rounded, 1u) << "rectangle_man keeps the rounded corners";
        EXPECT_EQ(b->items[3].colour[3], 1.0f) << "opaque black";
        EXPECT_EQ(b->items[4].gradient, gradradon | gradlinon | gradlinstart)
            << "a linear stop clears the radial stops, not the radial switch";
        EXPECT_EQ(b->items[4].radiusx, 3.0f);
        const drawitem& path = b->items[5];
        ASSERT_EQ(path.segments.size(), 2u);
        EXPECT_EQ(path.segments[1].kind, 2u);
        EXPECT_EQ(path.segments[1].pt[5], 6.0f);
        EXPECT_EQ(path.closed, 1u);
        EXPECT_EQ(path.figurebegin, 1u);
        EXPECT_EQ(path.figureend, 1u);
        EXPECT_EQ(path.stroke, 2.0f);
    }
    qtest::touchfile(go);
    ASSERT_TRUE(s.ended());
}

TEST(DrawBox, OpenOptionsAndTheCaption)
{
    const std::wstring go = qtest::gofile(L"draw5.go"), go2 = qtest::gofile(L"draw5.go2");
    boxscript s(L"drawopen", qtest::scripttext(LR"(main
{
    drawbox(a, open, 0, 0, 100, 80, nt)
    drawbox(c, open, 120, 0, 100, 80, x)
    printf("style %d\n", drawbox(c, style, 0))
    printf("hwnd %d\n", drawbox(c, gethwnd) != 0)
    while (fexist("@Ddraw5.go") == 0) {
    }
    printf("style %d\n", drawbox(c, style, 1))
    printf("alpha %d\n", drawbox(a, alpha, 200))
    printf("keyc %d\n", drawbox(a, keyc, 255))
    while (fexist("@Ddraw5.go2") == 0) {
    }
}
)")
                                     .c_str());
    ASSERT_TRUE(s.haslines(2)) << s.logtext();
    DrawBox* a = drawboxof(s, L"a");
    DrawBox* c = drawboxof(s, L"c");
    ASSERT_TRUE(a && c);
    HWND wa = a->window, wc = c->window;
    ASSERT_TRUE(wa && wc);
    EXPECT_TRUE(GetWindowLongPtrW(wa, GWL_EXSTYLE) & WS_EX_TOPMOST) << "t: topmost";
    EXPECT_FALSE(GetWindowLongPtrW(wc, GWL_EXSTYLE) & WS_EX_TOPMOST);
    BYTE alpha = 1;
    DWORD flags = 0;
    GetLayeredWindowAttributes(wa, nullptr, &alpha, &flags);
    EXPECT_EQ(alpha, 0) << "n: fully transparent";
    GetLayeredWindowAttributes(wc, nullptr, &alpha, &flags);
    EXPECT_EQ(alpha, 255);
    EXPECT_TRUE(qtest::pumpuntil([&] { return (GetWindowLongPtrW(wc, GWL_STYLE) & WS_CAPTION) == 0; }))
        << "style 0 takes the caption away";
    qtest::touchfile(go);
    ASSERT_TRUE(s.haslines(5)) << s.logtext();
    EXPECT_TRUE(qtest::pumpuntil([&] { return (GetWindowLongPtrW(wc, GWL_STYLE) & WS_CAPTION) == WS_CAPTION; }));
    COLORREF key = 0;
    GetLayeredWindowAttributes(wa, &key, &alpha, &flags);
    EXPECT_EQ(alpha, 200);
    EXPECT_EQ(key, 255u);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_COLORKEY | LWA_ALPHA));
    qtest::touchfile(go2);
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.lines(), (std::vector<std::wstring>{L"style 1", L"hwnd 1", L"style 1", L"alpha 1", L"keyc 1"}));
}

TEST(DrawBox, ItemsChangeWhileTheWindowThreadPaints)
{
    // Every change of the list, its growth included, meets paints of the
    // window thread; the box's lock keeps them apart.
    boxscript s(L"drawrace", LR"(main
{
    drawbox(d, open, 0, 0, 300, 200)
    drawbox(d, font, "DejaVu Sans", 14)
    t = drawbox(d, text_set, "start", 0, 0)
    p = drawbox(d, pathgeo_open, 0, 0, 1, 1)
    drawbox(d, pathgeo_close, p, 0)
    for (k = 0; k < 600; k++) {
        drawbox(d, upd, 0)
        drawbox(d, line_set, k % 300, 0, k % 300, 200, 1)
        drawbox(d, text_man, t, "a text long enough for a heap block, number " k, k % 100, 40)
        drawbox(d, pathgeo_line, p, k % 300, k % 200)
        drawbox(d, upd, 1)
    }
    printf("lines %d\n", k)
}
)");
    HWND box = qtest::waitwindow(L"quorvel.drawbox");
    ASSERT_NE(box, nullptr);
    // Paints asked from here too, between the script's own.
    qtest::pumpuntil([&] {
        RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return !s.alive();
    }, 30000);
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.lines(), std::vector<std::wstring>{L"lines 600"});
}

namespace {

struct redraw {
    HWND box;
    volatile LONG done;
};

DWORD WINAPI redrawnow(void* arg)
{
    auto* r = static_cast<redraw*>(arg);
    RedrawWindow(r->box, nullptr, nullptr, RDW_INVALIDATE | RDW_NOERASE | RDW_UPDATENOW);
    InterlockedExchange(&r->done, 1);
    return 0;
}

}  // namespace

TEST(DrawBox, PaintsAndEditsTakeTheBoxLock)
{
    const std::wstring go = qtest::gofile(L"draw6.go");
    boxscript s(L"drawlock", qtest::scripttext(LR"(main
{
    drawbox(d, open, 0, 0, 200, 150)
    drawbox(d, line_set, 0, 0, 100, 100, 1)
    drawbox(d, upd, 1)
    printf("shown\n")
    while (fexist("@Ddraw6.go") == 0) {
    }
    drawbox(d, upd, 0)
    drawbox(d, line_set, 0, 100, 100, 0, 1)
    printf("added\n")
}
)")
                                     .c_str());
    HWND box = qtest::waitwindow(L"quorvel.drawbox");
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(s.haslines(1)) << s.logtext();
    DrawBox* b = drawboxof(s, L"d");
    ASSERT_NE(b, nullptr);
    redraw r{box, 0};
    HANDLE painter;
    {
        std::lock_guard<std::recursive_mutex> guard(b->lock);
        painter = CreateThread(nullptr, 0, redrawnow, &r, 0, nullptr);
        qtest::pump(300);
        EXPECT_EQ(r.done, 0) << "the paint waits while the list is held";
        qtest::touchfile(go);
        qtest::pump(300);
        EXPECT_EQ(s.lines().size(), 1u) << "and so does the script's change";
    }
    EXPECT_TRUE(qtest::pumpuntil([&] { return r.done == 1; }));
    WaitForSingleObject(painter, 5000);
    CloseHandle(painter);
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.lines(), (std::vector<std::wstring>{L"shown", L"added"}));
}

// A few thousand items (texts, closed paths, filled rectangles) repaint
// without stalls: the picture of the first paint is drawn again while nothing
// changed, and when something did, the geometries and text formats made by
// the first paint are kept. The times of both repaints are printed.
TEST(DrawBox, ThousandsOfItemsRepaint)
{
    const std::wstring go = qtest::gofile(L"draw7.go");
    boxscript s(L"drawmany", qtest::scripttext(LR"(main
{
    drawbox(d, open, 0, 0, 420, 320)
    drawbox(d, font, "DejaVu Sans", 9)
    for (k = 0; k < 1000; k++) {
        x = k % 37 * 11
        y = k / 37 * 11
        drawbox(d, text_set, "t" k, x, y)
        p = drawbox(d, pathgeo_open, x, y, 0, 1)
        drawbox(d, pathgeo_line, p, x + 8, y)
        drawbox(d, pathgeo_bezier, p, x + 9, y + 3, x + 6, y + 9, x + 2, y + 8)
        drawbox(d, pathgeo_close, p, 1)
        drawbox(d, solidbrush, p, 1, 0, 0.5, 0, 1)
        r = drawbox(d, rectangle_set, x + 2, y + 2, x + 6, y + 6, 1)
        drawbox(d, solidbrush, r, 1, 1, 0, 0, 1)
    }
    drawbox(d, upd, 1)
    printf("items %d\n", r + 1)
    while (fexist("@Ddraw7.go") == 0)
        sleepm(20)
}
)")
                                      .c_str());
    ASSERT_TRUE(s.haslines(1, 60000)) << s.logtext();
    EXPECT_EQ(s.lines(), std::vector<std::wstring>{L"items 3,000"});
    HWND box = qtest::findwindow(L"quorvel.drawbox");
    ASSERT_NE(box, nullptr);
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);  // the first paint makes what is kept
    DrawBox* b = drawboxof(s, L"d");
    ASSERT_NE(b, nullptr);
    const auto kept = [&] {
        std::lock_guard<std::recursive_mutex> guard(b->lock);
        return std::vector<const void*>{b->items[0].format, b->items[0].layout, b->items[1].geometry,
                                        b->items[2997].format, b->items[2998].geometry};
    };
    const std::vector<const void*> before = kept();
    for (const void* p : before)
        EXPECT_NE(p, nullptr);
    const auto pictures = [&] {
        std::lock_guard<std::recursive_mutex> guard(b->lock);
        return b->pictures;
    };
    // Milliseconds a repaint takes, over `rounds`; `change` marks the
    // picture before each, as an edit does. The box's window belongs to
    // another thread, so a loaded machine may return from RedrawWindow before
    // that thread has painted; a changed round waits for its picture, or two
    // marks could meet in one paint.
    const auto repaint = [&](int rounds, bool change) {
        LARGE_INTEGER f, t0, t1;
        QueryPerformanceFrequency(&f);
        QueryPerformanceCounter(&t0);
        for (int k = 0; k < rounds; ++k) {
            const uint32_t had = pictures();
            if (change) {
                std::lock_guard<std::recursive_mutex> guard(b->lock);
                b->redraw = true;
            }
            RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            for (int wait = 0; change && pictures() == had && wait < 5000; ++wait)
                Sleep(1);
        }
        QueryPerformanceCounter(&t1);
        return 1000.0 * static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(f.QuadPart) / rounds;
    };
    const uint32_t drawn = pictures();
    const double same = repaint(10, false);
    EXPECT_EQ(pictures(), drawn) << "nothing changed: the picture is drawn again";
    const double changed = repaint(3, true);
    EXPECT_EQ(pictures(), drawn + 3);
    printf("---- a repaint of 3000 items: %.1f ms unchanged, %.1f ms after a change\n", same, changed);
    RecordProperty("repaintms", static_cast<int>(same));
    RecordProperty("changedms", static_cast<int>(changed));
    EXPECT_EQ(kept(), before) << "made once, kept by later paints";
    qtest::touchfile(go);
    ASSERT_TRUE(s.ended());
}

// A path given a further segment and a text given a new text and face are
// painted with a geometry and a layout made anew, not with what an earlier
// paint kept for them, while an unchanged path keeps its geometry; a new
// background colour draws the picture again. (What the kept objects hold is
// read back: the pixels of a DrawBox window after its first are not always
// readable under Wine.)
TEST(DrawBox, AChangedItemRepaintsWithItsNewGeometryAndFormat)
{
    const std::wstring go = qtest::gofile(L"draw8.go"), go2 = qtest::gofile(L"draw8.go2"),
                       go3 = qtest::gofile(L"draw8.go3");
    boxscript s(L"drawchange", qtest::scripttext(LR"(main
{
    drawbox(d, open, 0, 0, 300, 200)
    drawbox(d, font, "DejaVu Sans", 30)
    t = drawbox(d, text_set, "WWW", 100, 20)
    p = drawbox(d, pathgeo_open, 20, 20, 0, 1)
    drawbox(d, pathgeo_line, p, 80, 20)
    drawbox(d, pathgeo_line, p, 80, 80)
    drawbox(d, pathgeo_close, p, 1)
    q = drawbox(d, pathgeo_open, 200, 100, 0, 1)
    drawbox(d, pathgeo_line, q, 250, 150)
    drawbox(d, pathgeo_close, q, 0)
    drawbox(d, upd, 1)
    printf("triangle\n")
    while (fexist("@Ddraw8.go") == 0)
        sleepm(20)
    drawbox(d, upd, 0)
    drawbox(d, pathgeo_line, p, 20, 80)
    drawbox(d, font, "DejaVu Serif", 30)
    drawbox(d, text_man, t, "i", 100, 20)
    drawbox(d, upd, 1)
    printf("square\n")
    while (fexist("@Ddraw8.go2") == 0)
        sleepm(20)
    drawbox(d, backc, 255)
    printf("red\n")
    while (fexist("@Ddraw8.go3") == 0)
        sleepm(20)
}
)")
                                        .c_str());
    ASSERT_TRUE(s.haslines(1)) << s.logtext();
    DrawBox* b = drawboxof(s, L"d");
    ASSERT_NE(b, nullptr);
    struct keptnow {
        const void* geometry = nullptr;
        UINT32 segments = 0;
        std::wstring face;
        float width = 0;
    };
    // What the last paint kept for the path (item 1) and the text (item 0).
    const auto kept = [&] {
        keptnow k;
        std::lock_guard<std::recursive_mutex> guard(b->lock);
        const drawitem& text = b->items[0];
        const drawitem& path = b->items[1];
        k.geometry = path.geometry;
        if (path.geometry)
            path.geometry->GetSegmentCount(&k.segments);
        if (text.format) {
            wchar_t face[64] = {};
            text.format->GetFontFamilyName(face, 64);
            k.face = face;
        }
        DWRITE_TEXT_METRICS m = {};
        if (text.layout && SUCCEEDED(text.layout->GetMetrics(&m)))
            k.width = m.width;
        return k;
    };
    keptnow first;
    ASSERT_TRUE(qtest::pumpuntil([&] { return (first = kept()).geometry && first.width > 0; })) << "the first paint";
    EXPECT_EQ(first.face, L"DejaVu Sans");
    // Held here, the unchanged path's geometry cannot be made again at its address.
    ID2D1PathGeometry* unchanged;
    {
        std::lock_guard<std::recursive_mutex> guard(b->lock);
        unchanged = b->items[2].geometry;
        ASSERT_NE(unchanged, nullptr);
        unchanged->AddRef();
    }

    qtest::touchfile(go);
    ASSERT_TRUE(s.haslines(2)) << s.logtext();
    keptnow now;
    ASSERT_TRUE(qtest::pumpuntil([&] {
        now = kept();
        return now.geometry && now.width > 0 && now.segments != first.segments;
    })) << "the paint after the change made the geometry again";
    EXPECT_EQ(now.segments, first.segments + 1) << "with the further line";
    EXPECT_EQ(now.face, L"DejaVu Serif") << "the format made with the new face";
    EXPECT_LT(now.width, first.width / 3) << "the layout holds the new text";
    uint32_t pictures;
    {
        std::lock_guard<std::recursive_mutex> guard(b->lock);
        EXPECT_EQ(b->items[2].geometry, unchanged) << "an unchanged path keeps its geometry";
        pictures = b->pictures;
    }
    unchanged->Release();

    qtest::touchfile(go2);
    ASSERT_TRUE(s.haslines(3)) << s.logtext();
    EXPECT_TRUE(qtest::pumpuntil([&] {
        std::lock_guard<std::recursive_mutex> guard(b->lock);
        return b->pictures > pictures;
    })) << "the background colour drew the picture again";
    qtest::touchfile(go3);
    ASSERT_TRUE(s.ended());
}

namespace {

// The thread and the message of the fatal exit of a run.
struct fatalnote {
    DWORD thread = 0;
    std::wstring msg;
};
fatalnote* g_note = nullptr;

void notefatal(ExeScr&, const wchar_t* msg)
{
    g_note->thread = GetCurrentThreadId();
    g_note->msg = msg;
}

}  // namespace

// A picture that cannot be read fails in the window thread's paint; the run
// ends on the script thread, at the statement it was running then, with its
// log line and the exit box of that thread (which the harness closes).
TEST(DrawBox, AFatalErrorOfTheWindowThreadEndsTheRunOnTheScriptThread)
{
    fatalnote note;
    g_note = &note;
    g_fatalhook = notefatal;
    DWORD scriptthread = 0;
    qtest::runoptions opts;
    opts.window = true;
    opts.during = [&](ExeScr& e) { scriptthread = GetWindowThreadProcessId(e.scriptwnd, nullptr); };
    const std::wstring log = qtest::runscript(L"drawfatal", LR"(main
{
    drawbox(d, open, 0, 0, 120, 80)
    drawbox(d, img_set, "no such picture.png", 0, 0)
    drawbox(d, upd, 1)
    sleep(20)
    printf("not reached\n")
}
)",
                                              opts);
    g_fatalhook = nullptr;
    g_note = nullptr;
    // The run's engine is left behind by the harness: its box is closed here.
    if (HWND w = qtest::findwindow(L"quorvel.drawbox"))
        SendMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(qtest::narrow(log), "Exiting... CreateDecoderFromFilename failed. at line 6\n");
    EXPECT_EQ(note.msg, L"CreateDecoderFromFilename failed.") << "the text of the exit box";
    EXPECT_NE(scriptthread, 0u);
    EXPECT_EQ(note.thread, scriptthread) << "raised on the script thread";
}

TEST(DrawBoxFront, WordsCountsAndOptions)
{
    using qtest::fronterror;
    EXPECT_EQ(fronterror(&ExeScr::drawbox_comp, L"d, \"open\", 0, 0, 1, 1"), L"Not supported parameter.");
    EXPECT_EQ(fronterror(&ExeScr::drawbox_comp, L"1d, close"), L"invalid name.");
    EXPECT_EQ(fronterror(&ExeScr::drawbox_comp, L"d, , 1"), L"invalid name.");
    EXPECT_EQ(fronterror(&ExeScr::drawbox_comp, L"d, img_set, \"a\", 1, 2, 3, 4, 5, 6"),
              L"the number of argument mismatch.");
    EXPECT_EQ(fronterror(&ExeScr::drawbox_comp, L"d, linearbrush, 0, 1, 0, 1, 2"), L"the number of argument mismatch.");
    EXPECT_EQ(fronterror(&ExeScr::drawbox_comp, L"d, font, \"x\""), L"the number of argument mismatch.");
    EXPECT_EQ(fronterror(&ExeScr::drawbox_comp, L"d"), L"the number of argument mismatch.");
    {
        // The options of "open" are read as text: "nt" is topmost and transparent.
        qtest::frontrun r(&ExeScr::drawbox_comp, L" box , open, 1, 2, 3, 4,  nt");
        ASSERT_GE(r.e.codecount(), 5);
        EXPECT_TRUE(r.e.code[0].op == &ExeScr::pushint_exec);
        EXPECT_EQ(r.e.code[1].i, 3);
        const int32_t n = r.e.codecount();
        EXPECT_TRUE(r.e.code[n - 3].op == &ExeScr::drawbox_exec);
        EXPECT_EQ(r.e.code[n - 2].i, 6ll << 32) << "the count less one, open's code 0";
        EXPECT_EQ(r.e.code[n - 1].i, 0) << "the first record of the box table";
        ASSERT_EQ(r.e.boxtable.count(), 1);
        EXPECT_EQ(std::wstring(r.e.boxtable.base[0].name), L"box");
        EXPECT_EQ(r.e.boxtable.base[0].kind, objdrawbox);
        r.e.freeboxes();
    }
    {
        qtest::frontrun r(&ExeScr::drawbox_comp, L"b, text_man, 0, \"s\", 1, 2");
        const int32_t n = r.e.codecount();
        EXPECT_EQ(r.e.code[n - 2].i, (5ll << 32) | (14ll << 16));
        r.e.freeboxes();
    }
}

TEST(DrawBoxFront, FaceNamesKeepTheirTerminator)
{
    wchar_t face[drawfacemax];
    wmemset(face, L'?', drawfacemax);
    drawbox_copyface(face, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn");
    EXPECT_EQ(std::wstring(face), L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcde");
    drawbox_copyface(face, L"DejaVu Sans");
    EXPECT_EQ(std::wstring(face), L"DejaVu Sans");
}
