// The engine's own value words and runtimes: engine texts, monitors, edit text,
// hexadecimal conversion, path creation and the control window.
#include <gtest/gtest.h>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "support/codelist.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;
using qtest::popint;
using qtest::popstr;
using qtest::runop;

namespace {

std::wstring engstr(ExeScr& e, int64_t selector)
{
    e.pushint(selector);
    e.engstr_exec();
    return popstr(e);
}

}  // namespace

TEST(EngineTexts, DrivesFoldersNamesAndCopies)
{
    ExeScr e;
    const std::wstring saved = programdir;
    programdir = L"C:\\tools\\quorvel\\";
    e.scriptdir = L"\\\\server\\share\\scripts\\";
    e.basename = L"job";
    e.syserrtext = L"Access is denied.";
    e.foundtitle = L"Notes";
    e.foundclass = L"EditorFrame";
    EXPECT_EQ(engstr(e, 0), L"Access is denied.");
    EXPECT_EQ(engstr(e, 1), L"C:");
    EXPECT_EQ(engstr(e, 2), L"C:\\tools\\quorvel\\");
    EXPECT_EQ(engstr(e, 3), L"") << "a network folder has no drive";
    EXPECT_EQ(engstr(e, 4), L"\\\\server\\share\\scripts\\");
    EXPECT_EQ(engstr(e, 5), L"job");
    EXPECT_EQ(engstr(e, 6), L"Notes");
    EXPECT_EQ(engstr(e, 7), L"EditorFrame");
    programdir = saved;

    // The datum holds its own text: changing the engine's afterwards (as a
    // later word of the same expression may) leaves it as it was.
    e.foundtitle = std::wstring(100, L't');
    e.pushint(6);
    e.engstr_exec();
    e.foundtitle = L"changed";
    EXPECT_EQ(popstr(e), std::wstring(100, L't'));
    qtest::releaseall(e);
}

TEST(Monitors, CountAndRectanglesOfTheDisplay)
{
    ExeScr e;
    runop(e, &ExeScr::monrect_exec, 0);
    const int64_t count = popint(e);
    EXPECT_GE(count, 0);
    EXPECT_LE(count, 5);
    int64_t side[4];
    for (int k = 1; k <= 4; ++k) {
        e.pushdbl(0.9);  // truncated toward zero: the primary monitor
        runop(e, &ExeScr::monrect_exec, k);
        side[k - 1] = popint(e);
    }
    MONITORINFO primary = {};
    primary.cbSize = sizeof primary;
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary);
    EXPECT_EQ(side[0], primary.rcMonitor.left);
    EXPECT_EQ(side[1], primary.rcMonitor.top);
    EXPECT_EQ(side[2], primary.rcMonitor.right);
    EXPECT_EQ(side[3], primary.rcMonitor.bottom);
    EXPECT_LT(side[0], side[2]);
    qtest::releaseall(e);

    for (int64_t bad : {count + 1, int64_t(-1)}) {
        ExeScr& f = fatalengine();
        EXPECT_EQ(expectfatal(f,
                              [bad](ExeScr& x) {
                                  x.pushint(bad);
                                  runop(x, &ExeScr::monrect_exec, 3);
                              }),
                  L"Exceeds number of monitor error.")
            << bad;
    }
}

TEST(EditText, ShortInlineLongOnTheHeapEmptyEmpty)
{
    ExeScr e;
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    for (const std::wstring& text : {std::wstring(L"short text"), std::wstring(300, L'x'), std::wstring()}) {
        SetWindowTextW(edit, text.c_str());
        e.pushint(reinterpret_cast<intptr_t>(edit));
        e.geteditstr_exec();
        datscell* c = e.pops();
        EXPECT_EQ(std::wstring(e.datstext(c)), text);
        EXPECT_EQ(c->heapid, text.size() > 64 ? 1050 : 0);
        e.datsrelease(c);
    }
    DestroyWindow(edit);
    qtest::releaseall(e);
}

TEST(Hexadecimal, ToAndFromText)
{
    ExeScr e;
    const int32_t s = e.declvar(L"s", 0);
    const int32_t n = e.declvar(L"n", 0);
    auto tostr = [&](int64_t value) {
        e.pushint(s);
        e.pushint(value);
        runop(e, &ExeScr::ctrlhv_exec, 1);
        EXPECT_EQ(popint(e), 1);
        EXPECT_EQ(e.varat(s)->state, varstr);
        return std::wstring(e.vartext(e.varat(s)));
    };
    EXPECT_EQ(tostr(255), L"ff");
    EXPECT_EQ(tostr(0), L"0");
    EXPECT_EQ(tostr(0x1000000abLL), L"ab") << "only the low 32 bits";
    EXPECT_EQ(tostr(-1), L"ffffffff");

    auto fromstr = [&](const wchar_t* text) {
        e.settext(e.varat(s), text, wcslen(text), 219);
        e.pushint(s);
        e.pushint(n);
        runop(e, &ExeScr::ctrlhv_exec, 0);
        return popint(e);
    };
    EXPECT_EQ(fromstr(L"7fffffffffffffff"), 1);
    EXPECT_EQ(e.varat(n)->state, varnum);
    EXPECT_EQ(e.varat(n)->i, INT64_MAX);
    EXPECT_EQ(fromstr(L"1A"), 0) << "upper-case letters are not digits here";
    EXPECT_EQ(e.varat(n)->i, INT64_MAX) << "a failed conversion leaves the target alone";
    EXPECT_EQ(fromstr(L""), 1);
    EXPECT_EQ(e.varat(n)->i, 0);
    EXPECT_EQ(e.varat(n)->isint, 1u);
    qtest::releaseall(e);
}

TEST(CreatePath, EveryFolderUpToTheLastBackslash)
{
    ExeScr e;
    const std::wstring root = qtest::scratchdir() + L"paths\\";
    EXPECT_EQ(e.createpath(L""), 1);
    EXPECT_NE(e.createpath((root + L"a\\b\\c\\").c_str()), 0);
    EXPECT_NE(GetFileAttributesW((root + L"a\\b\\c").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(e.createpath((root + L"d\\e\\file.txt").c_str()), 0);
    EXPECT_NE(GetFileAttributesW((root + L"d\\e").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW((root + L"d\\e\\file.txt").c_str()), INVALID_FILE_ATTRIBUTES);

    // Longer than the inline buffer: worked on in a heap copy, given back.
    std::wstring deep = root;
    while (deep.size() < 300)
        deep += L"level\\";
    EXPECT_NE(e.createpath(deep.c_str()), 0);
    EXPECT_NE(GetFileAttributesW(deep.c_str()), INVALID_FILE_ATTRIBUTES);

    // A folder that cannot be made: a file stands in its place.
    HANDLE f = CreateFileW((root + L"blocker").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(f);
    e.syserrtext.clear();
    EXPECT_EQ(e.createpath((root + L"blocker\\x\\").c_str()), 0);
    EXPECT_FALSE(e.syserrtext.empty()) << "the system's text is kept for getlasterror";
    EXPECT_TRUE(e.allocs.empty());
}

TEST(ControlWindow, RequestsActOnTheTargetAndAlwaysClose)
{
    ExeScr e;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ExeScr::ctrlwin_wndproc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"quorvel.ctrlwin";
    RegisterClassW(&wc);
    HWND target = CreateWindowExW(0, L"STATIC", L"target", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                  nullptr, nullptr);
    e.ctrltarget = target;
    for (WPARAM request : {WPARAM(13), WPARAM(14), WPARAM(99)}) {
        HWND ctrl = CreateWindowExW(0, L"quorvel.ctrlwin", L"", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, &e);
        ASSERT_NE(ctrl, nullptr);
        e.ctrlresult = -1;
        SendMessageW(ctrl, WM_USER, request, 0);
        if (request == 13) {
            EXPECT_EQ(e.ctrlresult, 1);
            EXPECT_TRUE(GetWindowLongW(target, GWL_EXSTYLE) & WS_EX_TOPMOST);
        } else if (request == 14) {
            EXPECT_FALSE(GetWindowLongW(target, GWL_EXSTYLE) & WS_EX_TOPMOST);
        } else {
            EXPECT_EQ(e.ctrlresult, -1) << "an unknown request acts on nothing";
        }
        // The window closes itself and ends the loop with a quit message.
        MSG msg;
        bool quit = false;
        for (int k = 0; k < 100 && !quit; ++k) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT)
                    quit = true;
                else
                    DispatchMessageW(&msg);
            }
            if (!quit)
                Sleep(5);
        }
        EXPECT_TRUE(quit);
        EXPECT_FALSE(IsWindow(ctrl));
    }
    DestroyWindow(target);
}
