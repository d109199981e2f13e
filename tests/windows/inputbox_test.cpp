// InputBox and MsgBox on the script thread: layout, Enter, the count-down,
// message-only mode, copied results, and the message box's time-out.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/testenv.h"
#include "windows/boxdriver.h"

using qtest::boxscript;

namespace {

// The edit control of the InputBox showing now.
HWND inputedit(HWND box) { return qtest::findchild(box, L"Edit"); }

void answer(HWND box, const wchar_t* text)
{
    HWND edit = inputedit(box);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
    PostMessageW(edit, WM_CHAR, VK_RETURN, 0);
}

HWND nextinputbox(HWND gone) { return qtest::nextwindow(L"quorvel.inputbox", gone); }

}  // namespace

TEST(InputBox, LayoutEnterCountDownAndMessageOnly)
{
    SetCursorPos(100, 100);
    boxscript s(L"inputbox1", LR"(main
{
    a = inputbox("Your name\nplease", "dflt")
    printf("got %s\n", a)
    printf("%s|%s\n", inputbox("first"), inputbox("second"))
    t = inputbox("Wait", "typed", 2)
    printf("timeout %s\n", t)
    m = inputbox("Message", "msgonly")
    printf("msgonly %s\n", m)
}
)");
    HWND box = nextinputbox(nullptr);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(qtest::wintext(box), L"InputBox");
    EXPECT_TRUE(qtest::pumpuntil([&] { return (GetWindowLongPtrW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }, 2000));
    HWND edit = inputedit(box);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(qtest::wintext(edit), L"dflt");
    // Two prompt lines: the field sits three line heights down; the box is
    // at least 400 pixels of text wide and centred on the monitor.
    HDC dc = GetDC(box);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    ReleaseDC(box, dc);
    const int lh = tm.tmHeight + tm.tmExternalLeading + 4;
    RECT er;
    GetWindowRect(edit, &er);
    POINT at = {er.left, er.top};
    ScreenToClient(box, &at);
    EXPECT_EQ(at.x, 40);
    EXPECT_EQ(at.y, 3 * lh);
    RECT wr;
    GetWindowRect(box, &wr);
    EXPECT_GE(wr.right - wr.left, 460);
    const RECT mon = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    EXPECT_NEAR((wr.left + wr.right) / 2, mon.right / 2, 1);
    EXPECT_NEAR((wr.top + wr.bottom) / 2, mon.bottom / 2, 1);
    answer(box, L"Alice");

    // The later argument runs first; each result is its own copy.
    HWND second = nextinputbox(box);
    ASSERT_NE(second, nullptr);
    answer(second, L"A");
    HWND first = nextinputbox(second);
    ASSERT_NE(first, nullptr);
    answer(first, L"B");

    HWND timed = nextinputbox(first);
    ASSERT_NE(timed, nullptr);
    const ULONGLONG opened = GetTickCount64();
    EXPECT_EQ(qtest::wintext(timed), L"InputBox");
    EXPECT_TRUE(qtest::pumpuntil([&] { return qtest::wintext(timed) == L"InputBox - timeout:1 "; }, 3000));
    EXPECT_TRUE(qtest::pumpuntil([&] { return qtest::wintext(timed) == L"InputBox - timeout:0 "; }, 3000));
    ASSERT_TRUE(s.haslines(3, 5000));
    EXPECT_GE(GetTickCount64() - opened, 2500u) << "closes on the tick after 0";

    HWND msg = nextinputbox(timed);
    ASSERT_NE(msg, nullptr);
    EXPECT_EQ(inputedit(msg), nullptr);
    HWND ok = qtest::findchild(msg, L"Button");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(qtest::wintext(ok), L"OK");
    PostMessageW(msg, WM_COMMAND, 102, reinterpret_cast<LPARAM>(ok));
    ASSERT_TRUE(s.ended());
    const std::vector<std::wstring> want = {L"got Alice", L"B|A", L"timeout typed", L"msgonly typed"};
    EXPECT_EQ(s.lines(), want);
}

namespace {

HWND findmsgbox(HWND gone = nullptr)
{
    return qtest::nextwindow(L"#32770", gone, L"Quorvel - MsgBox");
}

}  // namespace

TEST(MsgBox, TimeOutAndAnswers)
{
    boxscript s(L"msgbox1", LR"(main
{
    t = clock()
    r = msgbox("closes by itself", 0, 1)
    printf("timeout %d after a second %d\n", r != 0, clock() - t >= 900)
    printf("yes %d\n", msgbox("Answer", 4))
    printf("early %d\n", msgbox("early", 0, 1))
    printf("later %d\n", msgbox("later"))
}
)");
    HWND box = findmsgbox();
    ASSERT_NE(box, nullptr);
    // How long it stood is the script's to tell: the test finds the box only
    // some time after it opened.
    ASSERT_TRUE(s.haslines(1, 5000));

    HWND yesno = findmsgbox(box);
    ASSERT_NE(yesno, nullptr);
    PostMessageW(yesno, WM_COMMAND, IDYES, 0);
    HWND early = findmsgbox(yesno);
    ASSERT_NE(early, nullptr);
    PostMessageW(early, WM_COMMAND, IDOK, 0);
    HWND later = findmsgbox(early);
    ASSERT_NE(later, nullptr);
    // The answered box's timer is gone: nothing closes this one.
    qtest::pump(1500);
    EXPECT_TRUE(IsWindow(later));
    EXPECT_EQ(s.lines().size(), 3u);
    PostMessageW(later, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(s.ended());
    const std::vector<std::wstring> want = {L"timeout 1 after a second 1", L"yes 6", L"early 1", L"later 1"};
    EXPECT_EQ(s.lines(), want);
}
