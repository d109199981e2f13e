// The window words without another program: their front ends (modes, packed
// operands, counts and words) and the runtimes that can act on windows of
// this process: window information, parents, handle comparison, the control
// window, the clipboard writer and absolute mouse moves.
#include <gtest/gtest.h>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "support/codelist.h"
#include "support/frontend.h"
#include "support/testenv.h"

using qtest::fronterror;
using qtest::frontrun;
using qtest::popint;
using qtest::popstr;
using qtest::runop;

namespace {

constexpr const wchar_t* mismatch = L"the number of argument mismatch.";
constexpr const wchar_t* unsupported = L"Not supported parameter.";

int64_t packed(uint64_t low16, uint64_t count) { return static_cast<int64_t>(low16 << 16 | count << 32); }

// A popup window of the test thread, destroyed with the owner.
struct testwindow {
    HWND hwnd;
    testwindow(int x, int y, int w, int h, const wchar_t* title = L"quorvel window words", HWND parent = nullptr)
    {
        hwnd = CreateWindowExW(0, L"STATIC", title, parent ? WS_CHILD : WS_POPUP, x, y, w, h, parent, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    }
    ~testwindow() { DestroyWindow(hwnd); }
    testwindow(const testwindow&) = delete;
    testwindow& operator=(const testwindow&) = delete;
};

int64_t handle(HWND h) { return static_cast<int64_t>(reinterpret_cast<intptr_t>(h)); }

int64_t ctrlwin(ExeScr& e, int32_t code, HWND w, HWND second = nullptr)
{
    if (code == 21)
        e.pushint(handle(second));
    e.pushint(handle(w));
    runop(e, &ExeScr::ctrlwin_exec, code);
    return popint(e);
}

}  // namespace

TEST(WindowSearchFront, ModesOfGethwnd)
{
    EXPECT_TRUE(frontrun(&ExeScr::gethwnd_comp, L" enum ").lastop(&ExeScr::gethwnd_exec, 0));
    EXPECT_TRUE(frontrun(&ExeScr::gethwnd_comp, L"h, getforegroundwindow").lastop(&ExeScr::gethwnd_exec, 1));
    EXPECT_TRUE(frontrun(&ExeScr::gethwnd_comp, L"h,\twindowfrompoint ").lastop(&ExeScr::gethwnd_exec, 2));
    EXPECT_TRUE(frontrun(&ExeScr::gethwnd_comp, L"h, \"Note\"").lastop(&ExeScr::gethwnd_exec, 3));
    EXPECT_TRUE(frontrun(&ExeScr::gethwnd_comp, L"h, \"Note\", \"Cls\"").lastop(&ExeScr::gethwnd_exec, 4));
    EXPECT_TRUE(frontrun(&ExeScr::gethwnd_comp, L"h, \"Note\", \"Cls\", 1").lastop(&ExeScr::gethwnd_exec, 5));
    EXPECT_EQ(fronterror(&ExeScr::gethwnd_comp, L"h"), mismatch) << "one argument is only \"enum\"";
    EXPECT_EQ(fronterror(&ExeScr::gethwnd_comp, L"h, \"a\", \"b\", 1, 2"), mismatch);
    EXPECT_EQ(fronterror(&ExeScr::gethwnd_comp, L"h, getforegroundwindow, \"c\""), mismatch);
    EXPECT_EQ(fronterror(&ExeScr::gethwnd_comp, L"h, windowfrompoint, \"c\", 0"), mismatch);
    EXPECT_EQ(fronterror(&ExeScr::gethwnd_comp, L"1h, \"Note\""), L"invalid name.");
}

TEST(WindowSearchFront, EmptyTextsBecomeTheEmptyLiteral)
{
    frontrun run(&ExeScr::gethwnd_comp, L"h, , \"Cls\"");
    // The class, then the title: each a literal cell and its reference.
    const codecell* c = run.e.code;
    ASSERT_GE(run.e.codecount(), 4);
    EXPECT_TRUE(c[2].op == static_cast<execfn>(&ExeScr::pushstrlit_exec));
    EXPECT_EQ(c[3].i, 3) << "the empty string";
    frontrun comment(&ExeScr::gethwnd_comp, L"h, /* none */ , \"Cls\"");
    EXPECT_EQ(comment.e.code[3].i, 3) << "a comment alone compiles to nothing";
}

TEST(WindowSearchFront, ChildSearchAndParent)
{
    EXPECT_TRUE(frontrun(&ExeScr::getchildhwnd_comp, L"enum, p").lastop(&ExeScr::getchildhwnd_exec, packed(1, 2)));
    EXPECT_TRUE(frontrun(&ExeScr::getchildhwnd_comp, L"h, p, \"t\"").lastop(&ExeScr::getchildhwnd_exec, packed(0, 3)));
    EXPECT_TRUE(frontrun(&ExeScr::getchildhwnd_comp, L"h, p, \"t\", \"c\", 2")
                    .lastop(&ExeScr::getchildhwnd_exec, packed(0, 5)));
    EXPECT_EQ(fronterror(&ExeScr::getchildhwnd_comp, L"h"), mismatch);
    EXPECT_EQ(fronterror(&ExeScr::getchildhwnd_comp, L"h, p"), mismatch) << "a destination needs a text";
    EXPECT_EQ(fronterror(&ExeScr::getchildhwnd_comp, L"enum, p, \"t\""), mismatch);
    EXPECT_EQ(fronterror(&ExeScr::getchildhwnd_comp, L"h, p, \"t\", \"c\", 1, 2"), mismatch);
    EXPECT_EQ(fronterror(&ExeScr::getchildhwnd_comp, L"9h, p, \"t\""), L"invalid name.");
    EXPECT_TRUE(frontrun(&ExeScr::getparent_comp, L"p, h").lastop(&ExeScr::getparent_exec));
    EXPECT_EQ(fronterror(&ExeScr::getparent_comp, L"p"), mismatch);
    EXPECT_TRUE(frontrun(&ExeScr::wininfo_comp, L"h").lastop(&ExeScr::wininfo_exec));
}

TEST(ControlsFront, FormsByTheirBeginningAndCounts)
{
    EXPECT_TRUE(frontrun(&ExeScr::clkitem_comp, L"h, menu, \"File\"").lastop(&ExeScr::clkitem_exec, packed(0, 3)));
    EXPECT_TRUE(frontrun(&ExeScr::clkitem_comp, L"h, menu, \"a\", \"b\", \"c\", \"d\"")
                    .lastop(&ExeScr::clkitem_exec, packed(0, 6)));
    EXPECT_TRUE(frontrun(&ExeScr::clkitem_comp, L"h, \tlistbox, \"a\", 1").lastop(&ExeScr::clkitem_exec, packed(1, 4)));
    EXPECT_TRUE(frontrun(&ExeScr::clkitem_comp, L"h, buttons, \"OK\"").lastop(&ExeScr::clkitem_exec, packed(2, 3)))
        << "a suffix after the form word";
    EXPECT_EQ(fronterror(&ExeScr::clkitem_comp, L"h, menu"), mismatch);
    EXPECT_EQ(fronterror(&ExeScr::clkitem_comp, L"h, list, \"a\", 1, 2"), mismatch);
    EXPECT_EQ(fronterror(&ExeScr::clkitem_comp, L"h, Menu, \"a\""), unsupported);
    EXPECT_EQ(fronterror(&ExeScr::clkitem_comp, L"h, butto, \"a\""), unsupported);
    EXPECT_EQ(fronterror(&ExeScr::clkitem_comp, L"h, list, 5"), L"syntax error:NUMINT:invalid token in string mode.");
    EXPECT_TRUE(frontrun(&ExeScr::getitem_comp, L" menu , h").lastop(&ExeScr::getitem_exec));
    EXPECT_EQ(fronterror(&ExeScr::getitem_comp, L"menus, h"), unsupported);
    EXPECT_EQ(fronterror(&ExeScr::getitem_comp, L"menu"), mismatch);
    EXPECT_TRUE(frontrun(&ExeScr::sendstr_comp, L"h, \"text\"").lastop(&ExeScr::sendstr_exec));
    EXPECT_EQ(fronterror(&ExeScr::sendstr_comp, L"h"), mismatch);
    EXPECT_TRUE(frontrun(&ExeScr::bm_getstate_comp, L"h").lastop(&ExeScr::bm_getstate_exec));
    EXPECT_TRUE(frontrun(&ExeScr::geteditstr_comp, L"h").lastop(&ExeScr::geteditstr_exec));
}

TEST(CtrlwinFront, WordsExactlyAndTheirCounts)
{
    EXPECT_TRUE(frontrun(&ExeScr::ctrlwin_comp, L"h, top").lastop(&ExeScr::ctrlwin_exec, 16));
    EXPECT_TRUE(frontrun(&ExeScr::ctrlwin_comp, L"h, \tbottom ").lastop(&ExeScr::ctrlwin_exec, 15));
    EXPECT_TRUE(frontrun(&ExeScr::ctrlwin_comp, L"h, min").lastop(&ExeScr::ctrlwin_exec, 0));
    EXPECT_TRUE(frontrun(&ExeScr::ctrlwin_comp, L"h, iswindow").lastop(&ExeScr::ctrlwin_exec, 22));
    EXPECT_TRUE(frontrun(&ExeScr::ctrlwin_comp, L"h, compare, g").lastop(&ExeScr::ctrlwin_exec, 21));
    EXPECT_EQ(fronterror(&ExeScr::ctrlwin_comp, L"h, compare"), mismatch);
    EXPECT_EQ(fronterror(&ExeScr::ctrlwin_comp, L"h, foreground, g"), mismatch);
    EXPECT_EQ(fronterror(&ExeScr::ctrlwin_comp, L"h"), mismatch);
    EXPECT_EQ(fronterror(&ExeScr::ctrlwin_comp, L"h, top, 1, 2"), mismatch);
    EXPECT_EQ(fronterror(&ExeScr::ctrlwin_comp, L"h, Top"), unsupported);
    EXPECT_EQ(fronterror(&ExeScr::ctrlwin_comp, L"h, topm"), unsupported) << "no prefixes";
    EXPECT_TRUE(frontrun(&ExeScr::setwindowpos_comp, L"h, 1, 2, 3, 4").lastop(&ExeScr::setwindowpos_exec));
    EXPECT_EQ(fronterror(&ExeScr::setwindowpos_comp, L"h, 1, 2, 3"), mismatch);
    EXPECT_TRUE(frontrun(&ExeScr::ctrlhv_comp, L"n, tostr, s").lastop(&ExeScr::ctrlhv_exec, 1));
    EXPECT_TRUE(frontrun(&ExeScr::ctrlhv_comp, L"n, fromstr, s").lastop(&ExeScr::ctrlhv_exec, 0));
    EXPECT_EQ(fronterror(&ExeScr::ctrlhv_comp, L"n, tostring, s"), unsupported);
    EXPECT_EQ(fronterror(&ExeScr::ctrlhv_comp, L"1n, fromstr, s"), L"invalid name.");
    EXPECT_EQ(fronterror(&ExeScr::ctrlhv_comp, L"n, tostr"), mismatch);
}

TEST(WindowInfo, RectanglesTitleAndClass)
{
    ExeScr e;
    testwindow w(10, 20, 100, 200, L"info window");
    e.pushint(handle(w.hwnd));
    e.wininfo_exec();
    EXPECT_EQ(e.winrect.left, 10);
    EXPECT_EQ(e.winrect.top, 20);
    EXPECT_EQ(e.winrect.right, 110);
    EXPECT_EQ(e.winrect.bottom, 220);
    EXPECT_EQ(e.cliright, 100) << "no frame";
    EXPECT_EQ(e.clibottom, 200);
    EXPECT_EQ(e.foundtitle, L"info window");
    EXPECT_EQ(e.foundclass, L"Static");

    // A handle that is no window: empty texts, zeros.
    HWND gone = CreateWindowExW(0, L"STATIC", L"gone", WS_POPUP, 1, 2, 3, 4, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    e.pushint(handle(gone));
    e.wininfo_exec();
    EXPECT_EQ(e.foundtitle, L"");
    EXPECT_EQ(e.foundclass, L"");
    EXPECT_EQ(e.winrect.right, 0);
    EXPECT_EQ(e.cliright, 0);
    qtest::releaseall(e);
}

TEST(WindowInfo, ParentOfAChildAndOfNothing)
{
    ExeScr e;
    testwindow top(0, 0, 50, 50);
    testwindow kid(1, 1, 10, 10, L"kid", top.hwnd);
    const int32_t v = e.declvar(L"p", 0);
    e.pushint(handle(kid.hwnd));
    e.pushint(v);
    e.getparent_exec();
    EXPECT_EQ(e.varat(v)->i, handle(top.hwnd));
    EXPECT_EQ(e.varat(v)->isint, 1u);
    e.pushint(12345);
    e.pushint(v);
    e.getparent_exec();
    EXPECT_EQ(e.varat(v)->i, 0) << "not a window";
    qtest::releaseall(e);
}

TEST(Ctrlwin, CompareIsZeroOnlyForTheSameHandle)
{
    ExeScr e;
    auto cmp = [&](int64_t a, int64_t b) {
        e.pushint(b);
        e.pushint(a);
        runop(e, &ExeScr::ctrlwin_exec, 21);
        return popint(e);
    };
    EXPECT_EQ(cmp(0x10020, 0x10020), 0);
    EXPECT_NE(cmp(0x10020, 0x10022), 0) << "closer than 4";
    EXPECT_NE(cmp(0x10022, 0x10020), 0);
    EXPECT_EQ(cmp(0x10020, 0x10030), 4) << "the difference shifted right by 2";
    EXPECT_NE(cmp(0x10020, 0x10020 + (int64_t{1} << 34)), 0) << "low 32 bits of zero";
    qtest::releaseall(e);
}

TEST(Ctrlwin, QueriesAndShowStatesOfAWindowOfOurs)
{
    ExeScr e;
    testwindow w(30, 30, 60, 40);
    EXPECT_EQ(ctrlwin(e, 22, w.hwnd), 1) << "iswindow";
    EXPECT_EQ(ctrlwin(e, 20, w.hwnd), 0) << "not visible yet";
    EXPECT_EQ(ctrlwin(e, 1, w.hwnd), 0) << "show: it was hidden";
    EXPECT_EQ(ctrlwin(e, 20, w.hwnd), 1);
    EXPECT_EQ(ctrlwin(e, 19, w.hwnd), SW_SHOWNORMAL);
    EXPECT_NE(ctrlwin(e, 4, w.hwnd), 0) << "hide: it was visible";
    EXPECT_EQ(ctrlwin(e, 20, w.hwnd), 0);
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    EXPECT_EQ(ctrlwin(e, 22, gone), 0) << "a closed window";
    EXPECT_EQ(ctrlwin(e, 17, gone), 0) << "close: nothing to post to";
    qtest::releaseall(e);
}

TEST(Ctrlwin, ZOrderRequestsGoThroughTheControlWindow)
{
    ExeScr e;
    testwindow w(40, 40, 60, 40);
    ShowWindow(w.hwnd, SW_SHOWNOACTIVATE);
    EXPECT_EQ(ctrlwin(e, 13, w.hwnd), 1) << "topmost";
    EXPECT_NE(GetWindowLongPtrW(w.hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(e.ctrlwnd, nullptr) << "the control window is gone after its request";
    EXPECT_EQ(FindWindowW(L"quorvel.ctrlwin", nullptr), nullptr);
    EXPECT_EQ(ctrlwin(e, 14, w.hwnd), 1) << "notopmost";
    EXPECT_EQ(GetWindowLongPtrW(w.hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(ctrlwin(e, 12, w.hwnd), 1) << "foreground";
    EXPECT_EQ(GetForegroundWindow(), w.hwnd);
    qtest::releaseall(e);
}

TEST(Ctrlwin, NoControlWindowNoStaleResult)
{
    ExeScr e;
    testwindow w(40, 40, 60, 40);
    // An owner that is no window makes the control window's creation fail.
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    HWND saved = hWndp;
    hWndp = gone;
    e.ctrlresult = 1;
    EXPECT_EQ(ctrlwin(e, 16, w.hwnd), 0);
    hWndp = saved;
    qtest::releaseall(e);
}

TEST(SetWindowPos, MovesAndSizesOrOnlyMoves)
{
    ExeScr e;
    testwindow w(0, 0, 80, 60);
    auto place = [&](int64_t x, int64_t y, int64_t cx, int64_t cy) {
        e.pushint(cy);
        e.pushint(cx);
        e.pushint(y);
        e.pushint(x);
        e.pushint(handle(w.hwnd));
        e.setwindowpos_exec();
        RECT r;
        GetWindowRect(w.hwnd, &r);
        return r;
    };
    RECT r = place(15, 25, 120, 90);
    EXPECT_EQ(r.left, 15);
    EXPECT_EQ(r.top, 25);
    EXPECT_EQ(r.right, 135);
    EXPECT_EQ(r.bottom, 115);
    EXPECT_TRUE(IsWindowVisible(w.hwnd)) << "a new size shows the window";
    ShowWindow(w.hwnd, SW_HIDE);
    r = place(50, 60, 0, 0);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.right, 170) << "the size is kept";
    EXPECT_FALSE(IsWindowVisible(w.hwnd)) << "a move alone leaves the show state";
    EXPECT_TRUE(e.datd.empty());
    qtest::releaseall(e);
}

TEST(Clipboard, TextReplacesTheContents)
{
    ExeScr e;
    const std::wstring longtext(3000, L'q');
    for (const std::wstring& text : {std::wstring(L"from the script"), std::wstring(), longtext}) {
        e.setcliptext(text.c_str());
        ASSERT_TRUE(OpenClipboard(nullptr));
        HANDLE data = GetClipboardData(CF_UNICODETEXT);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(GlobalLock(data))), text);
        GlobalUnlock(data);
        CloseClipboard();
    }
}

TEST(SendMouse, AbsoluteMovesReachBothCorners)
{
    ExeScr e;  // its monitor table is empty until the first move reads it
    POINT was;
    GetCursorPos(&was);
    e.sendmouse(0, 0, 0);
    POINT p;
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    const LONG w = e.monitors[0].right - e.monitors[0].left;
    const LONG h = e.monitors[0].bottom - e.monitors[0].top;
    ASSERT_GT(w, 1);
    e.sendmouse(static_cast<uint32_t>(w - 1), static_cast<uint32_t>(h - 1), 0);
    GetCursorPos(&p);
    EXPECT_EQ(p.x, w - 1);
    EXPECT_EQ(p.y, h - 1);
    e.sendmouse(200, 150, 0);
    GetCursorPos(&p);
    EXPECT_EQ(p.x, 200);
    EXPECT_EQ(p.y, 150);
    SetCursorPos(was.x, was.y);
}

TEST(Controls, CheckStateAndTypedText)
{
    ExeScr e;
    testwindow top(0, 0, 200, 100);
    HWND check = CreateWindowExW(0, L"BUTTON", L"tick", WS_CHILD | BS_3STATE, 0, 0, 50, 20, top.hwnd, nullptr,
                                 nullptr, nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_AUTOHSCROLL, 0, 30, 150, 20, top.hwnd, nullptr, nullptr, nullptr);
    auto state = [&] {
        e.pushint(handle(check));
        e.bm_getstate_exec();
        return popint(e);
    };
    EXPECT_EQ(state(), 0);
    SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(state(), 1);
    SendMessageW(check, BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_EQ(state(), 0) << "indeterminate";

    auto type = [&](const std::wstring& text) {
        e.pushstrtext(text.c_str(), text.size(), 217);
        e.pushint(handle(edit));
        e.sendstr_exec();
        e.pushint(handle(edit));
        e.geteditstr_exec();
        return popstr(e);
    };
    EXPECT_EQ(type(L"ab"), L"ab");
    EXPECT_EQ(type(L""), L"ab") << "nothing sent";
    const std::wstring longtext(70, L'z');
    EXPECT_EQ(type(longtext), L"ab" + longtext) << "past the inline text";
    qtest::releaseall(e);
}

