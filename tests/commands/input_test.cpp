// Keyboard and mouse input: keys typed into the script's own window and read
// back, absolute moves read back as the cursor position, point conversion, the
// front ends' words and the sign mode.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "support/codelist.h"
#include "support/inputdriver.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

using qtest::runoptions;
using qtest::runscript;

namespace {

std::string run(const wchar_t* text, const runoptions& opts = runoptions{})
{
    return qtest::narrow(runscript(L"input", text, opts));
}

}  // namespace

TEST(Input, TypedKeysReachTheScriptInOrderThenZero)
{
    qtest::foregroundowner owner;
    runoptions opts;
    opts.window = true;
    opts.during = [](ExeScr& e) {
        // Keys typed before the first "kbhit" are not the script's.
        qtest::waitfor([&] { return e.keymode == 1; });
        qtest::focusscript(e);
        qtest::typekeys({'Q', 'U', 'V'});
    };
    EXPECT_EQ(run(L"printf(\"first %D\\n\", kbhit())\r\n"
                  L"t = clock()\r\n"
                  L"while (kbhit() == 0 && clock() - t < 5000) sleepm(5)\r\n"
                  L"got = 0\r\n"
                  L"while (got < 3 && clock() - t < 5000) {\r\n"
                  L"  c = getwmchar()\r\n"
                  L"  if (c) { printf(\"%D\\n\", c)\r\n got++ } else sleepm(5)\r\n"
                  L"}\r\n"
                  L"printf(\"then %D %D\\n\", getwmchar(), kbhit())\r\n",
                  opts),
              "first 0\n113\n117\n118\nthen 0 0\n");
}

TEST(Input, KbhitAndGetwmcharReadTheRingAndWrapAtItsEnd)
{
    ExeScr e;
    qtest::runop(e, &ExeScr::kbhit_exec, 1);
    EXPECT_EQ(qtest::popint(e), 0) << "the first call only switches the queue on";
    EXPECT_EQ(e.keydown, 1u);
    e.keyring[511] = 'x';
    e.keyring[0] = 'y';
    e.keyread = 511;
    e.keycount = 2;
    qtest::runop(e, &ExeScr::kbhit_exec, 0);
    EXPECT_EQ(qtest::popint(e), 1);
    EXPECT_EQ(e.keydown, 0u) << "each call sets the mode";
    qtest::runop(e, &ExeScr::getwmchar_exec, 0);
    EXPECT_EQ(qtest::popint(e), 'x');
    EXPECT_EQ(e.keyread, 512);
    qtest::runop(e, &ExeScr::getwmchar_exec, 0);
    EXPECT_EQ(qtest::popint(e), 'y') << "the read position wraps to entry 0";
    EXPECT_EQ(e.keyread, 1);
    qtest::runop(e, &ExeScr::getwmchar_exec, 0);
    EXPECT_EQ(qtest::popint(e), 0);
    EXPECT_EQ(e.keycount, 0);

    // A pending press of the script's hotkey counts as something to read.
    e.hotkeypending = 1;
    qtest::runop(e, &ExeScr::kbhit_exec, 0);
    EXPECT_EQ(qtest::popint(e), 0) << "not while no hotkey is registered";
    e.hotkeyon = 1;
    qtest::runop(e, &ExeScr::kbhit_exec, 0);
    EXPECT_EQ(qtest::popint(e), 1);
    e.freedatd();
}

TEST(Input, KbhitAndGetwmcharTakeOnlyALeading1)
{
    EXPECT_EQ(qtest::compiledoperand(L"kbhit()", &ExeScr::kbhit_exec), 0);
    EXPECT_EQ(qtest::compiledoperand(L"kbhit( 1)", &ExeScr::kbhit_exec), 1);
    EXPECT_EQ(qtest::compiledoperand(L"kbhit(2)", &ExeScr::kbhit_exec), 0);
    EXPECT_EQ(qtest::compiledoperand(L"getwmchar(\t1)", &ExeScr::getwmchar_exec), 1);
    EXPECT_EQ(qtest::compiledoperand(L"getwmchar(0)", &ExeScr::getwmchar_exec), 0);
}

TEST(Input, AbsoluteMovesReachEveryCornerOfThePrimaryMonitor)
{
    EXPECT_EQ(run(L"r = monrect(0, right) - 1\r\n"
                  L"b = monrect(0, bottom) - 1\r\n"
                  L"mousemove(r, b)\r\n"
                  L"sleepm(30)\r\n"
                  L"getcursorpos()\r\n"
                  L"printf(\"%D\\n\", xspos() == r && yspos() == b)\r\n"
                  L"mousemove(0, 0)\r\n"
                  L"sleepm(30)\r\n"
                  L"getcursorpos()\r\n"
                  L"printf(\"%D %D\\n\", xspos(), yspos())\r\n"
                  L"mousemove(100, 60)\r\n"
                  L"sleepm(30)\r\n"
                  L"getcursorpos()\r\n"
                  L"printf(\"%D %D\\n\", xspos(), yspos())\r\n",
                  []{ runoptions o; o.window = true; return o; }()),
              "1\n0 0\n100 60\n");
}

namespace {

// What a low-level hook saw of the synthesised input.
struct seen {
    DWORD vk, scan, flags;
    WPARAM msg;
    POINT pt;
};
std::vector<seen> g_seen;

LRESULT CALLBACK keyhook(int code, WPARAM wp, LPARAM lp)
{
    if (code == HC_ACTION) {
        const auto* k = reinterpret_cast<KBDLLHOOKSTRUCT*>(lp);
        g_seen.push_back(seen{k->vkCode, k->scanCode, k->flags, wp, {}});
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

LRESULT CALLBACK mousehook(int code, WPARAM wp, LPARAM lp)
{
    if (code == HC_ACTION) {
        const auto* m = reinterpret_cast<MSLLHOOKSTRUCT*>(lp);
        g_seen.push_back(seen{0, 0, m->flags, wp, m->pt});
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}

// Runs `body` on a script thread while low-level hooks of the test thread
// record what it sends; returns the records.
std::vector<seen> watchinput(const std::function<void(ExeScr&)>& body)
{
    g_seen.clear();
    HHOOK k = SetWindowsHookExW(WH_KEYBOARD_LL, keyhook, GetModuleHandleW(nullptr), 0);
    HHOOK m = SetWindowsHookExW(WH_MOUSE_LL, mousehook, GetModuleHandleW(nullptr), 0);
    qtest::scriptthread t;
    t.body = body;
    EXPECT_TRUE(t.go([](ExeScr&) {}));
    qtest::pump(50);
    UnhookWindowsHookEx(k);
    UnhookWindowsHookEx(m);
    return g_seen;
}

}  // namespace

TEST(Input, AltKeysGoAsScanCodesAndModesPressOrRelease)
{
    const auto got = watchinput([](ExeScr& e) {
        for (int64_t vk : {VK_LMENU, VK_RMENU}) {
            e.pushint(0);
            e.pushint(vk);
            e.keyin_exec();
        }
        e.pushint(1);
        e.pushint(VK_SHIFT);
        e.keyin_exec();  // press only
        e.pushint(2);
        e.pushint(VK_SHIFT);
        e.keyin_exec();  // release only
    });
    ASSERT_EQ(got.size(), 6u);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(got[k].scan, 0x38u) << k;
        EXPECT_EQ(got[k].vk == VK_LMENU || got[k].vk == VK_MENU || got[k].vk == VK_RMENU, true) << got[k].vk;
        EXPECT_EQ((got[k].flags & LLKHF_UP) != 0, k % 2 == 1) << k;
    }
    EXPECT_EQ(got[0].flags & LLKHF_EXTENDED, 0u) << "left Alt";
    EXPECT_NE(got[2].flags & LLKHF_EXTENDED, 0u) << "right Alt is extended";
    EXPECT_EQ(got[4].flags & LLKHF_UP, 0u);
    EXPECT_NE(got[5].flags & LLKHF_UP, 0u);
}

TEST(Input, ButtonsActWhereTheCursorIs)
{
    const auto got = watchinput([](ExeScr& e) {
        e.enummonitors();
        e.sendmouse(40, 30, 0);
        e.sendmouse(0, 0, 2);  // a right click: down and up, no move
        qtest::runop(e, &ExeScr::mousebtn_exec, 1);  // "left"
    });
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0].msg, static_cast<WPARAM>(WM_MOUSEMOVE));
    EXPECT_EQ(got[0].pt.x, 40);
    EXPECT_EQ(got[0].pt.y, 30);
    EXPECT_EQ(got[1].msg, static_cast<WPARAM>(WM_RBUTTONDOWN));
    EXPECT_EQ(got[2].msg, static_cast<WPARAM>(WM_RBUTTONUP));
    EXPECT_EQ(got[3].msg, static_cast<WPARAM>(WM_LBUTTONDOWN));
    EXPECT_EQ(got[4].msg, static_cast<WPARAM>(WM_LBUTTONUP));
    for (size_t k = 1; k < got.size(); ++k)
        EXPECT_EQ(got[k].pt.x, 40) << "button " << k << " moved the cursor";
}

TEST(Input, MousebtnWords)
{
    EXPECT_EQ(qtest::compiledoperand(L"mousebtn(right)", &ExeScr::mousebtn_exec), 0);
    EXPECT_EQ(qtest::compiledoperand(L"mousebtn( left )", &ExeScr::mousebtn_exec), 1);
    EXPECT_EQ(qtest::compiledoperand(L"mousebtn(leftdown)", &ExeScr::mousebtn_exec), 2);
    EXPECT_EQ(qtest::compiledoperand(L"mousebtn(leftup)", &ExeScr::mousebtn_exec), 3);
    EXPECT_EQ(qtest::compiledoperand(L"mousebtn(rightdown)", &ExeScr::mousebtn_exec), 4);
    EXPECT_EQ(qtest::compiledoperand(L"mousebtn(rightup)", &ExeScr::mousebtn_exec), 5);
    for (const wchar_t* bad : {L"mousebtn(Left)\r\n", L"mousebtn(1left)\r\n", L"mousebtn(middle)\r\n"})
        EXPECT_EQ(run(bad), "Exiting... invalid name. at line 1 \n") << qtest::narrow(bad);
}

TEST(Input, HeldKeysReadNegative)
{
    EXPECT_EQ(run(L"keyin(vk_shift, 1)\r\n"
                  L"sleepm(20)\r\n"
                  L"printf(\"%D\\n\", getasynckeystate(vk_shift) < 0)\r\n"
                  L"keyin(vk_shift, 2)\r\n"
                  L"sleepm(20)\r\n"
                  L"printf(\"%D\\n\", getasynckeystate(vk_shift) < 0)\r\n"),
              "1\n0\n");
}

TEST(Input, CursorShapesAndTheirWords)
{
    EXPECT_EQ(qtest::compiledoperand(L"iscursor(  arrowhead)", &ExeScr::iscursor_exec), 0);
    EXPECT_EQ(qtest::compiledoperand(L"iscursor(hand)", &ExeScr::iscursor_exec), 1);
    EXPECT_EQ(run(L"iscursor(cross)\r\n"), "Exiting... Not supported parameter. at line 1 \n");
    EXPECT_EQ(run(L"printf(\"%D\\n\", iscursor(arrow) + iscursor(hand) <= 1)\r\n"), "1\n");
}

TEST(Input, PointConversionBothWaysAndAFailure)
{
    HWND w = qtest::ownerwindow();
    POINT p = {10, 20};
    ClientToScreen(w, &p);
    char want[96];
    snprintf(want, sizeof want, " converted  x:%ld y:%ld \n1 %ld %ld\n converted  x:10 y:20 \n1 10 20\n", p.x, p.y,
             p.x, p.y);
    // The arguments of printf are worked out last first: the results go to variables.
    EXPECT_EQ(run(L"r = pointconversion(hwndmine(), toscreen, 10, 20)\r\n"
                  L"printf(\"%D %D %D\\n\", r, xspos(), yspos())\r\n"
                  L"r = pointconversion(hwndmine(), toclient, xspos(), yspos())\r\n"
                  L"printf(\"%D %D %D\\n\", r, xcpos(), ycpos())\r\n"),
              want);
    EXPECT_EQ(run(L"r = pointconversion(12345, toclient, 1, 2)\r\n"
                  L"printf(\"%D %D %D\\n\", r, xcpos(), ycpos())\r\n"),
              " conversion failed. \n0 0 0\n");
    EXPECT_EQ(run(L"pointconversion(0, screen, 1, 2)\r\n"), "Exiting... invalid name. at line 1 \n");
    EXPECT_EQ(run(L"pointconversion(0, toscreen, 1)\r\n"), "Exiting... the number of argument mismatch. at line 1 \n");
}

TEST(Input, SignModeSwitchesOrderingAndRightShifts)
{
    EXPECT_EQ(run(L"a = -1\r\n"
                  L"b = 1\r\n"
                  L"printf(\"%D %D\\n\", a < b, a >> 62)\r\n"
                  L"printf(\"%D\\n\", signmode(0))\r\n"
                  L"printf(\"%D %D %D\\n\", a < b, a >> 62, a == -1)\r\n"
                  L"printf(\"%D\\n\", signmode(2.9))\r\n"
                  L"printf(\"%D %D\\n\", a < b, a >> 62)\r\n"
                  L"printf(\"%D\\n\", signmode(-4294967295))\r\n"),
              "1 -1\n0\n0 3 1\n2\n1 -1\n1\n")
        << "any value but 0 is signed; a number counts by its low 32 bits";
}
