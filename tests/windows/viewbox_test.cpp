// The ViewBox under a running script: its windows, files of every encoding
// and line break, the vi-style keys read back through "getcar", pairs, the
// visual selection on the clipboard, the script's notices and the mouse.
// Keys are posted to the view window, found by its class.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "runtime/quorvelcore.h"
#include "support/testenv.h"
#include "windows/boxdriver.h"
#include "windows/viewbox.h"

using qtest::boxscript;

namespace {

std::wstring replaced(std::wstring text, const std::wstring& what, const std::wstring& with)
{
    for (size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

// A script that opens FILE with ENC (after PRE) and then, at each step the
// test gives, prints the caret as "getcar" reads it and the last notice,
// followed by that step's action. The wait spins mostly on cheap cells, so
// that the script window, heard every so many cells, gets its notices soon.
const wchar_t* opener = LR"(main
{
    PRE
    r = viewbox(vb, open, "FILE", ENC)
    printf("open %d\n", r)
)";
const wchar_t* stepper = LR"(    while (fexist("NAME.stepK") == 0) {
        i = 0
        while (i < 2000)
            i++
    }
    g = viewbox(vb, getcar)
    printf("caret %d %d vbret %d\n", ycaret(), xcaret(), vbret())
    ACTION
)";
const wchar_t* closer = LR"(    viewbox(vb, close)
    printf("closed %d\n", viewbox(vb, gethwnd))
}
)";

RECT primarymonitor()
{
    MONITORINFO mi = {};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &mi);
    return mi.rcMonitor;
}

class viewrun {
public:
    viewrun(const std::wstring& name, const std::wstring& file, const wchar_t* enc, int steps,
            const wchar_t* pre = L"", const std::vector<std::wstring>& actions = {})
        : name_(name), script_(name, build(name, file, enc, steps, pre, actions).c_str())
    {
        frame = qtest::waitwindow(L"quorvel.viewbox", L"Quorvel - ViewBox");
        view = frame ? qtest::findchild(frame, L"quorvel.vbviewc") : nullptr;
        script_.haslines(1);
    }
    ~viewrun()
    {
        for (int k = 1; k <= step_; ++k)
            DeleteFileW(stepfile(k).c_str());
    }

    // The box of the running script.
    viewbox* box() const
    {
        ExeScr* e = script_.engine();
        if (!e)
            return nullptr;
        for (objrec* r = e->boxtable.base; r && r < e->boxtable.top; ++r)
            if (r->kind == objviewbox)
                return static_cast<viewbox*>(r->obj);
        return nullptr;
    }
    void chars(const wchar_t* text) const
    {
        for (const wchar_t* p = text; *p; ++p)
            PostMessageW(view, WM_CHAR, *p, 1);
    }
    void key(UINT vk) const { PostMessageW(view, WM_KEYDOWN, vk, 1); }
    // Waits until the box thread has the caret there, and the selection on or
    // off as asked (-1: either); false when it does not come.
    bool settled(int32_t line, int32_t column, int selecting = -1) const
    {
        return qtest::pumpuntil(
            [&] {
                viewbox* b = box();
                if (!b)
                    return false;
                std::lock_guard<std::recursive_mutex> guard(b->lock);
                return b->caretline == line && b->caretcolumn == column &&
                       (selecting < 0 || b->sel.on == (selecting == 1));
            },
            3000);
    }
    // Once the caret is there, the script reads it: its report.
    std::wstring caret(int32_t line, int32_t column)
    {
        settled(line, column);
        return step();
    }
    // The script's next report.
    std::wstring step()
    {
        const size_t before = reports().size();
        ++step_;
        qtest::writebytes(stepfile(step_), "");
        qtest::pumpuntil([&] { return reports().size() > before; });
        const std::vector<std::wstring> r = reports();
        return r.size() > before ? r[before] : L"<no report>";
    }
    std::vector<std::wstring> reports() const
    {
        std::vector<std::wstring> out;
        for (const std::wstring& l : script_.lines())
            if (l.rfind(L"caret ", 0) == 0)
                out.push_back(l);
        return out;
    }
    const boxscript& script() const { return script_; }

    HWND frame = nullptr;
    HWND view = nullptr;

private:
    static std::wstring build(const std::wstring& name, const std::wstring& file, const wchar_t* enc, int steps,
                              const wchar_t* pre, const std::vector<std::wstring>& actions)
    {
        std::wstring t = replaced(opener, L"PRE", pre);
        for (int k = 1; k <= steps; ++k) {
            std::wstring one = replaced(stepper, L"NAME.stepK", name + L".step" + std::to_wstring(k));
            t += replaced(one, L"ACTION", k <= static_cast<int>(actions.size()) ? actions[k - 1] : L"");
        }
        t += closer;
        t = replaced(t, L"FILE", file);
        return replaced(t, L"ENC", enc);
    }
    std::wstring stepfile(int k) const { return qtest::scratchdir() + name_ + L".step" + std::to_wstring(k); }

    std::wstring name_;
    boxscript script_;
    int step_ = 0;
};

std::wstring cliptext()
{
    std::wstring text = L"<none>";
    if (!OpenClipboard(nullptr))
        return L"<not opened>";
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            text = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return text;
}

void putclip(const wchar_t* text)
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, bytes);
    memcpy(GlobalLock(mem), text, bytes);
    GlobalUnlock(mem);
    SetClipboardData(CF_UNICODETEXT, mem);
    CloseClipboard();
}

// A file of `n` numbered lines with CR LF breaks, each "line K: text K".
std::string numbered(int n)
{
    std::string s;
    for (int k = 0; k < n; ++k)
        s += "line " + std::to_string(k) + ": text " + std::to_string(k) + "\r\n";
    return s;
}

}  // namespace

TEST(ViewBox, WindowsStatusBarAndClose)
{
    qtest::writebytes(qtest::scratchdir() + L"vbwin.txt", "one\ntwo\tx\nthree");
    viewrun v(L"vbwin", L"vbwin.txt", L"utf8", 1, L"viewbox(vb, status, 1)\n    viewbox(vb, statusmsg, \"note\")");
    ASSERT_NE(v.frame, nullptr);
    ASSERT_NE(v.view, nullptr);
    EXPECT_TRUE(GetWindowLongPtrW(v.frame, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_TRUE(GetWindowLongPtrW(v.frame, GWL_STYLE) & WS_THICKFRAME) << "sizable by default";
    EXPECT_EQ(GetWindow(v.frame, GW_OWNER), hWndp);
    HWND status = qtest::findchild(v.frame, L"quorvel.vbstatus");
    ASSERT_NE(status, nullptr) << "switched on before the open";
    viewbox* b = v.box();
    ASSERT_NE(b, nullptr);
    RECT client, vr, sr;
    GetClientRect(v.frame, &client);
    GetClientRect(v.view, &vr);
    GetClientRect(status, &sr);
    EXPECT_EQ(sr.bottom, b->lineheight) << "the status bar is one line high";
    EXPECT_EQ(vr.bottom + sr.bottom, client.bottom) << "the view takes the rest";
    EXPECT_EQ(b->linecount, 3u);
    EXPECT_EQ(b->digitcount, 1);
    // The frame fits the text (and a scroll bar's width), centred on the
    // monitor under the cursor; all of it shows, so no scroll bar.
    RECT wr;
    GetWindowRect(v.frame, &wr);
    const RECT mon = primarymonitor();
    const int w = b->ncwidth + b->contentwidth + GetSystemMetrics(SM_CXVSCROLL);
    EXPECT_EQ(wr.right - wr.left, std::max(w, GetSystemMetrics(SM_CXMINTRACK))) << "no narrower than a frame can be";
    EXPECT_EQ(wr.bottom - wr.top, b->ncheight + 3 * b->lineheight + b->lineheight) << "three rows and the status bar";
    EXPECT_EQ(wr.left, (mon.left + mon.right) / 2 - w / 2);
    EXPECT_FALSE(GetWindowLongPtrW(v.frame, GWL_STYLE) & WS_VSCROLL);

    const std::vector<std::wstring> first = v.script().lines();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0], L"open 0");
    EXPECT_EQ(v.caret(0, 0), L"caret 0 0 vbret 0");
    ASSERT_TRUE(v.script().ended());
    const std::vector<std::wstring> lines = v.script().lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), L"closed 0");
    EXPECT_FALSE(IsWindow(v.frame));
}

namespace {

// Opens a file, goes to its end ("G") and yanks it whole ("ggVGy").
void loadcheck(const wchar_t* name, const std::string& bytes, const wchar_t* enc, int32_t lastline,
               const std::wstring& whole)
{
    const std::wstring file = std::wstring(name) + L".txt";
    qtest::writebytes(qtest::scratchdir() + file, bytes);
    putclip(L"before");
    viewrun v(name, file, enc, 2);
    ASSERT_NE(v.view, nullptr) << "the box opened";
    v.chars(L"G");
    EXPECT_EQ(v.caret(lastline, 0), L"caret " + std::to_wstring(lastline) + L" 0 vbret 0") << "G: the last line";
    // "gg" and "G" are carried out after the keys already posted: one at a time.
    v.chars(L"gg");
    EXPECT_TRUE(v.settled(0, 0));
    v.chars(L"VG");
    EXPECT_TRUE(v.settled(lastline, 0, 1));
    v.chars(L"y");
    EXPECT_TRUE(v.settled(lastline, 0, 0));
    EXPECT_EQ(cliptext(), whole) << "the text as the file holds it";
    EXPECT_EQ(v.step(), L"caret " + std::to_wstring(lastline) + L" 0 vbret 0");
    ASSERT_TRUE(v.script().ended());
}

}  // namespace

TEST(ViewBox, LoadsUtf16Utf8AndAnsiWithEveryLineBreak)
{
    loadcheck(L"vbload16", std::string("\xFF\xFE" "a\0\r\0\n\0\xE9\0\r\0\n\0\r\0\n\0z\0", 20), L"unicode", 3,
              L"a\r\n\xE9\r\n\r\nz");
    loadcheck(L"vbload8", "caf\xC3\xA9\n\xE6\x97\xA5\xF0\x9F\x98\x80\nlast\n", L"utf8", 2,
              L"caf\xE9\n\x65E5\xD83D\xDE00\nlast");
    loadcheck(L"vbloadansi", "one\rtwo \xE9\rthree", L"sjis", 2, L"one\rtwo \xE9\rthree");
    loadcheck(L"vbloadempty", "", L"utf8", 0, L"");
}

TEST(ViewBox, ViKeysMoveTheCaret)
{
    qtest::writebytes(qtest::scratchdir() + L"vbkeys.txt", numbered(300));
    viewrun v(L"vbkeys", L"vbkeys.txt", L"utf8", 9);
    ASSERT_NE(v.view, nullptr);
    RECT wr;
    GetWindowRect(v.frame, &wr);
    EXPECT_EQ(wr.top, primarymonitor().top) << "taller than the monitor: as tall as it";
    EXPECT_EQ(wr.bottom, primarymonitor().bottom);
    EXPECT_TRUE(qtest::pumpuntil([&] { return (GetWindowLongPtrW(v.frame, GWL_STYLE) & WS_VSCROLL) != 0; }))
        << "a scroll bar for what does not show";
    v.chars(L"5j");
    EXPECT_EQ(v.caret(5, 0), L"caret 5 0 vbret 0");
    v.chars(L"12l");
    EXPECT_EQ(v.caret(5, 12), L"caret 5 12 vbret 0");
    v.chars(L"$");
    EXPECT_EQ(v.caret(5, 13), L"caret 5 13 vbret 0") << "\"line 5: text 5\" ends at 13";
    v.chars(L"gg");
    EXPECT_EQ(v.caret(0, 0), L"caret 0 0 vbret 0");
    v.chars(L"hl");
    EXPECT_EQ(v.caret(0, 1), L"caret 0 1 vbret 0") << "h at the very start stays";
    v.chars(L"G");
    EXPECT_EQ(v.caret(299, 0), L"caret 299 0 vbret 0");
    viewbox* b = v.box();
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(b->endshown) << "the last line is on screen";
    v.chars(L":250");
    v.key(VK_RETURN);
    EXPECT_EQ(v.caret(249, 0), L"caret 249 0 vbret 0");
    const int32_t top = b->top;
    EXPECT_GT(top, 200) << "scrolled to the line";
    EXPECT_LT(top, 249);
    v.key(VK_RETURN);  // the notice of Enter: the caret line
    EXPECT_TRUE(qtest::pumpuntil([&] { return v.script().engine() && v.script().engine()->vbret == 249; }));
    v.chars(L"k");
    EXPECT_EQ(v.caret(248, 0), L"caret 248 0 vbret 249");
    v.chars(L":0");  // no such line: nothing happens
    v.key(VK_RETURN);
    v.chars(L":9x");
    v.key(VK_RETURN);
    v.chars(L"j");
    EXPECT_EQ(v.caret(249, 0), L"caret 249 0 vbret 249") << "invalid command lines left the caret";
    ASSERT_TRUE(v.script().ended());
}

TEST(ViewBox, PairJumpsAndAMissingPair)
{
    qtest::writebytes(qtest::scratchdir() + L"vbpair.txt", numbered(300));
    viewrun v(L"vbpair", L"vbpair.txt", L"utf8", 3, L"viewbox(vb, pair, 0, 0, 200, 3)");
    ASSERT_NE(v.view, nullptr);
    v.chars(L"%");
    EXPECT_EQ(v.caret(200, 3), L"caret 200 3 vbret 0") << "to the partner, far below";
    v.chars(L"%");
    EXPECT_EQ(v.caret(0, 0), L"caret 0 0 vbret 0") << "and back";
    v.chars(L"j%");
    EXPECT_TRUE(v.script().haslines(4));
    EXPECT_TRUE(qtest::pumpuntil([&] {
        for (const std::wstring& l : v.script().lines())
            if (l == L"no pairposition entry...")
                return true;
        return false;
    })) << v.script().logtext().c_str();
    EXPECT_EQ(v.caret(1, 0), L"caret 1 0 vbret 0");
    ASSERT_TRUE(v.script().ended());
}

TEST(ViewBox, VisualSelectionsGoToTheClipboard)
{
    qtest::writebytes(qtest::scratchdir() + L"vbsel.txt", numbered(20));
    putclip(L"before");
    viewrun v(L"vbsel", L"vbsel.txt", L"utf8", 2);
    ASSERT_NE(v.view, nullptr);
    v.chars(L"3jV2j");
    EXPECT_TRUE(v.settled(5, 0, 1));
    v.chars(L"y");
    EXPECT_TRUE(v.settled(5, 0, 0)) << "the yank ends visual mode";
    EXPECT_EQ(cliptext(), L"line 3: text 3\r\nline 4: text 4\r\nline 5: text 5")
        << "exactly the three lines, breaks between";
    EXPECT_EQ(v.caret(5, 0), L"caret 5 0 vbret 0");

    // By characters, over line breaks, the end drawn back with a count.
    v.chars(L"kk8lv3j3h");
    EXPECT_TRUE(v.settled(6, 5, 1));
    v.chars(L"y");
    EXPECT_TRUE(v.settled(6, 5, 0));
    EXPECT_EQ(cliptext(), L"text 3\r\nline 4: text 4\r\nline 5: text 5\r\nline 6");
    EXPECT_EQ(v.caret(6, 5), L"caret 6 5 vbret 0");
    ASSERT_TRUE(v.script().ended());
}

TEST(ViewBox, KeysOffClicksAndNotices)
{
    qtest::writebytes(qtest::scratchdir() + L"vbclick.txt", numbered(30));
    viewrun v(L"vbclick", L"vbclick.txt", L"utf8", 3, L"viewbox(vb, key, 0)");
    ASSERT_NE(v.view, nullptr);
    viewbox* b = v.box();
    ASSERT_NE(b, nullptr);
    // Sent, not posted: handled before the report, which nothing else would show.
    SendMessageW(v.view, WM_CHAR, L'5', 1);
    SendMessageW(v.view, WM_CHAR, L'j', 1);
    SendMessageW(v.view, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(v.caret(0, 0), L"caret 0 0 vbret 0") << "keys off: nothing moves";

    // A click in the gutter of the fourth row: column 0 of its line, and the
    // line as the notice.
    const int32_t y = 3 * b->lineheight + 1;
    const auto noticed = [&](int32_t line) {
        return qtest::pumpuntil([&] { return v.script().engine() && v.script().engine()->vbret == line; });
    };
    PostMessageW(v.view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, y));
    EXPECT_TRUE(noticed(3));
    EXPECT_EQ(v.caret(3, 0), L"caret 3 0 vbret 3");
    // On the text: the character under the click.
    const int32_t x = b->gutter + 1;
    PostMessageW(v.view, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y + b->lineheight));
    EXPECT_TRUE(noticed(4));
    EXPECT_EQ(v.caret(4, 0), L"caret 4 0 vbret 4");
    ASSERT_TRUE(v.script().ended());
}

namespace {

COLORREF pixel(HWND w, int x, int y)
{
    HDC dc = GetDC(w);
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(w, dc);
    return c;
}

}  // namespace

TEST(ViewBox, PaintsNumbersMarksSelectionHighlightAndBand)
{
    qtest::writebytes(qtest::scratchdir() + L"vbpaint.txt", "first\nsecond\n x\nfourth\nfifth\nsixth\n");
    viewrun v(L"vbpaint", L"vbpaint.txt", L"utf8", 1,
              L"viewbox(vb, markl, 1, 0x0000ff, 0x00ff00)\n"
              L"    viewbox(vb, pair, 4, 0, 2, 0)\n"
              L"    viewbox(vb, caret, 1)\n"
              L"    viewbox(vb, markseb, 5, 1, 3, 0xffffff, 0xff0000)");
    ASSERT_NE(v.view, nullptr) << v.script().logtext().c_str();
    viewbox* b = v.box();
    ASSERT_NE(b, nullptr);
    v.chars(L"3jVj");  // lines 3 and 4 selected, the caret at the start of 4
    ASSERT_TRUE(v.settled(4, 0, 1));
    qtest::pump(100);
    const int lh = b->lineheight;
    const int cw = b->charwidth;
    RECT rc;
    GetClientRect(v.view, &rc);
    const int right = rc.right - 2;
    EXPECT_EQ(pixel(v.view, right, lh / 2), 0x000000u) << "a row end without marks";
    EXPECT_EQ(pixel(v.view, right, lh + lh / 2), 0x00FF00u) << "markl fills its line's row end";
    EXPECT_EQ(pixel(v.view, right, 2 * lh + lh / 2), 0x000000u) << "and ends with it";
    EXPECT_EQ(pixel(v.view, right, 3 * lh + lh / 2), 0x8F8F8Fu) << "a selected line's row end";
    EXPECT_EQ(pixel(v.view, right, 5 * lh - 1), 0xFFFF8Fu) << "the caret band merged over the selection";
    EXPECT_EQ(pixel(v.view, right, 5 * lh + lh / 2), 0x000000u) << "markseb ends inside its line";
    EXPECT_EQ(pixel(v.view, b->gutter + cw + 1, 5 * lh), 0xFF0000u) << "markseb's background";
    EXPECT_EQ(pixel(v.view, b->gutter + 1, 2 * lh + 1), 0xE16941u) << "the pair partner highlighted";
    bool digit = false;
    for (int y = 0; y < lh && !digit; ++y)
        for (int x = 0; x < b->gutter && !digit; ++x)
            digit = pixel(v.view, x, y) == 0x00FFFFu;
    EXPECT_TRUE(digit) << "the first line's number in the gutter";
    EXPECT_EQ(v.step(), L"caret 4 0 vbret 0");
    ASSERT_TRUE(v.script().ended());
}

namespace {

// The view's pixels as they are on screen.
std::vector<uint32_t> capture(HWND w)
{
    RECT rc;
    GetClientRect(w, &rc);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = rc.right;
    bi.bmiHeader.biHeight = -rc.bottom;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(w);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, rc.right, rc.bottom, screen, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<uint32_t> out(static_cast<const uint32_t*>(bits),
                              static_cast<const uint32_t*>(bits) + static_cast<size_t>(rc.right) * rc.bottom);
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(w, screen);
    return out;
}

// Paints the view anew (the "refresh" request) and waits for the paint.
void repaint(HWND view, viewbox& b)
{
    b.painted = 0;
    PostMessageW(view, WM_USER, vbreqrefresh, 0);
    EXPECT_TRUE(qtest::pumpuntil([&] { return b.painted == 1; }, 3000)) << "the refresh request painted nothing";
    qtest::pump(20);
}

}  // namespace

TEST(ViewBox, ScrolledRowsMatchAFullRepaint)
{
    std::string text = numbered(200);
    text.insert(0, std::string(150, 'w') + "\t" + std::string(120, 'v') + "\r\n");  // a line that wraps
    qtest::writebytes(qtest::scratchdir() + L"vbscroll.txt", text);
    viewrun v(L"vbscroll", L"vbscroll.txt", L"utf8", 1,
              L"viewbox(vb, caret, 2)\n"
              L"    viewbox(vb, marks, 3, 2, 0x00ffff, 0x800000)\n"
              L"    viewbox(vb, markeb, 60, 4)\n"
              L"    viewbox(vb, marksb, 12, 0, -1, 0x004000)\n"
              L"    viewbox(vb, marke, 12, 3)");
    ASSERT_NE(v.view, nullptr) << v.script().logtext().c_str();
    viewbox* b = v.box();
    ASSERT_NE(b, nullptr);
    const auto scrolled = [&](int code, int times, int32_t top) {
        for (int k = 0; k < times; ++k)
            PostMessageW(v.view, WM_VSCROLL, static_cast<WPARAM>(code), 0);
        EXPECT_TRUE(qtest::pumpuntil([&] { return b->top == top; }, 3000)) << "top " << b->top;
        qtest::pump(20);
        const std::vector<uint32_t> moved = capture(v.view);
        repaint(v.view, *b);
        EXPECT_TRUE(moved == capture(v.view)) << "after scrolling to " << top;
    };
    repaint(v.view, *b);
    scrolled(SB_LINEDOWN, 1, 1);  // the wrapped line leaves the top
    scrolled(SB_LINEDOWN, 3, 4);
    scrolled(SB_LINEUP, 2, 2);
    scrolled(SB_LINEUP, 2, 0);
    scrolled(SB_PAGEDOWN, 1, b->top + b->vb_page());
    EXPECT_EQ(v.step(), L"caret " + std::to_wstring(b->caretline) + L" 0 vbret 0");
    ASSERT_TRUE(v.script().ended());
}

// Each scroll lays the rows out once and finds the last top line once; the
// paint that follows uses the rows the scroll laid out.
TEST(ViewBox, AScrollLaysOutItsRowsOnce)
{
    std::string text = numbered(300);
    text.insert(0, std::string(150, 'w') + "\t" + std::string(120, 'v') + "\r\n");  // a line that wraps
    qtest::writebytes(qtest::scratchdir() + L"vbonce.txt", text);
    viewrun v(L"vbonce", L"vbonce.txt", L"utf8", 1);
    ASSERT_NE(v.view, nullptr) << v.script().logtext().c_str();
    viewbox* b = v.box();
    ASSERT_NE(b, nullptr);
    ASSERT_TRUE(qtest::pumpuntil([&] { return b->painted == 1; }));
    for (const int code : {SB_LINEDOWN, SB_PAGEDOWN, SB_LINEUP, SB_BOTTOM, SB_PAGEUP, SB_TOP}) {
        RedrawWindow(v.view, nullptr, nullptr, RDW_UPDATENOW);  // nothing left to paint from before
        uint32_t layouts, lasttops;
        int32_t top;
        {
            std::lock_guard<std::recursive_mutex> guard(b->lock);
            layouts = b->layouts;
            lasttops = b->lasttops;
            top = b->top;
        }
        // Handled on the box thread, its paints included, before the reply.
        SendMessageW(v.view, WM_VSCROLL, static_cast<WPARAM>(code), 0);
        std::lock_guard<std::recursive_mutex> guard(b->lock);
        EXPECT_NE(b->top, top) << "scroll code " << code;
        EXPECT_EQ(b->layouts - layouts, 1u) << "scroll code " << code;
        EXPECT_EQ(b->lasttops - lasttops, 1u) << "scroll code " << code;
    }
    EXPECT_EQ(v.step(), L"caret 0 0 vbret 0");
    ASSERT_TRUE(v.script().ended());
}

TEST(ViewBox, PagingKeysWheelArrowsAndTheCommandLine)
{
    qtest::writebytes(qtest::scratchdir() + L"vbpage.txt", numbered(300));
    viewrun v(L"vbpage", L"vbpage.txt", L"utf8", 11);
    ASSERT_NE(v.view, nullptr);
    viewbox* b = v.box();
    ASSERT_NE(b, nullptr);
    const int32_t page = b->vb_page();
    ASSERT_GT(page, 5);
    v.key(VK_NEXT);
    EXPECT_EQ(v.caret(page, 0), L"caret " + std::to_wstring(page) + L" 0 vbret 0") << "a page down";
    EXPECT_EQ(b->top, page);
    v.key(VK_END);
    EXPECT_EQ(v.caret(299, 0), L"caret 299 0 vbret 0");
    v.key(VK_HOME);
    EXPECT_EQ(v.caret(0, 0), L"caret 0 0 vbret 0");
    PostMessageW(v.view, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    EXPECT_EQ(v.caret(10, 0), L"caret 10 0 vbret 0") << "a turn towards the user: ten lines down";
    // (A position waited for must not also be one on the way to it.)
    v.key(VK_RIGHT);
    v.key(VK_RIGHT);
    v.key(VK_RIGHT);
    EXPECT_EQ(v.caret(10, 3), L"caret 10 3 vbret 0");
    v.key(VK_LEFT);
    EXPECT_EQ(v.caret(10, 2), L"caret 10 2 vbret 0");
    v.key(VK_LEFT);
    v.key(VK_LEFT);
    v.key(VK_LEFT);
    EXPECT_EQ(v.caret(9, 13), L"caret 9 13 vbret 0") << "left of column 0: the line before's last character";
    v.key(VK_UP);
    v.key(VK_DOWN);
    v.key(VK_DOWN);
    EXPECT_EQ(v.caret(10, 13), L"caret 10 13 vbret 0");

    // The command line: typed, corrected, carried out with Enter.
    v.chars(L":2x");
    v.key(VK_BACK);
    v.chars(L"5");
    v.key(VK_RETURN);
    EXPECT_EQ(v.caret(24, 0), L"caret 24 0 vbret 0");
    v.chars(L":x12");
    v.key(VK_LEFT);
    v.key(VK_LEFT);
    v.key(VK_LEFT);
    v.key(VK_DELETE);
    v.key(VK_RIGHT);
    v.chars(L"0");
    v.key(VK_RETURN);
    EXPECT_EQ(v.caret(101, 0), L"caret 101 0 vbret 0") << "\"102\": x deleted, 0 put in after the 1";
    v.chars(L":7");
    v.key(VK_ESCAPE);
    v.chars(L"j");
    EXPECT_EQ(v.caret(102, 0), L"caret 102 0 vbret 0")
        << "Escape left the line undone and the script running, and j is a key again";
    ASSERT_TRUE(v.script().ended());
}

// Colours set before the open reach the row ends and the space below the
// text, which the box's own brush fills, as well as the text's background.
TEST(ViewBox, ColoursSetBeforeTheOpenPaintTheWholeView)
{
    qtest::writebytes(qtest::scratchdir() + L"vbcolour.txt", "ab\ncd\n");
    viewrun v(L"vbcolour", L"vbcolour.txt", L"utf8", 1, L"viewbox(vb, color, 0xffffff, 0x00ff00)");
    ASSERT_NE(v.view, nullptr) << v.script().logtext().c_str();
    viewbox* b = v.box();
    ASSERT_NE(b, nullptr);
    RECT rc;
    GetClientRect(v.view, &rc);
    const int lh = b->lineheight;
    EXPECT_TRUE(qtest::pumpuntil([&] { return pixel(v.view, rc.right - 2, lh / 2) == 0x00FF00u; }))
        << "a row end";
    EXPECT_EQ(pixel(v.view, rc.right - 2, rc.bottom - 2), 0x00FF00u) << "below the text";
    EXPECT_EQ(v.step(), L"caret 0 0 vbret 0");
    ASSERT_TRUE(v.script().ended());
}

TEST(ViewBox, ScriptRequestsReachTheView)
{
    qtest::writebytes(qtest::scratchdir() + L"vbreq.txt", numbered(300));
    viewrun v(L"vbreq", L"vbreq.txt", L"utf8", 4, L"",
              {L"viewbox(vb, setcar, 150, 4)",
               L"viewbox(vb, color, 0xffffff, 0x00ff00)\n    viewbox(vb, style, 1)\n    viewbox(vb, number, 0)\n"
               L"    viewbox(vb, refresh)",
               L"printf(\"font %d\\n\", viewbox(vb, font, \"DejaVu Sans\", 30))\n"
               L"    printf(\"setcar %d\\n\", viewbox(vb, setcar, 300, 0))"});
    ASSERT_NE(v.view, nullptr);
    viewbox* b = v.box();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(v.step(), L"caret 0 0 vbret 0");
    EXPECT_EQ(v.caret(150, 4), L"caret 150 4 vbret 0");
    const int32_t page = b->vb_page();
    EXPECT_EQ(b->top, 150 - page / 2) << "the far line in the middle";

    RECT rc;
    GetClientRect(v.view, &rc);
    EXPECT_TRUE(qtest::pumpuntil([&] { return pixel(v.view, rc.right - 2, 2) == 0x00FF00u; }))
        << "the new background";
    EXPECT_TRUE(qtest::pumpuntil([&] { return (GetWindowLongPtrW(v.frame, GWL_STYLE) & WS_THICKFRAME) == 0; }))
        << "a caption only";
    EXPECT_TRUE(qtest::pumpuntil([&] { return b->vb_geometry().margin == 0; })) << "no line numbers";
    const int32_t oldheight = b->lineheight;
    EXPECT_EQ(v.step(), L"caret 150 4 vbret 0");
    EXPECT_TRUE(qtest::pumpuntil([&] { return b->lineheight > oldheight; })) << "the font measured anew";
    EXPECT_TRUE(qtest::pumpuntil([&] { return b->top == 0; })) << "the font put the top line back to 0";
    EXPECT_EQ(v.step().rfind(L"caret ", 0), 0u);
    const std::vector<std::wstring> lines = v.script().lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"font 1"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"setcar 1"), lines.end());
    ASSERT_TRUE(v.script().ended());
}

TEST(ViewBox, ClosedByTheUserThenOpenedAgain)
{
    qtest::writebytes(qtest::scratchdir() + L"vbuser.txt", numbered(10));
    viewrun v(L"vbuser", L"vbuser.txt", L"utf8", 2, L"",
              {L"printf(\"after %d %d %d\\n\", viewbox(vb, getcar), viewbox(vb, setcar, 1, 1), viewbox(vb, gethwnd))\n"
               L"    printf(\"again %d\\n\", viewbox(vb, open, \"vbuser.txt\", utf8))"});
    ASSERT_NE(v.view, nullptr);
    viewbox* b = v.box();
    ASSERT_NE(b, nullptr);
    // Closed while selecting and typing a command line: the next open starts
    // without either.
    v.chars(L"v:");
    ASSERT_TRUE(qtest::pumpuntil([&] {
        std::lock_guard<std::recursive_mutex> guard(b->lock);
        return b->sel.on && b->cmdmode;
    }));
    PostMessageW(v.frame, WM_CLOSE, 0, 0);
    ASSERT_TRUE(qtest::pumpuntil([&] { return !IsWindow(v.frame); }));
    EXPECT_EQ(v.step(), L"caret 0 0 vbret 0");
    HWND again = qtest::nextwindow(L"quorvel.viewbox", v.frame);
    ASSERT_NE(again, nullptr);
    HWND view = qtest::findchild(again, L"quorvel.vbviewc");
    PostMessageW(view, WM_CHAR, L'j', 1);
    EXPECT_TRUE(v.settled(1, 0, 0)) << "j moves the caret, with no selection";
    EXPECT_EQ(v.step(), L"caret 1 0 vbret 0");
    ASSERT_TRUE(v.script().ended());
    const std::vector<std::wstring> want = {L"open 0",   L"caret 0 0 vbret 0", L"after 0 0 0",
                                            L"again 0",  L"caret 1 0 vbret 0", L"closed 0"};
    EXPECT_EQ(v.script().lines(), want);
}

TEST(ViewBox, EscapeStopsTheScriptAndItsEndClosesTheBox)
{
    qtest::writebytes(qtest::scratchdir() + L"vbesc.txt", numbered(10));
    viewrun v(L"vbesc", L"vbesc.txt", L"utf8", 1);
    ASSERT_NE(v.view, nullptr);
    v.key(VK_ESCAPE);
    ASSERT_TRUE(v.script().ended()) << "ESC reached the script window";
    EXPECT_FALSE(IsWindow(v.frame)) << "the run's end closed the box";
}

TEST(ViewBox, MarksAddedWhileTheViewPaints)
{
    qtest::writebytes(qtest::scratchdir() + L"vblock.txt", numbered(300));
    viewrun v(L"vblock", L"vblock.txt", L"utf8", 2, L"",
              {L"for (i = 0; i < 4000; i++) {\n"
               L"        viewbox(vb, markse, i % 250, 1, 4, 0xff, 0x800000)\n"
               L"        viewbox(vb, pair, i % 250, 0, 299 - i % 250, 1)\n"
               L"    }"});
    ASSERT_NE(v.view, nullptr);
    viewbox* b = v.box();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(v.step(), L"caret 0 0 vbret 0");
    // While the script adds marks and pairs, the view scrolls and paints them.
    EXPECT_TRUE(qtest::pumpuntil([&] {
        for (int k = 0; k < 4; ++k)
            PostMessageW(v.view, WM_VSCROLL, k % 2 ? SB_PAGEUP : SB_PAGEDOWN, 0);
        PostMessageW(v.view, WM_USER, vbreqrefresh, 0);
        std::lock_guard<std::recursive_mutex> guard(b->lock);
        return b->marks.all().size() == 250 && b->pairs.size() == 8000;
    }));
    EXPECT_EQ(v.step().rfind(L"caret ", 0), 0u) << "the box thread lived through it";
    ASSERT_TRUE(v.script().ended());
}
