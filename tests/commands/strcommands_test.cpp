// Searching, comparing, lower-casing, trimming and tokenising texts.
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

void pushtext(ExeScr& e, const std::wstring& text) { e.pushstrtext(text.c_str(), text.size(), 217); }

void pushref(ExeScr& e, int32_t index)
{
    datscell* c = e.pushs();
    c->isvar = 1;
    c->varindex = index;
}

int32_t strvar(ExeScr& e, const wchar_t* name, const std::wstring& text)
{
    const int32_t idx = e.declvar(name, 0);
    e.varat(idx)->state = varstr;
    e.settext(e.varat(idx), text.c_str(), text.size(), 219);
    return idx;
}

// The packed operand of the search commands.
int64_t search(uint32_t count, int32_t variant) { return (static_cast<int64_t>(variant) << 32) | (count << 16); }

// strstr / strpbrk (variant 0 / 1), start < -999 meaning none given.
int64_t strstrof(ExeScr& e, int32_t variant, const std::wstring& text, const std::wstring& what, int64_t start = -1000)
{
    const bool hasstart = start > -1000;
    if (hasstart)
        e.pushint(start);
    pushtext(e, what);
    pushtext(e, text);
    runop(e, &ExeScr::strstr_exec, search(hasstart ? 3 : 2, variant));
    return popint(e);
}

int64_t strchrof(ExeScr& e, int32_t variant, const std::wstring& text, int64_t code, int64_t start = -1000)
{
    const bool hasstart = start > -1000;
    pushtext(e, text);
    if (hasstart)
        e.pushint(start);
    e.pushint(code);
    runop(e, &ExeScr::strchr_exec, search(hasstart ? 3 : 2, variant));
    return popint(e);
}

int64_t strcmpof(ExeScr& e, const std::wstring& a, const std::wstring& b, int64_t count = -1000)
{
    const bool hascount = count > -1000;
    if (hascount)
        e.pushint(count);
    pushtext(e, b);
    pushtext(e, a);
    runop(e, &ExeScr::strcmp_exec, hascount ? 3 : 2);
    return popint(e);
}

int64_t strtokof(ExeScr& e, const std::wstring& text, const std::wstring& delims)
{
    pushtext(e, delims);
    pushtext(e, text);
    e.strtok_exec();
    return popint(e);
}

std::wstring token(ExeScr& e, int64_t k)
{
    e.pushint(k);
    e.strtokstr_exec();
    return popstr(e);
}

}  // namespace

TEST(StrSearch, PositionsCountFromTheWholeText)
{
    ExeScr e;
    EXPECT_EQ(strstrof(e, 0, L"abcabc", L"c"), 2);
    EXPECT_EQ(strstrof(e, 0, L"abcabc", L"c", 3), 5);
    EXPECT_EQ(strstrof(e, 0, L"abcabc", L"bc", 2), 4);
    EXPECT_EQ(strstrof(e, 0, L"abcabc", L"", 6), 6) << "the empty text is found where the search starts";
    EXPECT_EQ(strstrof(e, 0, L"abcabc", L"c", 6), -1) << "a start at the length is valid";
    EXPECT_EQ(strstrof(e, 0, L"", L""), 0);
    EXPECT_EQ(strstrof(e, 1, L"hello", L"lo"), 2);
    EXPECT_EQ(strstrof(e, 1, L"hello", L"lo", 3), 3);
    EXPECT_EQ(strstrof(e, 1, L"hello", L""), -1) << "an empty set matches nothing";
    // A start given as a double is truncated.
    e.pushdbl(3.9);
    pushtext(e, L"c");
    pushtext(e, L"abcabc");
    runop(e, &ExeScr::strstr_exec, search(3, 0));
    EXPECT_EQ(popint(e), 5);
    qtest::releaseall(e);
}

TEST(StrSearch, AStartBeyondTheTextIsLoggedEvenWhenSuppressed)
{
    qtest::loggedengine e(L"strsearch");
    e.logsupfile = 2;
    e.logsupwin = 2;
    EXPECT_EQ(strstrof(e, 0, L"abcabc", L"c", 7), -1);
    EXPECT_EQ(strstrof(e, 1, L"abc", L"c", -1), -1) << "negative starts are huge unsigned ones";
    EXPECT_EQ(e.logsupfile, 2u) << "suppression comes back";
    e.closelog();
    const std::wstring log = e.contents();
    size_t lines = 0;
    for (size_t at = log.find(L"invalid number error."); at != std::wstring::npos;
         at = log.find(L"invalid number error.", at + 1))
        ++lines;
    EXPECT_EQ(lines, 2u) << testing::PrintToString(log);
    qtest::releaseall(e);
}

TEST(StrSearch, CharactersFirstAndLastFromAClampedStart)
{
    ExeScr e;
    EXPECT_EQ(strchrof(e, 0, L"hello", L'l'), 2);
    EXPECT_EQ(strchrof(e, 1, L"hello", L'l'), 3);
    EXPECT_EQ(strchrof(e, 0, L"hello", L'l', 3), 3);
    EXPECT_EQ(strchrof(e, 1, L"hello", L'l', 4), -1) << "only from the start on";
    EXPECT_EQ(strchrof(e, 0, L"hello", L'h', -5), 0) << "a negative start counts as 0";
    EXPECT_EQ(strchrof(e, 0, L"hello", L'o', 100), -1) << "a start past the end counts as the length";
    EXPECT_EQ(strchrof(e, 0, L"hello", 0), 5) << "code 0 finds the terminator";
    EXPECT_EQ(strchrof(e, 1, L"hello", 0, 100), 5);
    EXPECT_EQ(strchrof(e, 0, L"hello", 0x10000 + L'h'), 0) << "the code's low 16 bits name the character";
    EXPECT_EQ(strchrof(e, 1, L"hello", 0x30000 + L'l'), 3);
    EXPECT_EQ(strchrof(e, 0, L"hello", 0x10000), 5) << "low bits 0: the terminator";
    EXPECT_EQ(strchrof(e, 0, L"hello", -1), -1) << "0xFFFF is in no text here";
    EXPECT_EQ(strchrof(e, 0, L"a\xFFFF", -1), 1);
    EXPECT_EQ(strchrof(e, 0, L"a\xFFFF", 0xFFFF), 1);
    qtest::releaseall(e);
}

TEST(StrCompare, WholeTextsOrAtMostCountCharacters)
{
    ExeScr e;
    EXPECT_EQ(strcmpof(e, L"abX", L"abY", 2), 0);
    EXPECT_EQ(strcmpof(e, L"abX", L"abY", -1), -1);
    EXPECT_EQ(strcmpof(e, L"abX", L"abY"), -1);
    EXPECT_EQ(strcmpof(e, L"abY", L"abX"), 1) << "first argument first";
    EXPECT_EQ(strcmpof(e, L"ab", L"abc"), -1);
    EXPECT_EQ(strcmpof(e, L"abc", L"xyz", 0), 0);
    EXPECT_EQ(strcmpof(e, L"ab", L"abc", 100), -1);
    EXPECT_EQ(strcmpof(e, L"abX", L"abY", -7), -1) << "other negative counts compare whole texts too";
    EXPECT_EQ(strcmpof(e, L"B", L"a"), -1) << "by code, no case folding";
    qtest::releaseall(e);
}

TEST(StrLower, OnlyAsciiCapitalsChange)
{
    ExeScr e;
    pushtext(e, L"ABC xyz 09!@[`{\u00C4\u0130Z");
    e.tolowerstr_exec();
    EXPECT_EQ(popstr(e), L"abc xyz 09!@[`{\u00C4\u0130z");
    pushtext(e, L"");
    e.tolowerstr_exec();
    EXPECT_EQ(popstr(e), L"");
    for (size_t len : {64u, 65u}) {
        pushtext(e, std::wstring(len, L'Q'));
        e.tolowerstr_exec();
        EXPECT_EQ(e.dats.top[-1].heap != nullptr, len > 64);
        EXPECT_EQ(popstr(e), std::wstring(len, L'q'));
    }
    // A variable read by reference stays as it was.
    const int32_t v = strvar(e, L"v", L"MiXeD");
    pushref(e, v);
    e.tolowerstr_exec();
    EXPECT_EQ(popstr(e), L"mixed");
    EXPECT_STREQ(e.inlof(e.varat(v)), L"MiXeD");
    qtest::releaseall(e);
}

TEST(StrTrim, RemovesLineEndsOnly)
{
    ExeScr e;
    auto trimmed = [&](const std::wstring& text) {
        const int32_t v = strvar(e, L"t", text);
        e.pushint(v);
        e.trim_exec();
        return std::wstring(e.vartext(e.varat(v)));
    };
    EXPECT_EQ(trimmed(L"line\r\n\r"), L"line");
    EXPECT_EQ(trimmed(L"\n\n"), L"");
    EXPECT_EQ(trimmed(L""), L"");
    EXPECT_EQ(trimmed(L"a\r\n "), L"a\r\n ") << "a trailing blank stays, and so does all before it";
    EXPECT_EQ(trimmed(std::wstring(200, L'x') + L"\r\n"), std::wstring(200, L'x')) << "heap texts too";
    EXPECT_TRUE(e.datd.empty());
    EXPECT_TRUE(e.dats.empty());

    // A local string variable.
    e.pushlocal(0, 0, L"loc\n", varstr);
    e.pushint(-1);
    e.trim_exec();
    EXPECT_STREQ(e.inlof(e.stackdd.top - 1), L"loc");
    e.clearlocals();
    qtest::releaseall(e);

    ExeScr& g = fatalengine();
    const int32_t num = g.declvar(L"n", 0);
    g.varat(num)->state = varnum;
    EXPECT_EQ(expectfatal(g, [num](ExeScr& x) { x.pushint(num); x.trim_exec(); }), L"invalid variable reference.");
}

TEST(StrTok, TokensAreKeptUntilTheNextStrtok)
{
    ExeScr e;
    EXPECT_EQ(token(e, 0), L"") << "before any strtok";
    EXPECT_EQ(strtokof(e, L",a,,b,", L","), 2);
    EXPECT_EQ(token(e, 0), L"a");
    EXPECT_EQ(token(e, 1), L"b");
    EXPECT_EQ(token(e, 2), L"");
    EXPECT_EQ(token(e, -1), L"");
    EXPECT_EQ(strtokof(e, L"one two\tthree", L" \t"), 3);
    EXPECT_EQ(token(e, 2), L"three");
    EXPECT_EQ(strtokof(e, L"", L","), 0);
    EXPECT_EQ(token(e, 0), L"") << "the old tokens are gone";
    EXPECT_EQ(strtokof(e, L",,,", L","), 0);
    EXPECT_EQ(strtokof(e, L"whole text", L""), 1);
    EXPECT_EQ(token(e, 0), L"whole text");
    e.pushdbl(0.7);
    e.strtokstr_exec();
    EXPECT_EQ(popstr(e), L"whole text") << "a double index is truncated";
    qtest::releaseall(e);
}

TEST(StrTok, LongTokensManyTokensAndReuse)
{
    ExeScr e;
    const std::wstring t64(64, L'a'), t65(65, L'b'), t300(300, L'c');
    EXPECT_EQ(strtokof(e, t64 + L";" + t65 + L";" + t300, L";"), 3);
    EXPECT_EQ(token(e, 0), t64);
    pushtext(e, L"x");  // keep the next result off the bottom slot
    e.pushint(1);
    e.strtokstr_exec();
    EXPECT_NE(e.dats.top[-1].heap, nullptr);
    EXPECT_EQ(popstr(e), t65);
    EXPECT_EQ(popstr(e), L"x");
    EXPECT_EQ(token(e, 2), t300);

    // Short tokens in cells that held long ones, then long ones again.
    EXPECT_EQ(strtokof(e, L"p;q;r", L";"), 3);
    EXPECT_EQ(token(e, 1), L"q");
    EXPECT_EQ(token(e, 2), L"r");
    EXPECT_EQ(strtokof(e, t65 + L";" + t300 + L"d;" + t65, L";"), 3);
    EXPECT_EQ(token(e, 0), t65);
    EXPECT_EQ(token(e, 1), t300 + L"d") << "a buffer too short is replaced";
    EXPECT_EQ(token(e, 2), t65);

    // More tokens than the first 20 cells.
    std::wstring many;
    for (int k = 0; k < 45; ++k)
        many += std::to_wstring(k) + L",";
    EXPECT_EQ(strtokof(e, many, L","), 45);
    EXPECT_EQ(token(e, 0), L"0");
    EXPECT_EQ(token(e, 44), L"44");
    EXPECT_EQ(token(e, 45), L"");
    qtest::releaseall(e);
}

TEST(StrTok, AVariableKeepsItsWholeText)
{
    ExeScr e;
    const int32_t v = strvar(e, L"line", L"a b c");
    pushtext(e, L" ");
    pushref(e, v);
    e.strtok_exec();
    EXPECT_EQ(popint(e), 3);
    EXPECT_STREQ(e.inlof(e.varat(v)), L"a b c");
    // The variable as the delimiter set.
    const int32_t d = strvar(e, L"delims", L"/");
    pushref(e, d);
    pushtext(e, L"/x/y");
    e.strtok_exec();
    EXPECT_EQ(popint(e), 2);
    EXPECT_EQ(token(e, 1), L"y");
    qtest::releaseall(e);
}
