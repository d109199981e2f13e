// Image boxes under a running script: window snapshots shown, saved as PNG
// and JPEG and read back; bands drawn and restored; bitmap and image files
// centred, scaled and refused; composite tiles; captions; and the DWM
// thumbnail, which Wine does not have, up to its calls.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <mutex>
#include <vector>

#include "support/frontend.h"
#include "support/testenv.h"
#include "windows/boxdriver.h"
#include "windows/imagebox.h"
#include "windows/pixels.h"

using qtest::boxscript;
using qtest::pixmap;

namespace {

using qtest::clientsize;
using qtest::gofile;
using qtest::pixelbecomes;
using qtest::scratch;
using qtest::scripttext;

// Sizes a window so that its client area is `cx` × `cy`, and waits for it to
// have been painted so.
void setclient(HWND w, int cx, int cy)
{
    const SIZE frame = boxframe(w);
    SetWindowPos(w, nullptr, 0, 0, cx + frame.cx, cy + frame.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    qtest::pump(50);
}

constexpr uint32_t leftcolour = 0x0AC81E, rightcolour = 0xC81428;

pixmap twohalves(int w, int h)
{
    pixmap p(w, h, rightcolour);
    p.fill(0, 0, w / 2, h, leftcolour);
    return p;
}

}  // namespace

TEST(ImageBox, SnapshotIsShownSavedReadBackAndBanded)
{
    qtest::picturewindow source(twohalves(120, 80), 60, 50);
    ASSERT_NE(source.hwnd, nullptr);
    const std::wstring go = gofile(L"snap.go"), go2 = gofile(L"snap.go2");
    for (const wchar_t* f : {L"snap.png", L"snapedge.jpg", L"snapover.jpg", L"snappart.png"})
        DeleteFileW(scratch(f).c_str());
    boxscript s(L"imgsnap", scripttext(LR"(main
{
    b = imagebox(new)
    printf("win %d\n", imagebox(win, b, @H))
    printf("dtm %d\n", imagebox(dtm, b, @H))
    printf("savp %d\n", imagebox(savp, b, "@Dsnap.png"))
    printf("edge %d\n", imagebox(savj, b, "@Dsnapedge.jpg", 0, 0, 120, 80))
    printf("over %d\n", imagebox(savj, b, "@Dsnapover.jpg", 0, 0, 121, 80))
    printf("part %d\n", imagebox(savp, b, "@Dsnappart.png", 50, 10, 70, 30))
    imagebox(lh, b, 3)
    imagebox(cl, b, 255)
    printf("bands %d %d %d %d\n", imagebox(hd, b, 20), imagebox(hd, b, 30), imagebox(vd, b, 40), imagebox(vd, b, 50))
    while (fexist("@Dsnap.go") == 0) {
    }
    printf("restore %d %d\n", imagebox(hb, b, 20), imagebox(vb, b, 40))
    printf("last %d\n", imagebox(hd, b, 77))
    printf("hwnd %d\n", imagebox(gethwnd, b) != 0)
    while (fexist("@Dsnap.go2") == 0) {
    }
}
)",
                                       source.hwnd)
                                .c_str());
    ASSERT_TRUE(s.haslines(9)) << s.logtext();
    HWND box = qtest::findwindow(L"quorvel.imagebox");
    ASSERT_NE(box, nullptr);
    const std::vector<std::wstring> first = s.lines();
    EXPECT_EQ(first, (std::vector<std::wstring>{L"win 1", L"Already opened error.", L"dtm 0", L"savp 1", L"edge 1",
                                                L"Invalid rectangle error...", L"over 0", L"part 1",
                                                L"bands 1 1 1 1"}));

    // The box stands over its source, as large as the source's client area.
    RECT br, sr;
    GetWindowRect(box, &br);
    GetWindowRect(source.hwnd, &sr);
    EXPECT_EQ(br.left, sr.left);
    EXPECT_EQ(br.top, sr.top);
    EXPECT_EQ(clientsize(box).cx, 120);
    EXPECT_EQ(clientsize(box).cy, 80);
    EXPECT_EQ(qtest::wintext(box), L"Quorvel - ImageBox");

    // What was saved is what the box showed, before the bands.
    const pixmap png = qtest::readpicture(scratch(L"snap.png"));
    ASSERT_EQ(png.width, 120);
    ASSERT_EQ(png.height, 80);
    EXPECT_EQ(png.at(10, 10), leftcolour);
    EXPECT_EQ(png.at(110, 70), rightcolour);
    EXPECT_EQ(png.at(59, 40), leftcolour);
    EXPECT_EQ(png.at(60, 40), rightcolour);
    const pixmap part = qtest::readpicture(scratch(L"snappart.png"));
    ASSERT_EQ(part.width, 20);
    ASSERT_EQ(part.height, 20);
    EXPECT_EQ(part.at(9, 5), leftcolour);
    EXPECT_EQ(part.at(10, 5), rightcolour);
    const pixmap jpg = qtest::readpicture(scratch(L"snapedge.jpg"));
    ASSERT_EQ(jpg.width, 120) << "the right edge may equal the client width";
    EXPECT_TRUE(qtest::closeto(jpg.at(20, 40), leftcolour, 24));
    EXPECT_TRUE(qtest::closeto(jpg.at(100, 40), rightcolour, 24));
    EXPECT_EQ(GetFileAttributesW(scratch(L"snapover.jpg").c_str()), INVALID_FILE_ATTRIBUTES);

    // Bands: a black outline around the band colour, on the window only.
    const pixmap banded = qtest::grabclient(box);
    EXPECT_EQ(banded.at(10, 20), 0u) << "the outline";
    EXPECT_EQ(banded.at(10, 21), 0xFF0000u);
    EXPECT_EQ(banded.at(10, 31), 0xFF0000u);
    EXPECT_EQ(banded.at(41, 60), 0xFF0000u);
    EXPECT_EQ(banded.at(51, 60), 0xFF0000u);
    EXPECT_EQ(banded.at(10, 40), leftcolour);

    qtest::touchfile(go);
    ASSERT_TRUE(s.haslines(12)) << s.logtext();
    const pixmap restored = qtest::grabclient(box);
    EXPECT_EQ(restored.at(10, 20), leftcolour);
    EXPECT_EQ(restored.at(10, 21), leftcolour);
    EXPECT_EQ(restored.at(41, 60), leftcolour);
    EXPECT_EQ(restored.at(10, 31), 0xFF0000u) << "a restore covers its own band's rows only";
    EXPECT_EQ(restored.at(51, 60), 0xFF0000u) << "and its own band's columns only";
    std::vector<std::wstring> later = s.lines();
    later.erase(later.begin(), later.begin() + 9);
    EXPECT_EQ(later, (std::vector<std::wstring>{L"restore 1 1", L"Invalid value.:77last 0", L"hwnd 1"}));

    qtest::touchfile(go2);
    ASSERT_TRUE(s.ended());
    EXPECT_FALSE(IsWindow(box)) << "the run's end closes the box";
}

TEST(ImageBox, BitmapAndImageFilesAreCentredScaledOrRefused)
{
    const pixmap pic = twohalves(160, 100);
    qtest::writebmp(scratch(L"pic.bmp"), pic);
    qtest::writepng(scratch(L"big.png"), twohalves(200, 120));
    qtest::writebytes(scratch(L"notapicture.txt"), "not a picture");
    const std::wstring go = gofile(L"pic.go"), go2 = gofile(L"pic.go2");
    boxscript s(L"imgfiles", scripttext(LR"(main
{
    b = imagebox(new)
    printf("bmp %d\n", imagebox(bmp, b, "@Dpic.bmp"))
    printf("width %d\n", imagebox(width, b))
    printf("height %d\n", imagebox(height, b))
    imagebox(backc, b, 0x00ff00)
    while (fexist("@Dpic.go") == 0) {
    }
    printf("missing %d\n", imagebox(bmp, b, "@Dnone.bmp"))
    printf("again %d\n", imagebox(bmp, b, "@Dpic.bmp"))
    imagebox(lh, b, 1)
    printf("thin %d\n", imagebox(hd, b, 96))
    printf("thin %d\n", imagebox(hd, b, 97))
    imagebox(lh, b, 20)
    printf("thick %d\n", imagebox(hd, b, 89))
    printf("thick %d\n", imagebox(hd, b, 90))
    imagebox(lh, b, 3)
    c = imagebox(new)
    printf("img %d\n", imagebox(img, c, "@Dbig.png"))
    printf("bad %d\n", imagebox(img, c, "@Dnotapicture.txt"))
    while (fexist("@Dpic.go2") == 0) {
    }
}
)")
                                    .c_str());
    ASSERT_TRUE(s.haslines(3)) << s.logtext();
    EXPECT_EQ(s.lines(), (std::vector<std::wstring>{L"bmp 1", L"width 160", L"height 100"}));
    HWND box = qtest::findwindow(L"quorvel.imagebox");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(qtest::wintext(box), scratch(L"pic.bmp")) << "the title is the file";
    EXPECT_EQ(clientsize(box).cx, 160);
    EXPECT_EQ(clientsize(box).cy, 100);
    // Centred on the monitor under the cursor.
    POINT cursor;
    GetCursorPos(&cursor);
    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &mi);
    RECT wr;
    GetWindowRect(box, &wr);
    EXPECT_EQ(wr.left, mi.rcMonitor.left + ((mi.rcMonitor.right - mi.rcMonitor.left) >> 1) - ((wr.right - wr.left) >> 1));
    EXPECT_EQ(wr.top, mi.rcMonitor.top + ((mi.rcMonitor.bottom - mi.rcMonitor.top) >> 1) - ((wr.bottom - wr.top) >> 1));
    EXPECT_TRUE(pixelbecomes(box, 5, 5, leftcolour));
    EXPECT_EQ(qtest::clientpixel(box, 155, 95), rightcolour);

    // A larger client area shows the picture 1:1, centred on the background.
    setclient(box, 260, 200);
    EXPECT_TRUE(pixelbecomes(box, 2, 2, 0x00FF00));
    const pixmap big = qtest::grabclient(box);
    EXPECT_EQ(big.at(49, 100), 0x00FF00u);
    EXPECT_EQ(big.at(50, 50), leftcolour);
    EXPECT_EQ(big.at(209, 149), rightcolour);
    EXPECT_EQ(big.at(210, 149), 0x00FF00u);
    EXPECT_EQ(big.at(100, 150), 0x00FF00u);
    setclient(box, 160, 100);

    // A new load gives back the picture before it, DC and bitmap.
    auto& first = *static_cast<imagebox*>(s.engine()->imageboxes[0]);
    HDC olddc;
    HBITMAP oldbitmap;
    {
        std::lock_guard<std::recursive_mutex> guard(first.lock);
        olddc = first.image.dc;
        oldbitmap = first.image.bitmap;
    }
    ASSERT_EQ(GetObjectType(olddc), static_cast<DWORD>(OBJ_MEMDC));
    ASSERT_EQ(GetObjectType(oldbitmap), static_cast<DWORD>(OBJ_BITMAP));
    qtest::touchfile(go);
    ASSERT_TRUE(s.haslines(12)) << s.logtext();
    EXPECT_EQ(GetObjectType(olddc), 0u);
    EXPECT_EQ(GetObjectType(oldbitmap), 0u);
    std::vector<std::wstring> later = s.lines();
    later.erase(later.begin(), later.begin() + 3);
    EXPECT_EQ(later, (std::vector<std::wstring>{L"bmp open failure:" + scratch(L"none.bmp") + L"missing 0",
                                                L"again 1", L"thin 1", L"Invalid value.:97thin 0", L"thick 1",
                                                L"Invalid value.:90thick 0", L"img 1", L"Lack of memory.",
                                                L"bad 0"}));
    HWND second = qtest::nextwindow(L"quorvel.imagebox", box);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(clientsize(second).cx, 200);
    EXPECT_EQ(clientsize(second).cy, 120);
    EXPECT_TRUE(pixelbecomes(second, 5, 5, leftcolour, 8));
    EXPECT_TRUE(qtest::closeto(qtest::clientpixel(second, 195, 115), rightcolour, 8));
    // A smaller client area shows the picture scaled down to the whole area;
    // the failed file left it as it was.
    setclient(second, 150, 80);
    EXPECT_TRUE(pixelbecomes(second, 10, 40, leftcolour, 40));
    EXPECT_TRUE(qtest::closeto(qtest::clientpixel(second, 140, 40), rightcolour, 40));
    EXPECT_TRUE(qtest::closeto(qtest::clientpixel(second, 140, 78), rightcolour, 40));
    qtest::touchfile(go2);
    ASSERT_TRUE(s.ended());
}

TEST(ImageBox, CompositeTilesAreScaledPlacedAndCleared)
{
    constexpr uint32_t tilecolour = 0x3366CC, grey = 0x808080;
    qtest::writepng(scratch(L"tile.png"), pixmap(10, 10, tilecolour));
    qtest::writebytes(scratch(L"notapicture.txt"), "not a picture");
    const std::wstring go = gofile(L"tile.go"), go2 = gofile(L"tile.go2");
    boxscript s(L"imgtiles", scripttext(LR"(main
{
    p = imagebox(new)
    t1 = imagebox(new)
    t2 = imagebox(new)
    printf("notparent %d\n", imagebox(thumb_chi_f, t1, p, "@Dtile.png", 40, 20))
    printf("par %d\n", imagebox(thumb_par, p))
    imagebox(backc, p, 0x808080)
    printf("again %d\n", imagebox(thumb_par, p))
    printf("tile %d\n", imagebox(thumb_chi_f, t1, p, "@Dtile.png", 40, 20))
    printf("tile %d\n", imagebox(thumb_chi_f, t2, p, "@Dtile.png", 40, 20))
    printf("bad %d\n", imagebox(thumb_chi_f, t2, p, "@Dnotapicture.txt", 40, 20))
    printf("notile %d\n", imagebox(thumb_chi_p, p, 0, 0))
    printf("place %d\n", imagebox(thumb_chi_p, t1, 0, 0))
    printf("place %d\n", imagebox(thumb_chi_p, t2, 50, 30))
    printf("place %d\n", imagebox(thumb_chi_p, t2, 60, 30))
    printf("upd %d\n", imagebox(upd, p))
    while (fexist("@Dtile.go") == 0) {
    }
    printf("clr %d\n", imagebox(thumb_par_clr, p))
    printf("upd %d\n", imagebox(upd, p))
    printf("notparent %d\n", imagebox(thumb_par_clr, t1))
    while (fexist("@Dtile.go2") == 0) {
    }
}
)")
                                    .c_str());
    ASSERT_TRUE(s.haslines(14)) << s.logtext();
    EXPECT_EQ(s.lines(), (std::vector<std::wstring>{L"Invalid class type error.", L"notparent 0", L"par 1",
                                                    L"Already opened error.", L"again 0", L"tile 1", L"tile 1",
                                                    L"bad 0", L"invlaid class index failure.", L"notile 0",
                                                    L"place 1", L"place 1", L"place 1", L"upd 1"}));
    HWND box = qtest::findwindow(L"quorvel.imagebox");
    ASSERT_NE(box, nullptr);
    ASSERT_GE(clientsize(box).cx, 100);
    ASSERT_GE(clientsize(box).cy, 60);
    // A 10 × 10 picture in a 40 × 20 tile: 20 × 20, centred, black beside it.
    EXPECT_TRUE(pixelbecomes(box, 20, 10, tilecolour));
    const pixmap shown = qtest::grabclient(box);
    EXPECT_EQ(shown.at(9, 10), 0u);
    EXPECT_EQ(shown.at(10, 10), tilecolour);
    EXPECT_EQ(shown.at(25, 15), tilecolour);
    EXPECT_EQ(shown.at(30, 10), 0u);
    EXPECT_EQ(shown.at(80, 40), tilecolour) << "the second tile moved to 60, 30; the bad file left it as it was";
    EXPECT_EQ(shown.at(55, 40), grey) << "a tile is listed once, where it was placed last";
    EXPECT_EQ(shown.at(45, 5), grey);

    qtest::touchfile(go);
    ASSERT_TRUE(s.haslines(17)) << s.logtext();
    EXPECT_EQ(s.lines()[14], L"clr 1");
    EXPECT_EQ(s.lines()[15], L"upd 1");
    EXPECT_EQ(s.lines()[16], L"invlaid class index failure.");
    EXPECT_TRUE(pixelbecomes(box, 20, 10, grey)) << "a parent without tiles shows its background";
    qtest::touchfile(go2);
    ASSERT_TRUE(s.ended());
}

TEST(ImageBox, CaptionIsMadeAndShownForItsSeconds)
{
    qtest::writebmp(scratch(L"cap.bmp"), twohalves(300, 100));
    const std::wstring go = gofile(L"cap.go"), go2 = gofile(L"cap.go2");
    boxscript s(L"imgcaption", scripttext(LR"(main
{
    b = imagebox(new)
    printf("caps %d %d\n", imagebox(caps, b, 200, 30), imagebox(bmp, b, "@Dcap.bmp"))
    printf("caps %d\n", imagebox(caps, b, 180, 32))
    printf("capu %d\n", imagebox(capu, b, "hello", -5))
    while (fexist("@Dcap.go") == 0) {
    }
    printf("capu %d\n", imagebox(capu, b, "days", 4294968))
    while (fexist("@Dcap.go2") == 0) {
    }
}
)")
                                      .c_str());
    ASSERT_TRUE(s.haslines(3)) << s.logtext();
    EXPECT_EQ(s.lines(), (std::vector<std::wstring>{L"caps 0 1", L"caps 0", L"capu 0"}));
    HWND box = qtest::findwindow(L"quorvel.imagebox");
    ASSERT_NE(box, nullptr);
    HWND caption = nullptr;
    ASSERT_TRUE(qtest::pumpuntil([&] {
        caption = qtest::findchild(box, L"Static");
        return caption && qtest::wintext(caption) == L"hello";
    })) << "the caption shows the text";
    EXPECT_EQ(qtest::findchild(box, L"Static", 1), nullptr) << "a new caption replaces the one before";
    RECT cr;
    GetWindowRect(caption, &cr);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&cr), 2);
    EXPECT_EQ(cr.left, 10);
    EXPECT_EQ(cr.top, 10);
    EXPECT_EQ(cr.right - cr.left, 180);
    EXPECT_EQ(cr.bottom - cr.top, 32);
    EXPECT_TRUE(IsWindowVisible(caption));
    LOGFONTW lf = {};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(caption, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, 40) << "the default caption font height";
    EXPECT_EQ(lf.lfWeight, 700);
    ExeScr* e = s.engine();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(static_cast<imagebox*>(e->imageboxes[0])->captionseconds, 3) << "seconds not above 0 mean 3";

    // 4294968 s are 704 ms once their milliseconds wrap in 32 bits: the
    // caption must stay for the longest time a timer has instead.
    qtest::touchfile(go);
    ASSERT_TRUE(s.haslines(4)) << s.logtext();
    ASSERT_TRUE(qtest::pumpuntil([&] { return qtest::wintext(caption) == L"days"; }));
    qtest::pump(1500);
    EXPECT_TRUE(IsWindowVisible(caption)) << "a caption of many days still shows";
    qtest::touchfile(go2);
    ASSERT_TRUE(s.ended());
}

namespace {

// Stand-ins for the DWM thumbnail calls, which Wine does not implement: they
// hand out numbered handles and note what was asked of which.
struct fakedwm {
    std::mutex lock;
    intptr_t next = 100;
    std::map<intptr_t, HWND> registered;  // handle → destination
    std::vector<intptr_t> unregistered;
    std::map<intptr_t, std::vector<DWM_THUMBNAIL_PROPERTIES>> updates;
};
fakedwm* g_fake = nullptr;

HRESULT WINAPI fakeregister(HWND dest, HWND, PHTHUMBNAIL out)
{
    std::lock_guard<std::mutex> guard(g_fake->lock);
    const intptr_t h = g_fake->next++;
    g_fake->registered[h] = dest;
    *out = reinterpret_cast<HTHUMBNAIL>(h);
    return S_OK;
}
HRESULT WINAPI fakeunregister(HTHUMBNAIL t)
{
    std::lock_guard<std::mutex> guard(g_fake->lock);
    g_fake->unregistered.push_back(reinterpret_cast<intptr_t>(t));
    return S_OK;
}
HRESULT WINAPI fakeupdate(HTHUMBNAIL t, const DWM_THUMBNAIL_PROPERTIES* p)
{
    std::lock_guard<std::mutex> guard(g_fake->lock);
    g_fake->updates[reinterpret_cast<intptr_t>(t)].push_back(*p);
    return S_OK;
}
HRESULT WINAPI fakequery(HTHUMBNAIL, PSIZE size)
{
    size->cx = 150;
    size->cy = 90;
    return S_OK;
}

}  // namespace

TEST(ImageBox, ThumbnailFailsWhereTheSystemHasNone)
{
    qtest::picturewindow source(twohalves(60, 40), 10, 10);
    const dwmthumbapi& api = dwmthumbs();
    HTHUMBNAIL probe = nullptr;
    const HRESULT real = api.registerthumb ? api.registerthumb(source.hwnd, source.hwnd, &probe) : E_NOTIMPL;
    if (SUCCEEDED(real)) {
        api.unregisterthumb(probe);
        GTEST_SKIP() << "this system shows thumbnails";
    }
    const std::wstring go = gofile(L"thumb.go");
    boxscript s(L"imgthumbfail", scripttext(LR"(main
{
    b = imagebox(new)
    printf("dtm %d\n", imagebox(dtm, b, @H))
    printf("told %d\n", strlen(getlasterror()) > 0)
    printf("upd %d %d\n", imagebox(upd, b), imagebox(upd, b))
    printf("savj %d\n", imagebox(savj, b, "@Dthumb.jpg"))
    printf("nowin %d\n", imagebox(dtm, imagebox(new), 0))
    while (fexist("@Dthumb.go") == 0) {
    }
    printf("close %d\n", imagebox(close, b))
    printf("hwnd %d\n", imagebox(gethwnd, b))
}
)",
                                        source.hwnd)
                                        .c_str());
    ASSERT_TRUE(s.haslines(6)) << s.logtext();
    EXPECT_EQ(s.lines(), (std::vector<std::wstring>{L"dtm 0", L"told 1", L"upd 1 1", L"savj 0", L"IsWindow failure.",
                                                    L"nowin 0"}));
    HWND box = qtest::findwindow(L"quorvel.imagebox");
    ASSERT_NE(box, nullptr) << "the window stays for the script to close";
    EXPECT_TRUE(GetWindowLongPtrW(box, GWL_STYLE) & WS_THICKFRAME) << "a thumbnail box can be sized";
    EXPECT_EQ(static_cast<imagebox*>(s.engine()->imageboxes[0])->thumbnail.load(), nullptr);
    qtest::touchfile(go);
    ASSERT_TRUE(s.ended());
    ASSERT_EQ(s.lines().size(), 8u);
    EXPECT_EQ(s.lines()[6], L"close 1");
    EXPECT_EQ(s.lines()[7], L"hwnd 0");
}

TEST(ImageBox, EveryThumbnailBoxKeepsItsOwnThumbnail)
{
    fakedwm fake;
    g_fake = &fake;
    dwmthumbapi& api = dwmthumbs();
    const dwmthumbapi real = api;
    api = dwmthumbapi{fakeregister, fakeunregister, fakeupdate, fakequery};
    qtest::picturewindow one(twohalves(60, 40), 100, 120), two(twohalves(60, 40), 300, 140);
    const std::wstring go = gofile(L"thumbs.go");
    std::wstring text = scripttext(LR"(main
{
    a = imagebox(new)
    b = imagebox(new)
    printf("dtm %d\n", imagebox(dtm, a, @H))
    printf("dtm %d\n", imagebox(dtm, b, @T))
    printf("upd %d\n", imagebox(upd, a))
    printf("close %d\n", imagebox(close, b))
    while (fexist("@Dthumbs.go") == 0) {
    }
}
)",
                                   one.hwnd);
    text.replace(text.find(L"@T"), 2, qtest::handletext(two.hwnd));
    boxscript s(L"imgthumbs", text.c_str());
    const bool ran = s.haslines(4);
    ExeScr* e = s.engine();
    HWND first = e ? static_cast<imagebox*>(e->imageboxes[0])->window.load() : nullptr;
    const HTHUMBNAIL kept = e ? static_cast<imagebox*>(e->imageboxes[0])->thumbnail.load() : nullptr;
    qtest::touchfile(go);
    const bool ended = s.ended();
    api = real;
    g_fake = nullptr;
    ASSERT_TRUE(ran) << s.logtext();
    ASSERT_TRUE(ended);
    EXPECT_EQ(s.lines(), (std::vector<std::wstring>{L"dtm 1", L"dtm 1", L"upd 1", L"close 1"}));

    ASSERT_EQ(fake.registered.size(), 2u);
    const intptr_t ha = fake.registered.begin()->first, hb = std::next(fake.registered.begin())->first;
    EXPECT_EQ(reinterpret_cast<intptr_t>(kept), ha) << "the first box kept its own thumbnail";
    EXPECT_EQ(fake.registered[ha], first);
    // Each box set up its own thumbnail: client-area destination, shown, the
    // whole source window.
    for (intptr_t h : {ha, hb}) {
        ASSERT_FALSE(fake.updates[h].empty());
        const DWM_THUMBNAIL_PROPERTIES& p = fake.updates[h].front();
        EXPECT_EQ(p.dwFlags, static_cast<DWORD>(0x19));
        EXPECT_TRUE(p.fVisible);
        EXPECT_FALSE(p.fSourceClientAreaOnly);
        EXPECT_EQ(p.rcDestination.right, 150) << "the box was made as large as the source";
        EXPECT_EQ(p.rcDestination.bottom, 90);
    }
    // "upd" on the first box flips only its thumbnail's visibility.
    const DWM_THUMBNAIL_PROPERTIES& shown = fake.updates[ha].back();
    EXPECT_EQ(shown.dwFlags, static_cast<DWORD>(DWM_TNP_VISIBLE));
    EXPECT_TRUE(shown.fVisible);
    for (const DWM_THUMBNAIL_PROPERTIES& p : fake.updates[hb])
        EXPECT_NE(p.dwFlags, static_cast<DWORD>(DWM_TNP_VISIBLE));
    // Closing the second box let go of its own thumbnail first; the run's end
    // then the first box's.
    ASSERT_EQ(fake.unregistered.size(), 2u);
    EXPECT_EQ(fake.unregistered[0], hb);
    EXPECT_EQ(fake.unregistered[1], ha);
}

TEST(ImageBoxFront, WordsAndCounts)
{
    using qtest::fronterror;
    EXPECT_EQ(fronterror(&ExeScr::imagebox_comp, L"Width, 0"), L"Not supported parameter.");
    EXPECT_EQ(fronterror(&ExeScr::imagebox_comp, L" , 0"), L"invalid name.");
    EXPECT_EQ(fronterror(&ExeScr::imagebox_comp, L"new, 0"), L"the number of argument mismatch.");
    EXPECT_EQ(fronterror(&ExeScr::imagebox_comp, L"savj, 0, \"a\", 1, 2, 3"), L"the number of argument mismatch.");
    EXPECT_EQ(fronterror(&ExeScr::imagebox_comp, L"caps, 0, 1"), L"the number of argument mismatch.");
    EXPECT_EQ(fronterror(&ExeScr::imagebox_comp, L"thumb_chi_f, 0, 1, \"a\", 2"), L"the number of argument mismatch.");
    {
        qtest::frontrun r(&ExeScr::imagebox_comp, L" savp , 0, \"a.png\", 1, 2, 3, 4");
        EXPECT_TRUE(r.lastop(&ExeScr::imagebox_exec, (7ll << 32) | (9ll << 16)));
    }
    {
        qtest::frontrun r(&ExeScr::imagebox_comp, L"new");
        EXPECT_TRUE(r.lastop(&ExeScr::imagebox_exec, (1ll << 32) | (4ll << 16)));
    }
    {
        qtest::frontrun r(&ExeScr::imagebox_comp, L"capu, 0, \"x\"");
        EXPECT_TRUE(r.lastop(&ExeScr::imagebox_exec, (3ll << 32) | (20ll << 16)));
    }
}
