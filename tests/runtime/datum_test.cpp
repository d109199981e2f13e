// The datum stacks, str2num, and variables read as strings.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "runtime/exescr.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;

namespace {

struct parsed {
    int isdbl;
    double d;
    int64_t i;
};

parsed parse(const wchar_t* text)
{
    parsed p{-1, 0.0, 0};
    p.isdbl = ExeScr::str2num(text, &p.d, &p.i);
    return p;
}

void expectint(const wchar_t* text, int64_t v)
{
    parsed p = parse(text);
    EXPECT_EQ(p.isdbl, 0) << text;
    EXPECT_EQ(p.i, v) << text;
}

void expectdbl(const wchar_t* text, double v)
{
    parsed p = parse(text);
    EXPECT_EQ(p.isdbl, 1) << text;
    EXPECT_DOUBLE_EQ(p.d, v) << text;
}

// The text of the top string datum, popped and released.
std::wstring popstr(ExeScr& e)
{
    datscell* c = e.pops();
    std::wstring t = e.datstext(c);
    e.datsrelease(c);
    return t;
}

int32_t numvar(ExeScr& e, const wchar_t* name, bool isint, int64_t i, double d)
{
    int32_t idx = e.declvar(name, 0);
    varrec* v = e.varat(idx);
    v->state = varnum;
    v->isint = isint;
    if (isint)
        v->i = i;
    else
        v->d = d;
    return idx;
}

void cleanup(ExeScr& e)
{
    e.clearlocals();
    e.freevartable();
    e.freedatd();
    e.freedats();
}

}  // namespace

TEST(Str2num, IntegersStayExactUntilTheyOverflow)
{
    expectint(L"", 0);
    expectint(L"-", 0);
    expectint(L"42", 42);
    expectint(L"-7", -7);
    expectint(L"9223372036854775807", INT64_MAX);
    expectdbl(L"9223372036854775808", 9223372036854775808.0);
    expectdbl(L"123456789012345678901234", 123456789012345678901234.0);
}

TEST(Str2num, FractionsAndTheirEnds)
{
    expectdbl(L"3.25", 3.25);
    expectdbl(L"-0.5", -0.5);
    expectdbl(L"1.2.3", 1.2);
    expectdbl(L"5.", 5.0);
    expectdbl(L".5", 0.5);
}

// EXPECT_DOUBLE_EQ would pass a value a few units off: compare exactly.
TEST(Str2num, DecimalTextsGiveTheNearestDouble)
{
    for (const auto& [text, v] : std::initializer_list<std::pair<const wchar_t*, double>>{
             {L"0.75", 0.75}, {L"-0.75", -0.75}, {L"0.1", 0.1}, {L"0.3", 0.3}, {L"2.675", 2.675},
             {L"123456.789", 123456.789}, {L"1.7976931348623157", 1.7976931348623157},
             {L"0.000000000000000000001", 1e-21}, {L"9007199254740993.0", 9007199254740992.0},
             {L"123456789012345678901234", 123456789012345678901234.0}}) {
        const parsed p = parse(text);
        EXPECT_EQ(p.isdbl, 1) << qtest::narrow(text);
        EXPECT_EQ(p.d, v) << qtest::narrow(text);
    }
    EXPECT_TRUE(std::signbit(parse(L"-0.0").d)) << "a negative zero keeps its sign";
    const std::wstring huge = std::wstring(400, L'9') + L".5";
    EXPECT_TRUE(std::isinf(parse(huge.c_str()).d));
    const std::wstring tiny = L"0." + std::wstring(400, L'0') + L"1";
    EXPECT_EQ(parse(tiny.c_str()).d, 0.0);
}

TEST(Str2num, OnlyDigitsCount)
{
    expectint(L"12a", 12);
    expectint(L"12\r", 12);
    expectint(L"+5", 0);
    expectint(L" 7", 0);
    expectdbl(L"2.5x9", 2.5);
}

TEST(DatumStacks, FirstPushTakesTheWholeBlockAndThe257thOverflows)
{
    ExeScr e;
    e.pushint(1);
    EXPECT_EQ(e.datd.cap, 256);
    ASSERT_EQ(e.allocs.size(), 1u);
    EXPECT_EQ(e.allocs[0].id, 224);
    for (int n = 1; n < 256; ++n)
        e.pushdbl(n + 0.5);
    EXPECT_EQ(e.datd.count(), 256);
    datdcell top = e.popd();
    EXPECT_EQ(top.isint, 0u);
    EXPECT_EQ(top.d, 255.5);
    e.datddrop();
    EXPECT_EQ(e.datd.count(), 254);
    e.freedatd();

    ExeScr& full = fatalengine();
    EXPECT_EQ(expectfatal(full, [](ExeScr& x) { for (int n = 0; n < 257; ++n) x.pushint(n); }),
              L"datdbuff stack overflow");
    EXPECT_EQ(full.datd.count(), 256);

    ExeScr& sfull = fatalengine();
    EXPECT_EQ(expectfatal(sfull, [](ExeScr& x) { for (int n = 0; n < 257; ++n) x.pushstrtext(L"s", 1, 217); }),
              L"datsbuff stack overflow");
    EXPECT_EQ(sfull.dats.count(), 256);
}

TEST(DatumStacks, PopsOfEmptyStacksAreFatal)
{
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.datddrop(); }), L"datd stack underflow");
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.pushint(1); x.popd(); x.popd(); }),
              L"datd stack underflow");
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.datsdrop(); }), L"dats stack underflow");
}

TEST(DatumStacks, DropReleasesOnlyTheDatumsOwnBuffer)
{
    ExeScr e;
    int32_t g = e.declvar(L"g", 0);
    e.varat(g)->state = varstr;
    wcscpy(e.inlof(e.varat(g)), L"global");
    const std::wstring longtext(100, L'q');
    e.pushstrtext(longtext.c_str(), longtext.size(), 217);
    const size_t withheap = e.allocs.size();
    e.datsdrop();
    EXPECT_EQ(e.allocs.size(), withheap - 1);
    datscell* ref = e.pushs();
    ref->isvar = 1;
    ref->varindex = g;
    e.datsdrop();
    EXPECT_EQ(e.allocs.size(), withheap - 1);
    cleanup(e);
}

TEST(VarToString, NumbersFollowTheFormattingRule)
{
    ExeScr e;
    struct {
        bool isint;
        int64_t i;
        double d;
        const wchar_t* text;
    } cases[] = {
        {false, 0, 2.5, L"2.50000"},
        {false, 0, 3.0, L"3"},
        {false, 0, -0.125, L"-0.12500"},
        {false, 0, 4503599627370497.0, L"4503599627370497"},
        {true, -12, 0, L"-12"},
        {true, INT64_MIN, 0, L"-9223372036854775808"},
    };
    for (auto& c : cases) {
        int32_t idx = numvar(e, L"n", c.isint, c.i, c.d);
        e.pushint(idx);
        e.pushvarstr_exec();
        EXPECT_EQ(popstr(e), c.text);
    }
    cleanup(e);
}

// Integers and whole doubles are written without the runtime's formatter:
// every digit, sign and edge must still be what "%lld" and "%.0lf" write.
TEST(VarToString, NumbersWrittenDirectlyMatchTheFormatter)
{
    ExeScr e;
    const int64_t ints[] = {0, 1, 9, 10, 99, 100, 101, 999, 1000, -1, -10, -99, -100,
                            1234567, 4294967296LL, 99999999999LL, INT64_MAX, INT64_MAX - 1,
                            INT64_MIN, INT64_MIN + 1};
    for (int64_t v : ints) {
        wchar_t want[32];
        _snwprintf(want, 32, L"%lld", static_cast<long long>(v));
        e.pushint(numvar(e, L"n", true, v, 0));
        e.pushvarstr_exec();
        EXPECT_EQ(popstr(e), want) << v;
    }
    const double whole[] = {0.0, -0.0, 1.0, -5.0, 100.0, 1e15, -1e15, 9007199254740991.0,
                            -9007199254740991.0, 9007199254740992.0, 1e17, -1e17};
    for (double v : whole) {
        wchar_t want[64];
        _snwprintf(want, 64, L"%.0lf", v);
        e.pushint(numvar(e, L"n", false, 0, v));
        e.pushvarstr_exec();
        EXPECT_EQ(popstr(e), want) << v;
    }
    cleanup(e);
}

// The text of a number written into a buffer of an inline datum: up to 64
// characters, else -1, the datum then taking the whole text from the heap.
TEST(VarToString, NumberTextFitsItsBufferOrSaysSo)
{
    ExeScr e;
    wchar_t buf[datsinline + 1];
    EXPECT_EQ(e.numtext(false, 0, 2.5, buf), 7);
    EXPECT_STREQ(buf, L"2.50000");
    EXPECT_EQ(e.numtext(true, -42, 0.0, buf), 3);
    EXPECT_STREQ(buf, L"-42");
    const struct {
        double v;
        int len;
    } edges[] = {{1e63, 64}, {-1e62, 64}, {1e64, -1}, {-1e63, -1}};
    for (const auto& x : edges) {
        wchar_t want[128];
        const int n = _snwprintf(want, 128, L"%.0lf", x.v);
        ASSERT_EQ(n == 64 ? 64 : -1, x.len) << x.v;  // (the edges are what they claim)
        EXPECT_EQ(e.numtext(false, 0, x.v, buf), x.len) << x.v;
        if (x.len > 0)
            EXPECT_STREQ(buf, want);
        e.pushnumtext(false, 0, x.v);
        datscell* c = e.pops();
        EXPECT_EQ(std::wstring(e.datstext(c)), want) << x.v;
        e.datsrelease(c);
    }
    cleanup(e);
}

TEST(VarToString, HugeDoubleIsWrittenWhole)
{
    ExeScr e;
    int32_t idx = numvar(e, L"big", false, 0, 1e300);
    codecell list[] = {{}};
    list[0].i = idx;
    e.ip = list;
    e.var2str();
    EXPECT_EQ(e.ip, list + 1);
    datscell* c = e.pops();
    const std::wstring text = e.datstext(c);
    EXPECT_EQ(text.size(), 301u);
    EXPECT_EQ(text.substr(0, 5), L"10000");
    EXPECT_EQ(text.find_first_not_of(L"0123456789"), std::wstring::npos);
    EXPECT_EQ(c->heapid, 217);
    e.datsrelease(c);
    cleanup(e);
}

TEST(VarToString, StringsAreReferencesExceptLocalsCopiedByVar2str)
{
    ExeScr e;
    int32_t g = e.declvar(L"s", 0);
    varrec* gv = e.varat(g);
    gv->state = varstr;
    wcscpy(e.inlof(gv), L"before");
    e.pushint(g);
    e.pushvarstr_exec();
    wcscpy(e.inlof(e.varat(g)), L"after");
    EXPECT_EQ(popstr(e), L"after") << "a reference follows the variable until consumed";

    const std::wstring text65(65, L'L');
    e.pushlocal(0, 0, text65.c_str(), varstr);
    codecell list[] = {{}};
    list[0].i = -1;
    e.ip = list;
    const size_t before = e.allocs.size();
    e.var2str();
    datscell* c = e.pops();
    EXPECT_EQ(c->isvar, 0u);
    ASSERT_EQ(e.allocs.size(), before + 1);
    EXPECT_EQ(e.allocs.back().id, 217);
    EXPECT_EQ(e.allocs.back().size, 66 * sizeof(wchar_t));
    EXPECT_EQ(c->cap, 65);
    EXPECT_EQ(std::wstring(e.datstext(c)), text65);
    e.datsrelease(c);
    cleanup(e);
}

TEST(VarToString, UndefinedVariablesAreFatal)
{
    ExeScr& e = fatalengine();
    e.declvar(L"nothing", 0);
    EXPECT_EQ(expectfatal(e, [](ExeScr& x) { x.pushint(0); x.pushvarstr_exec(); }),
              L"undefined variable.:nothing");
    ExeScr& l = fatalengine();
    l.pushlocal(0, 0, L"", varstr);
    l.stackdd.base[0].state = varundef;
    EXPECT_EQ(expectfatal(l, [](ExeScr& x) { x.pushint(-1); x.pushvarstr_exec(); }),
              L"undefined local variable.");
}

TEST(CallArguments, NumbersKeepTheirKind)
{
    ExeScr e;
    e.pushint(5);
    e.callargnum_exec();
    e.pushdbl(1.5);
    e.callargnum_exec();
    ASSERT_EQ(e.stackdd.count(), 2);
    EXPECT_EQ(e.varat(-2)->isint, 1u);
    EXPECT_EQ(e.varat(-2)->i, 5);
    EXPECT_EQ(e.varat(-1)->isint, 0u);
    EXPECT_EQ(e.varat(-1)->d, 1.5);
    EXPECT_EQ(e.varat(-1)->state, varnum);
    EXPECT_TRUE(e.datd.empty());
    cleanup(e);
}

TEST(CallArguments, LocalStringSurvivesTheStackGrowing)
{
    ExeScr e;
    const std::wstring text(200, L'z');
    e.pushlocal(0, 0, text.c_str(), varstr);  // heap text, id 311
    for (int n = 1; n < 32; ++n)
        e.pushlocal(0, n, nullptr, localint);
    ASSERT_EQ(e.stackdd.cap, 32);
    datscell* ref = e.pushs();
    ref->isvar = 1;
    ref->varindex = -32;  // the first record, read before the stack moves
    e.callargstr_exec();
    EXPECT_EQ(e.stackdd.cap, 64);
    EXPECT_EQ(std::wstring(e.vartext(e.varat(-1))), text);
    EXPECT_TRUE(e.dats.empty());

    const std::wstring owned(150, L'o');
    e.pushstrtext(owned.c_str(), owned.size(), 217);
    const size_t before = e.allocs.size();
    e.callargstr_exec();
    EXPECT_EQ(std::wstring(e.vartext(e.varat(-1))), owned);
    EXPECT_EQ(e.allocs.size(), before) << "the datum's buffer went back, the local took one (id 311)";
    cleanup(e);
}
