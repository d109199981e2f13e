// The TreeViewBox under a running script: items, a choice, a typed
// character, check-box states and closing during a wait.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cstring>

#include "support/testenv.h"
#include "windows/boxdriver.h"

using qtest::boxscript;

TEST(TreeViewBox, ChoiceCharacterStatesAndClose)
{
    boxscript s(L"tvbox1", LR"(main
{
    printf("font %d\n", tvbox(font, "DejaVu Sans", 18))
    tvbox(open, 10, 10, 300, 300)
    a = tvbox(tvi, 0, "alpha")
    b = tvbox(tvi, a, "beta")
    c = tvbox(tvi, 0, "gamma")
    tvbox(exp, a)
    s = tvbox(sel)
    printf("sel %d\n", s == b)
    s = tvbox(sel)
    printf("char %d %d\n", s, charret())
    tvbox(style, 1)
    tvbox(scs, c)
    printf("gcs %d\n", tvbox(gcs, c))
    tvbox(rcs, c)
    printf("gcs %d\n", tvbox(gcs, c))
    s = tvbox(sel)
    printf("closed %d %d\n", s, charret())
    printf("after %d\n", tvbox(sel))
}
)");
    HWND box = qtest::waitwindow(L"quorvel.treeview", L"Quorvel - TreeViewBox");
    ASSERT_NE(box, nullptr);
    HWND tree = qtest::findchild(box, WC_TREEVIEWW);
    ASSERT_NE(tree, nullptr);
    ASSERT_TRUE(s.inboxwait(qtest::inchoice));
    ASSERT_EQ(SendMessageW(tree, TVM_GETCOUNT, 0, 0), 3);
    const auto first = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    const auto child =
        reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(first)));
    wchar_t text[16] = {};
    TVITEMW it = {};
    it.mask = TVIF_TEXT;
    it.hItem = child;
    it.pszText = text;
    it.cchTextMax = 16;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    EXPECT_STREQ(text, L"beta") << "a child of the first item";
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(tree, WM_GETFONT, 0, 0));
    LOGFONTW lf = {};
    ASSERT_NE(font, nullptr) << "the font made before the open";
    GetObjectW(font, sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, 18);

    SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child));
    ASSERT_TRUE(s.haslines(2));
    ASSERT_TRUE(s.inboxwait(qtest::inchoice));
    PostMessageW(tree, WM_CHAR, L'q', 0);
    ASSERT_TRUE(s.haslines(5));
    EXPECT_TRUE(GetWindowLongPtrW(tree, GWL_STYLE) & TVS_CHECKBOXES);
    ASSERT_TRUE(s.inboxwait(qtest::inchoice));
    PostMessageW(box, WM_CLOSE, 0, 0);
    ASSERT_TRUE(s.ended());
    const std::vector<std::wstring> want = {L"font 1", L"sel 1", L"char 0 113", L"gcs 1", L"gcs 0", L"closed 0 0",
                                            L"after 0"};
    EXPECT_EQ(s.lines(), want);
    EXPECT_FALSE(IsWindow(box));
}

TEST(TreeViewBox, OpeningTwiceStopsTheScript)
{
    boxscript s(L"tvbox2", LR"(main
{
    tvbox(open, 0, 0, 100, 100)
    printf("second %d\n", tvbox(open, 0, 0, 100, 100))
    printf("not reached\n")
}
)");
    ASSERT_TRUE(s.ended());
    const std::vector<std::wstring> want = {L"Already opened error."};
    EXPECT_EQ(s.lines(), want) << "the run ends right after the operation";
    EXPECT_EQ(qtest::findwindow(L"quorvel.treeview"), nullptr) << "the run's end closed it";
}

TEST(TreeViewBox, TickingACheckBoxEndsAnItemWait)
{
    boxscript s(L"tvbox3", LR"(main
{
    tvbox(open, 10, 10, 300, 300)
    tvbox(style, 1)
    a = tvbox(tvi, 0, "alpha")
    r = tvbox(itm)
    printf("itm %d gcs %d\n", r == a, tvbox(gcs, a))
}
)");
    HWND box = qtest::waitwindow(L"quorvel.treeview");
    ASSERT_NE(box, nullptr);
    // The tree control is there once the script waits on its item, not
    // necessarily as soon as the box's window is.
    ASSERT_TRUE(s.inboxwait(qtest::inchoice));
    HWND tree = qtest::findchild(box, WC_TREEVIEWW);
    ASSERT_NE(tree, nullptr);
    const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    RECT r = {};
    memcpy(&r, &item, sizeof item);
    SendMessageW(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    // The state image stands just left of the text.
    const LPARAM at = MAKELPARAM(r.left - 8, (r.top + r.bottom) / 2);
    PostMessageW(tree, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(tree, WM_LBUTTONUP, 0, at);
    EXPECT_TRUE(qtest::pumpuntil([&] {
        return (SendMessageW(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_STATEIMAGEMASK) >> 12) == 2;
    }, 3000)) << "ticked";
    // Wine 8 ticks the box but sends no TVN_ITEMCHANGEDW (measured): the
    // notice the control would send on Windows stands in for it here.
    NMTVITEMCHANGE change = {};
    change.hdr.hwndFrom = tree;
    change.hdr.idFrom = 100;
    change.hdr.code = TVN_ITEMCHANGEDW;
    change.hItem = item;
    change.uStateNew = 0x2000;
    change.uStateOld = 0x1000;
    SendMessageW(box, WM_NOTIFY, 100, reinterpret_cast<LPARAM>(&change));
    ASSERT_TRUE(s.ended(5000));
    EXPECT_EQ(s.lines(), std::vector<std::wstring>{L"itm 1 gcs 1"});
}
