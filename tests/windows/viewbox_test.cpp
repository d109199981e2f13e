// The ViewBox under a running script: its windows, files of every encoding
// and line break, the vi-style keys read back through "getcar", pairs, the
// visual selection on the clipboard, the script's notices and the mouse.
// Keys are posted to the view window, found by its class.
#include <gtest/gtest.h>

#include <windows.h>

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
// test gives, prints the caret as "getcar" reads it and the last notice.
const wchar_t* stepper = LR"(main
{
    PRE
    r = viewbox(vb, open, "FILE", ENC)
    printf("open %d\n", r)
    n = 1
    while (n <= STEPS) {
        if (fexist("NAME.step" n)) {
            g = viewbox(vb, getcar)
            printf("caret %d %d vbret %d\n", ycaret(), xcaret(), vbret())
            n = n + 1
        }
    }
    viewbox(vb, close)
    printf("closed %d\n", viewbox(vb, gethwnd))
}
)";

class viewrun {
public:
    viewrun(const std::wstring& name, const std::wstring& file, const wchar_t* enc, int steps,
            const wchar_t* pre = L"")
        : name_(name), script_(name, build(name, file, enc, steps, pre).c_str())
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
                              const wchar_t* pre)
    {
        std::wstring t = replaced(stepper, L"PRE", pre);
        t = replaced(t, L"FILE", file);
        t = replaced(t, L"ENC", enc);
        t = replaced(t, L"STEPS", std::to_wstring(steps));
        return replaced(t, L"NAME", name);
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

    const std::vector<std::wstring> first = v.script().lines();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0], L"open 1");
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
}

TEST(ViewBox, ViKeysMoveTheCaret)
{
    qtest::writebytes(qtest::scratchdir() + L"vbkeys.txt", numbered(300));
    viewrun v(L"vbkeys", L"vbkeys.txt", L"utf8", 9);
    ASSERT_NE(v.view, nullptr);
    v.chars(L"5j");
    EXPECT_EQ(v.caret(5, 0), L"caret 5 0 vbret 0");
    v.chars(L"12l");
    EXPECT_EQ(v.caret(5, 12), L"caret 5 12 vbret 0");
    v.chars(L"$");
    EXPECT_EQ(v.caret(5, 13), L"caret 5 13 vbret 0") << "\"line 5: text 5\" ends at 13";
    v.chars(L"gg");
    EXPECT_EQ(v.caret(0, 0), L"caret 0 0 vbret 0");
    v.chars(L"h");
    EXPECT_EQ(v.caret(0, 0), L"caret 0 0 vbret 0") << "h at the very start stays";
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
    v.chars(L"5j");
    v.key(VK_DOWN);
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
