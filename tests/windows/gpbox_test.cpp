// The GroupBox under a running script: rows, F5, Enter and Esc with the
// values stored into the script's variables, armed rows, the first row, a
// form without rows, and file names pasted from the clipboard.
#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>

#include "support/testenv.h"
#include "windows/boxdriver.h"

using qtest::boxscript;

namespace {

HWND button(HWND form, const wchar_t* text)
{
    for (int k = 0;; ++k) {
        HWND b = qtest::findchild(form, L"Button", k);
        if (!b || qtest::wintext(b) == text)
            return b;
    }
}

void click(HWND form, HWND b)
{
    PostMessageW(form, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(b), BN_CLICKED), reinterpret_cast<LPARAM>(b));
}

// The edit field of the form's first combo box, once the script waits in "comp".
HWND firstedit(const boxscript& s)
{
    HWND form = qtest::waitwindow(L"quorvel.gpbox");
    if (!form || !s.inboxwait(qtest::incomp))
        return nullptr;
    return GetWindow(qtest::findchild(form, L"ComboBox"), GW_CHILD);
}

}  // namespace

TEST(GroupBox, F5EnterAndEscStoreTheForm)
{
    boxscript s(L"gpbox1", LR"(main
{
    gpbox(open, 10, 10, 300, 200, t)
    gpbox(stat, "Name:")
    r = gpbox(combt, name)
    gpbox(addstr, r, "first")
    gpbox(addstr, r, "second")
    g = gpbox(btn, choice)
    gpbox(addstr, g, "zero")
    gpbox(addstr, g, "one")
    gpbox(addstr, g, "two")
    gpbox(fit)
    printf("rows %d %d\n", r, g)
    printf("F5 %d\n", gpbox(comp))
    e = gpbox(comp)
    printf("enter %d name=%s choice=%d\n", e, name, choice)
    gpbox(open, 10, 10, 300, 200)
    r = gpbox(combt, name)
    g = gpbox(btn, choice)
    gpbox(addstr, g, "a")
    gpbox(addstr, g, "b")
    printf("setret %d %d %d\n", gpbox(setret, g), gpbox(setret, 0), gpbox(setret, 9))
    printf("actv %d\n", gpbox(actv, 0))
    e = gpbox(comp)
    printf("click %d %d %d\n", e, index1ret(), index2ret())
    e = gpbox(comp)
    printf("esc %d name=%s choice=%d\n", e, name, choice)
    printf("closed %d\n", gpbox(comp))
}
)");
    HWND form = qtest::waitwindow(L"quorvel.gpbox", L"Quorvel - GroupBox");
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(s.inboxwait(qtest::incomp));
    EXPECT_TRUE(GetWindowLongPtrW(form, GWL_EXSTYLE) & WS_EX_TOPMOST);
    HWND combo = qtest::findchild(form, L"ComboBox");
    ASSERT_NE(combo, nullptr);
    HWND edit = GetWindow(combo, GW_CHILD);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 2);
    HWND one = button(form, L"one");
    ASSERT_NE(one, nullptr);
    HWND label = qtest::findchild(form, L"Static");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(qtest::wintext(label), L"Name:");
    RECT lr, cr, br, fr;
    GetWindowRect(label, &lr);
    GetWindowRect(combo, &cr);
    GetWindowRect(one, &br);
    EXPECT_LT(lr.bottom, cr.top + 3) << "rows go down the form";
    EXPECT_LE(cr.bottom, br.top);
    GetClientRect(form, &fr);
    POINT bottom = {0, br.bottom};
    ScreenToClient(form, &bottom);
    EXPECT_EQ(fr.bottom, bottom.y + 2) << "fit: as high as its rows";

    PostMessageW(edit, WM_KEYDOWN, VK_F5, 0);
    ASSERT_TRUE(s.haslines(2));
    EXPECT_TRUE(IsWindow(form)) << "F5 leaves the form open";
    ASSERT_TRUE(s.inboxwait(qtest::incomp));
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"typed"));
    click(form, one);
    PostMessageW(edit, WM_CHAR, VK_RETURN, 0);
    ASSERT_TRUE(s.haslines(3));
    EXPECT_FALSE(IsWindow(form));

    HWND form2 = qtest::waitwindow(L"quorvel.gpbox");
    ASSERT_NE(form2, nullptr);
    ASSERT_TRUE(s.inboxwait(qtest::incomp));
    HWND b = button(form2, L"b");
    ASSERT_NE(b, nullptr);
    click(form2, b);
    ASSERT_TRUE(s.haslines(6));
    ASSERT_TRUE(s.inboxwait(qtest::incomp));
    HWND edit2 = GetWindow(qtest::findchild(form2, L"ComboBox"), GW_CHILD);
    SendMessageW(edit2, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"kept"));
    PostMessageW(edit2, WM_CHAR, VK_ESCAPE, 0);
    ASSERT_TRUE(s.ended());
    const std::vector<std::wstring> want = {L"rows 1 2",
                                            L"F5 116",
                                            L"enter 1 name=typed choice=1",
                                            L"setret 1 0 -1",
                                            L"actv 1",
                                            L"click 2 1 1",
                                            L"esc 0 name=kept choice=1",
                                            L"closed 0"};
    EXPECT_EQ(s.lines(), want);
}

TEST(GroupBox, AFormWithoutRowsTakesKeys)
{
    boxscript s(L"gpbox2", LR"(main
{
    gpbox(open, 10, 10, 200, 100)
    printf("norows %d\n", gpbox(comp))
    printf("stat %d\n", gpbox(stat, "late"))
}
)");
    HWND form = qtest::waitwindow(L"quorvel.gpbox");
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(s.inboxwait(qtest::incomp));
    SendMessageW(form, WM_CHAR, L'x', 0);
    PostMessageW(form, WM_CLOSE, 0, 0);
    ASSERT_TRUE(s.ended());
    const std::vector<std::wstring> want = {L"norows 1", L"No GroupBox error."};
    EXPECT_EQ(s.lines(), want);
}

TEST(GroupBox, PastedFileNamesFillTheRowAndItsArray)
{
    boxscript s(L"gpbox3", LR"(main
{
    gpbox(open, 10, 10, 300, 100)
    r = gpbox(combd, files, a)
    gpbox(setret, r)
    e = gpbox(comp)
    printf("paste %d %d %d\n", e, index1ret(), hdropcnt())
    gpbox(comp)
    printf("files=%s\n", files)
}
)");
    HWND edit = firstedit(s);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"old|"));

    // Two files on the clipboard, as a file copy leaves them.
    const wchar_t names[] = L"C:\\a\\one.txt\0C:\\b\\two.txt\0";
    const size_t bytes = sizeof(DROPFILES) + sizeof names;
    HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* df = static_cast<DROPFILES*>(GlobalLock(g));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    memcpy(reinterpret_cast<char*>(df) + sizeof(DROPFILES), names, sizeof names);
    GlobalUnlock(g);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_HDROP, g);
    CloseClipboard();

    ASSERT_TRUE(s.haslines(1));
    ASSERT_TRUE(s.inboxwait(qtest::incomp));
    // The script thread waits in the box: its array can be read from here.
    ExeScr* e = s.engine();
    ASSERT_NE(e, nullptr);
    const int32_t a = e->arrayfind(L"_files[]");
    EXPECT_EQ(s.logtext(), L"paste 3 0 2\n");
    EXPECT_EQ(std::wstring(e->vartext(e->varat(e->arraytable(a, 1, 0, 0, 0)))), L"C:\\a\\one.txt");
    EXPECT_EQ(std::wstring(e->vartext(e->varat(e->arraytable(a, 1, 1, 0, 0)))), L"C:\\b\\two.txt");
    PostMessageW(edit, WM_CHAR, VK_RETURN, 0);
    ASSERT_TRUE(s.ended());
    const std::vector<std::wstring> want = {L"paste 3 0 2", L"files=old|C:\\a\\one.txt|C:\\b\\two.txt|"};
    EXPECT_EQ(s.lines(), want);
}

TEST(GroupBox, LocalsOfTheRunningFunctionGetTheirValues)
{
    boxscript s(L"gpbox4", LR"(functstr ask()
{
    localvar(text, pick)
    gpbox(open, 10, 10, 300, 100)
    gpbox(combt, text)
    g = gpbox(btn, pick)
    gpbox(addstr, g, "no")
    gpbox(addstr, g, "yes")
    gpbox(setsel, g, 1)
    gpbox(comp)
    retstr(text "/" pick)
}
main
{
    printf("%s\n", ask())
}
)");
    HWND edit = firstedit(s);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"local"));
    PostMessageW(edit, WM_CHAR, VK_RETURN, 0);
    ASSERT_TRUE(s.ended());
    EXPECT_EQ(s.lines(), std::vector<std::wstring>{L"local/1"}) << "setsel checked the second button";
}
