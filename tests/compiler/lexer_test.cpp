// The lexer: tokens, directives, literals and named constants.
#include <gtest/gtest.h>

#include <vector>

#include "compiler/scriptsource.h"
#include "runtime/exescr.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;
using qtest::scriptsource;

namespace {

// An engine lexing one text from its start, as the compiler would.
struct lexing {
    ExeScr& e;
    scriptsource src;
    wchar_t* pos;
    lexing(ExeScr& engine, const std::wstring& text) : e(engine), src(text), pos(src.text())
    {
        e.srctext = src.buf.data();
        e.srcend = src.buf.data() + src.buf.size();
        e.lexorigin = src.text();
        e.srccursor = &pos;
        e.compiling = 1;
    }
    int32_t next() { return e.lexscr(&pos); }
    std::vector<int32_t> all()
    {
        std::vector<int32_t> codes;
        for (int32_t t; (t = next()) != 0;)
            codes.push_back(t);
        return codes;
    }
    std::wstring call() const { return std::wstring(e.tokstart, static_cast<size_t>(e.toklen)); }
    std::wstring name() const { return std::wstring(e.tokstart, static_cast<size_t>(e.toknamelen)); }
    std::wstring literal() { return e.strlittext(e.tokval.i); }
    std::wstring rest() const { return pos; }
};

using codes = std::vector<int32_t>;

// The fatal message of lexing `text` to its end.
std::wstring lexerror(const std::wstring& text)
{
    ExeScr& e = fatalengine();
    auto* l = new lexing(e, text);
    return expectfatal(e, [l](ExeScr&) { l->all(); });
}

}  // namespace

TEST(Lexer, OperatorsTakeTheLongestMatch)
{
    ExeScr e;
    EXPECT_EQ(lexing(e, L"x <<= 5").all(), (codes{256, 301, 300}));
    EXPECT_EQ(lexing(e, L"x << 5").all(), (codes{256, 259, 300}));
    EXPECT_EQ(lexing(e, L"a>=b>>=c!=d||e|=f&&g").all(),
              (codes{256, 258, 256, 302, 256, 263, 256, 264, 256, 265, 256, 266, 256}));
    EXPECT_EQ(lexing(e, L"++--+=-=*=/=%=^===<=").all(), (codes{268, 270, 269, 271, 272, 273, 274, 275, 262, 260}));
    EXPECT_EQ(lexing(e, L"(){};,?+").all(), (codes{'(', ')', '{', '}', ';', ',', '?', '+'}));
    e.freevartable();
}

TEST(Lexer, Numbers)
{
    ExeScr e;
    lexing l(e, L"0xff 0xF 1.5 15 .5 12345678901234567890");
    EXPECT_EQ(l.next(), 300);
    EXPECT_EQ(e.tokval.i, 255);
    EXPECT_EQ(l.next(), 300) << "upper-case digits end a hexadecimal number";
    EXPECT_EQ(e.tokval.i, 0);
    EXPECT_EQ(l.next(), 256);
    EXPECT_EQ(std::wstring(e.varname(e.varat(e.tokidx))), L"F");
    EXPECT_EQ(l.next(), 257);
    EXPECT_EQ(e.tokval.d, 1.5);
    EXPECT_EQ(l.next(), 300);
    EXPECT_EQ(e.tokval.i, 15);
    EXPECT_EQ(l.next(), 257);
    EXPECT_EQ(e.tokval.d, 0.5);
    EXPECT_EQ(l.next(), 257) << "too large for an integer";
    EXPECT_EQ(e.tokval.d, 12345678901234567890.0);
    e.freevartable();
}

TEST(Lexer, KeywordsCallsAndGoto)
{
    ExeScr e;
    lexing a(e, L"if(x)");
    EXPECT_EQ(a.next(), 279);
    EXPECT_EQ(a.rest(), L"(x)") << "left at the parenthesis";
    lexing b(e, L"if (x)");
    EXPECT_EQ(b.next(), 279);
    EXPECT_EQ(b.rest(), L" (x)");
    lexing c(e, L"return(x + 1) goto(top) gotox(1) print(\"a)\", ')', (1)) /* c */");
    EXPECT_EQ(c.next(), 276);
    EXPECT_EQ(c.name(), L"return");
    EXPECT_EQ(c.call(), L"return(x + 1");
    EXPECT_EQ(c.next(), 292);
    EXPECT_EQ(c.next(), 276);
    EXPECT_EQ(c.name(), L"gotox");
    EXPECT_EQ(c.next(), 276);
    EXPECT_EQ(c.call(), L"print(\"a)\", ')', (1)") << "literals and nesting inside a call";
    EXPECT_EQ(c.next(), 0);
    lexing d(e, L"functionfoo(a) elseif(b) for (i=0;i<3;i++)");
    EXPECT_EQ(d.next(), 281);
    EXPECT_EQ(d.next(), 276);
    EXPECT_EQ(d.name(), L"foo");
    EXPECT_EQ(d.next(), 280);
    EXPECT_EQ(d.next(), 279);
    d.pos += 3;  // past "(b)"
    EXPECT_EQ(d.next(), 276);
    EXPECT_EQ(e.toknamelen, 4) << "blanks before the parenthesis count";
    e.freevartable();
}

TEST(Lexer, NamesResolveToConstantsLocalsAndGlobals)
{
    ExeScr e;
    EXPECT_EQ(lexing(e, L"true").next(), 300);
    EXPECT_EQ(e.tokval.i, 1);
    struct {
        const wchar_t* name;
        int64_t value;
    } consts[] = {{L"vk_a", 65},       {L"vk_z", 90},       {L"vk_0", 48},     {L"vk_f12", 123},
                  {L"vk_numpad3", 0x63}, {L"vk_alt", 18},   {L"vk_oem_8", 0xDF}, {L"ULLONG_MAX", -1},
                  {L"LLONG_MIN", INT64_MIN}, {L"mb_topmost", 0x40000}, {L"idcontinue", 11}};
    for (auto& c : consts) {
        EXPECT_EQ(lexing(e, c.name).next(), 300) << c.name;
        EXPECT_EQ(e.tokval.i, c.value) << c.name;
    }
    EXPECT_EQ(lexing(e, L"vk_f13").next(), 256) << "not a key name";
    EXPECT_EQ(e.tokval.i, 1);
    EXPECT_EQ(e.varat(e.tokidx)->state, varundef) << "a new name is an undefined global";

    e.functable.clear();
    e.curfunc = e.addfuncentry(L"f");
    e.addlocalname(e.curfunc, L"loc", 1);
    e.addlocalname(e.curfunc, L"other", 2);
    lexing l(e, L"loc a[i][\"]\"].x b");
    EXPECT_EQ(l.next(), 256);
    EXPECT_EQ(e.tokval.i, 0);
    EXPECT_EQ(e.tokidx, -2);
    EXPECT_EQ(l.next(), 256);
    EXPECT_EQ(e.tokval.i, 2) << "an array expression";
    EXPECT_EQ(std::wstring(e.tokstart, static_cast<size_t>(e.tokidx)), L"a[i][\"]\"].x");
    EXPECT_EQ(l.next(), 256);
    EXPECT_EQ(e.tokval.i, 1);
    e.freefunctbl();
    e.freevartable();
}

TEST(Lexer, LabelsOnlyInTheFirstColumn)
{
    ExeScr e;
    lexing l(e, L"x\n:top\n :no");
    EXPECT_EQ(l.next(), 256);
    EXPECT_EQ(l.next(), 10);
    EXPECT_EQ(l.next(), 293);
    EXPECT_EQ(std::wstring(e.tokstart, static_cast<size_t>(e.tokidx)), L"top");
    EXPECT_EQ(l.next(), 10);
    EXPECT_EQ(l.next(), ':');
    EXPECT_EQ(l.next(), 256);
    EXPECT_EQ(lexing(e, L":first").next(), ':') << "no line before it";
    e.freevartable();
}

TEST(Lexer, CommentsHiddenLinesAndLineEnds)
{
    ExeScr e;
    EXPECT_EQ(lexing(e, L"a // note\r\nb").all(), (codes{256, 10, 256}));
    EXPECT_EQ(lexing(e, L"# comment\r\n[section]\r\n\\ hidden\r\nb\r").all(), (codes{256, 13}));
    EXPECT_EQ(lexing(e, L"a /* x\r\ny */ b /* open").all(), (codes{256, 256}));
    e.freevartable();
}

TEST(Lexer, ConditionalSections)
{
    ExeScr e;
    EXPECT_EQ(lexing(e, L"#if 0\r\na\r\n#else\r\nb c\r\n#endif\r\nd").all(), (codes{256, 256, 10, 256}));
    // Nested sections inside a skipped branch keep their nesting.
    EXPECT_EQ(lexing(e, L"#if 0\n#if 1\nx\n#else\ny\n#endif\nz\n#else\nw\n#endif\n").all(), (codes{256, 10}));
    EXPECT_EQ(lexing(e, L"#if 1\nx\n#if 0\ny\n#endif\n#endif\nz").all(), (codes{256, 10, 256}));
    EXPECT_EQ(e.ifnest, 0u);
    EXPECT_EQ(lexing(e, L"#ifdef X\nq").all(), (codes{256})) << "not a directive: a comment line";
    // A comment opened at a token start hides the lines it spans, skipped or
    // not: a directive inside it is no directive.
    EXPECT_EQ(lexing(e, L"#if 0\r\n/* a\r\n#endif\r\n*/\r\nx\r\n#endif\r\ny").all(), (codes{256}));
    EXPECT_EQ(lexing(e, L"#if 0\r\n  /*\r\n#else\r\n*/ x\r\n#else\r\ny\r\n#endif\r\n").all(), (codes{256, 10}));
    EXPECT_EQ(lexing(e, L"#if 0\r\nx /*\r\n#endif\r\ny */\r\n").all(), (codes{256, '*', '/', 10}))
        << "behind other text a comment opener is skipped with its line";
    EXPECT_EQ(e.ifnest, 0u);
    e.freevartable();
    std::wstring nested;
    for (int n = 0; n < 16; ++n)
        nested += L"#if 1\n";
    nested += L"x\n";
    for (int n = 0; n < 16; ++n)
        nested += L"#endif\n";
    EXPECT_EQ(lexing(e, nested).all(), (codes{256, 10})) << "sixteen levels fit";
    EXPECT_EQ(lexerror(L"#if 0\n" + nested), L"too many nested #if at line 17");
    EXPECT_EQ(lexerror(L"#endif\n"), L"no preceding #if at line 1");
    EXPECT_EQ(lexerror(L"x\n#else\n"), L"no preceding #if at line 2");
}

// An index group extends the name; "(" right behind it makes the whole word a call.
TEST(Lexer, IndexedNamesFollowedByParenthesesAreCalls)
{
    ExeScr e;
    lexing l(e, L"monrect[i + 1].left() a[2] (b)");
    EXPECT_EQ(l.next(), 276);
    EXPECT_EQ(l.name(), L"monrect[i + 1].left");
    EXPECT_EQ(l.call(), L"monrect[i + 1].left(");
    EXPECT_EQ(l.next(), 256);
    EXPECT_EQ(e.tokval.i, 2) << "a blank before the parenthesis leaves an array element";
    EXPECT_EQ(l.next(), '(');
    e.freevartable();
}

TEST(Lexer, StringLiteralsArePooledWithTheirEscapes)
{
    ExeScr e;
    lexing l(e, L"'it''s' \"a\\tb\" \"\\x41\\q\" \"q\\\"x\" \"\\n\" 'it''s'");
    struct {
        const wchar_t* text;
    } want[] = {{L"it's"}, {L"a\tb"}, {L"A\\q"}, {L"q\"x"}, {L"\r\n"}};
    for (auto& w : want) {
        EXPECT_EQ(l.next(), 277);
        EXPECT_EQ(l.literal(), w.text);
    }
    const int64_t first = e.tokval.i;
    EXPECT_EQ(l.next(), 277);
    EXPECT_EQ(e.strlittext(e.tokval.i), std::wstring(L"it's"));
    EXPECT_NE(e.tokval.i, first);
    EXPECT_EQ(e.strpools.p0.count(), 5) << "an equal short literal shares its entry";
    e.freestrtbls();
    e.freevartable();
}

TEST(Lexer, LiteralsGoToThePoolTheirLengthPicks)
{
    ExeScr e;
    const std::wstring mid(40, L'm'), longer(140, L'l');
    lexing l(e, L"'" + mid + L"' '" + longer + L"' '" + mid + L"'");
    EXPECT_EQ(l.next(), 277);
    EXPECT_EQ(e.tokval.i, 1) << "pool 1, entry 0";
    EXPECT_EQ(l.next(), 277);
    EXPECT_EQ(e.tokval.i, 2) << "pool 2, entry 0";
    EXPECT_EQ(l.literal(), longer);
    EXPECT_EQ(l.next(), 277);
    EXPECT_EQ(e.tokval.i, (int64_t(1) << 32) | 1) << "pool 1 never shares";
    wchar_t raw[] = L"'a\\n'''";
    EXPECT_EQ(std::wstring(e.strlittext(e.parsenamelist(raw, raw + 7, 3))), L"a\\n'''") << "mode 3: unchanged";
    e.freestrtbls();
    EXPECT_TRUE(e.allocs.empty()) << "the working copy of a long literal went back";
}

TEST(Lexer, UnescapeEdges)
{
    ExeScr e;
    wchar_t a[] = L"ab\\0cd";
    e.unescape(a);
    EXPECT_EQ(std::wstring(a), L"ab");
    wchar_t b[] = L"\\x4";
    e.unescape(b);
    EXPECT_EQ(std::wstring(b), std::wstring(1, wchar_t(0x40))) << "a missing digit counts as 0";
    wchar_t c[] = L"\\xg1z";
    e.unescape(c);
    EXPECT_EQ(std::wstring(c), L"\x01z") << "a non-digit counts as 0 in its place";
}

TEST(Lexer, ErrorsNameTheLine)
{
    EXPECT_EQ(lexerror(L"a[1\n"), L"Cannot find ] error at line 1");
    EXPECT_EQ(lexerror(L"x\nf(x\n)"), L"cannot find ) error. at line 2");
    EXPECT_EQ(lexerror(L"for x"), L"cannot find ( error. at line 1");
    EXPECT_EQ(lexerror(L"s = \"abc\n"), L"no end mark of string. at line 1:abc:");
    EXPECT_EQ(lexerror(L"f(/* x\n)"), L"no */ for the comment. at line 1: x:");
}
