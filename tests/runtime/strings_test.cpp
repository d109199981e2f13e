// String opcodes, literal pools, log output, and the small string and value commands.
#include <gtest/gtest.h>

#include "runtime/exescr.h"
#include "runtime/shorttext.h"
#include "runtime/quorvelcore.h"
#include "support/codelist.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;
using qtest::popint;
using qtest::releaseall;
using qtest::popstr;
using qtest::runop;

namespace {

void pushtext(ExeScr& e, const std::wstring& text)
{
    e.pushstrtext(text.c_str(), text.size(), 217);
}

void pushref(ExeScr& e, int32_t index)
{
    datscell* c = e.pushs();
    c->isvar = 1;
    c->varindex = index;
}

int32_t strvar(ExeScr& e, const wchar_t* name, const wchar_t* text)
{
    const int32_t idx = e.declvar(name, 0);
    e.varat(idx)->state = varstr;
    e.settext(e.varat(idx), text, wcslen(text), 219);
    return idx;
}

int64_t packed(int32_t index, bool noresult) { return (static_cast<int64_t>(index) << 32) | (noresult ? 1 : 0); }


}  // namespace

TEST(StringAssign, LongTextMovesToAHeapTextWhichLaterTextsReuse)
{
    ExeScr e;
    const int32_t g = e.declvar(L"s", 0);
    varrec* v = e.varat(g);
    v->state = varnum;
    v->isint = 1;
    v->i = 5;
    const std::wstring t200(200, L'a');
    pushtext(e, t200);
    runop(e, &ExeScr::strassign_exec, packed(g, false));
    EXPECT_EQ(v->state, varstr);
    EXPECT_EQ(v->i, 5) << "number fields stay";
    ASSERT_NE(e.heapof(v), nullptr);
    EXPECT_EQ(e.auxof(v).heapid, 219);
    EXPECT_EQ(e.textcap(v), 200);
    EXPECT_EQ(std::wstring(e.heapof(v)), t200);
    datscell* back = e.pops();
    EXPECT_EQ(back->heapid, 217) << "the datum comes back unchanged, still owning its buffer";
    EXPECT_EQ(std::wstring(e.datstext(back)), t200);
    e.datsrelease(back);

    wchar_t* heap = e.heapof(v);
    const size_t held = e.allocs.size();
    pushtext(e, L"0123456789");
    runop(e, &ExeScr::strassign_exec, packed(g, true));
    EXPECT_EQ(e.heapof(v), heap);
    EXPECT_EQ(std::wstring(e.heapof(v)), L"0123456789");
    EXPECT_TRUE(e.dats.empty());
    EXPECT_EQ(e.allocs.size(), held);

    // Heap datum with no result: its buffer becomes the variable's, and the
    // variable's old one is kept as the spare for the next join.
    pushtext(e, std::wstring(100, L'h'));
    wchar_t* datumbuf = e.dats.top[-1].heap;
    runop(e, &ExeScr::strassign_exec, packed(g, true));
    EXPECT_EQ(e.heapof(v), datumbuf) << "taken over, not copied";
    EXPECT_EQ(std::wstring(e.heapof(v)), std::wstring(100, L'h'));
    EXPECT_EQ(e.sparetext, heap);
    EXPECT_EQ(e.allocs.size(), held + 1);

    // A reference to another variable is pushed back as the reference.
    const int32_t src = strvar(e, L"src", L"from src");
    pushref(e, src);
    runop(e, &ExeScr::strassign_exec, packed(g, false));
    EXPECT_EQ(e.dats.top[-1].isvar, 1u);
    EXPECT_EQ(popstr(e), L"from src");

    // A local through strassignx.
    e.pushlocal(0, 0, L"abc", varstr);
    pushtext(e, L"local");
    e.pushint(-1);
    e.strassignx_exec();
    EXPECT_EQ(popstr(e), L"local");
    EXPECT_EQ(std::wstring(e.vartext(e.varat(-1))), L"local");
    EXPECT_TRUE(e.datd.empty());
    releaseall(e);
}

// A heap text's kept length is its true length, or -1 where a writer could
// not know it, after every writer that changes the text in place.
TEST(StringAssign, AHeapTextKeepsItsTrueLengthThroughEveryWriter)
{
    ExeScr e;
    const int32_t g = strvar(e, L"s", std::wstring(200, L'a').c_str());
    varrec* v = e.varat(g);
    auto kept = [&] { return e.auxof(v).len; };
    auto truelen = [&] { return static_cast<int32_t>(wcslen(e.vartext(v))); };
    ASSERT_NE(e.heapof(v), nullptr);
    EXPECT_EQ(kept(), 200);
    e.appendvartext(v, L"xyz", 3);
    EXPECT_EQ(kept(), 203);
    e.appendvartext(v, std::wstring(300, L'b').c_str(), 300);  // the block doubles
    EXPECT_EQ(kept(), 503);
    EXPECT_EQ(truelen(), 503);

    e.pushint(0);
    e.pushint(150);
    e.pushint(g);
    e.setc_exec();
    EXPECT_EQ(kept(), 150) << "a 0 shortens the text";
    e.pushint(L'Q');
    e.pushint(20);
    e.pushint(g);
    e.setc_exec();
    EXPECT_EQ(kept(), 150);

    e.appendvartext(v, L"\r\n\n", 3);
    e.pushint(g);
    e.trim_exec();
    EXPECT_EQ(kept(), 150);
    EXPECT_EQ(truelen(), 150);

    e.settext(v, L"short but on the heap", 21, 219);
    EXPECT_EQ(kept(), 21);
    EXPECT_EQ(truelen(), 21);

    // A datum's buffer taken over: its length is not known until measured.
    pushtext(e, std::wstring(700, L'c'));
    runop(e, &ExeScr::strassign_exec, packed(g, true));
    EXPECT_EQ(kept(), -1);
    EXPECT_EQ(e.vartextlen(v), 700u);
    EXPECT_EQ(kept(), 700) << "measured once, then kept";
    e.appendvartext(v, L"d", 1);
    EXPECT_EQ(truelen(), 701);
    EXPECT_EQ(e.vartext(v)[700], L'd');
    EXPECT_EQ(kept(), 701);

    // Inline texts keep theirs too, in the short slot and in the long block.
    const int32_t h = strvar(e, L"t", L"abc");
    varrec* w = e.varat(h);
    EXPECT_EQ(e.auxof(w).len, 3);
    e.appendvartext(w, std::wstring(40, L'x').c_str(), 40);  // to the long block
    EXPECT_EQ(e.auxof(w).len, 43);
    e.pushint(0);
    e.pushint(10);
    e.pushint(h);
    e.setc_exec();
    EXPECT_EQ(e.vartextlen(w), 10u);
    e.settext(w, L"q", 1, 219);
    EXPECT_EQ(e.vartextlen(w), 1u);
    releaseall(e);
}

TEST(StringConcat, ResultsOverSixtyFourCharactersTakeAHeapBuffer)
{
    ExeScr e;
    const std::wstring a40(40, L'a'), b40(40, L'b');
    pushtext(e, a40);
    pushtext(e, b40);
    e.strconcat();
    ASSERT_EQ(e.dats.count(), 1);
    datscell* c = e.pops();
    EXPECT_EQ(c->heapid, 218);
    EXPECT_EQ(c->cap, 80);
    EXPECT_EQ(std::wstring(e.datstext(c)), a40 + b40);
    e.datsrelease(c);

    // Inline results are built before the left datum's slot is reused.
    const std::wstring l32(32, L'l'), r32(32, L'r');
    pushtext(e, l32);
    pushtext(e, r32);
    e.strconcat();
    EXPECT_EQ(e.dats.top[-1].heap, nullptr);
    EXPECT_EQ(popstr(e), l32 + r32);

    // Heap operands go back; a variable operand is read, not owned.
    const int32_t g = strvar(e, L"g", L"xyz");
    const std::wstring h70(70, L'h');
    pushtext(e, h70);
    pushref(e, g);
    EXPECT_EQ(e.allocs.back().id, 217);
    const size_t held = e.allocs.size();
    e.strconcat();
    EXPECT_EQ(e.allocs.size(), held + 1) << "the 218 result came; the 217 operand stays as the spare";
    EXPECT_EQ(e.allocs.back().id, 218);
    EXPECT_EQ(popstr(e), h70 + L"xyz");
    EXPECT_EQ(std::wstring(e.vartext(e.varat(g))), L"xyz");

    // The next join that fits takes the spare instead of a new block.
    wchar_t* spare = e.sparetext;
    ASSERT_NE(spare, nullptr);
    const size_t before = e.allocs.size();
    pushtext(e, std::wstring(30, L'x'));
    pushtext(e, std::wstring(40, L'y'));
    e.strconcat();
    EXPECT_EQ(e.dats.top[-1].heap, spare);
    EXPECT_EQ(e.allocs.size(), before);
    EXPECT_EQ(popstr(e), std::wstring(30, L'x') + std::wstring(40, L'y'));
    releaseall(e);
}

// A left datum with its own inline text takes the right one in place; every
// other left operand is joined into a new datum, and a variable's text is
// never written.
TEST(StringConcat, AnInlineLeftTakesTheRightInPlace)
{
    ExeScr e;
    const int32_t g = strvar(e, L"g", L"var");
    pushtext(e, L"ab");
    pushref(e, g);
    pushtext(e, L"cd");
    e.strconcat();
    e.strconcat();
    ASSERT_EQ(e.dats.count(), 1);
    EXPECT_EQ(popstr(e), L"abvarcd");

    // A variable on the left stays as it is; the join is a new text.
    pushref(e, g);
    pushtext(e, L"!");
    e.strconcat();
    EXPECT_EQ(popstr(e), L"var!");
    EXPECT_EQ(std::wstring(e.vartext(e.varat(g))), L"var");

    // A heap operand on the right goes back once joined.
    const size_t held = e.allocs.size();
    pushtext(e, L"x");
    pushtext(e, std::wstring(63, L'y'));
    pushtext(e, std::wstring(70, L'h'));
    e.strconcat();  // y63 + h70 takes a heap buffer
    e.strconcat();  // x + (heap): the left is inline but the whole does not fit
    EXPECT_EQ(popstr(e), L"x" + std::wstring(63, L'y') + std::wstring(70, L'h'));

    // Exactly 64 characters stay inline; 65 move to the heap.
    pushtext(e, std::wstring(60, L'a'));
    pushtext(e, L"bcde");
    e.strconcat();
    EXPECT_EQ(e.dats.top[-1].heap, nullptr);
    EXPECT_EQ(popstr(e), std::wstring(60, L'a') + L"bcde");
    pushtext(e, std::wstring(60, L'a'));
    pushtext(e, L"bcdef");
    e.strconcat();
    EXPECT_NE(e.dats.top[-1].heap, nullptr);
    EXPECT_EQ(popstr(e), std::wstring(60, L'a') + L"bcdef");
    e.freespare();
    EXPECT_EQ(e.allocs.size(), held) << "no block of the joins is left behind";

    releaseall(e);
    // With one datum the join is the stack's underflow.
    EXPECT_EQ(qtest::expectfatal(qtest::fatalengine(),
                                 [](ExeScr& x) {
                                     pushtext(x, L"lone");
                                     x.strconcat();
                                 }),
              L"dats stack underflow");
}

// The short copy moves in overlapping chunks: every length, and ranges that
// overlap either way, must come out as wmemmove leaves them.
TEST(ShortText, MovesEveryLengthAsWmemmoveDoes)
{
    for (size_t n = 0; n <= 40; ++n) {
        for (int shift : {-5, -1, 0, 1, 3, 9, 50}) {
            wchar_t want[160], got[160];
            for (size_t k = 0; k < 160; ++k)
                want[k] = got[k] = static_cast<wchar_t>(L'A' + k % 50);
            wmemmove(want + 60 + shift, want + 60, n);
            shortmove(got + 60 + shift, got + 60, n);
            EXPECT_EQ(std::wstring(got, 160), std::wstring(want, 160)) << n << " " << shift;
        }
        std::wstring text(n, L'q');
        EXPECT_EQ(shortlen(text.c_str()), n);
    }
}

TEST(StringLiterals, EachPoolPushesItsText)
{
    ExeScr e;
    const std::wstring mid(40, L'm'), inl100(100, L'i'), long300(300, L'L');
    const int64_t shortref = e.strlitadd(L"short", 5);
    EXPECT_EQ(e.strlitadd(L"short", 5), shortref) << "pool 0 shares equal texts";
    EXPECT_EQ(shortref, strlitref(0, 0));
    EXPECT_EQ(e.strlitadd(mid.c_str(), mid.size()), strlitref(1, 0));
    EXPECT_EQ(e.strlitadd(mid.c_str(), mid.size()), strlitref(1, 1)) << "pool 1 always appends";
    EXPECT_EQ(e.strlitadd(inl100.c_str(), inl100.size()), strlitref(2, 0));
    EXPECT_EQ(e.strlitadd(long300.c_str(), long300.size()), strlitref(2, 1));
    EXPECT_EQ(e.strpools.p2.base[0].heap, nullptr);
    EXPECT_EQ(e.strpools.p2.base[1].heapid, 215);
    EXPECT_EQ(e.strpools.p2.base[1].cap, 300);

    runop(e, &ExeScr::pushstrlit_exec, shortref);
    EXPECT_EQ(popstr(e), L"short");
    runop(e, &ExeScr::pushstrlit_exec, strlitref(1, 1));
    EXPECT_EQ(e.dats.top[-1].heap, nullptr);
    EXPECT_EQ(popstr(e), mid);
    for (uint32_t k = 0; k < 2; ++k) {
        runop(e, &ExeScr::pushstrlit_exec, strlitref(2, k));
        datscell* c = e.pops();
        EXPECT_EQ(c->heapid, 227);
        EXPECT_EQ(c->isvar, 0u);
        EXPECT_EQ(std::wstring(e.datstext(c)), k ? long300 : inl100);
        EXPECT_EQ(c->cap, k ? 300 : 100);
        e.datsrelease(c);
    }
    runop(e, &ExeScr::pushstrlit_exec, strlitref(strpoolempty, 0));
    EXPECT_EQ(popstr(e), L"");

    // The pool doubles from 64 entries; texts kept inline move with it.
    for (int n = 0; n < 64; ++n)
        e.strlitadd(long300.c_str(), long300.size());
    EXPECT_EQ(e.strpools.p2.cap, 128);
    EXPECT_EQ(std::wstring(e.strlittext(strlitref(2, 0))), inl100) << "inline text survives the move";

    e.freestrtbls();
    EXPECT_EQ(e.strpools.p2.base, nullptr);
    for (const memrec& r : e.allocs)
        EXPECT_TRUE(r.id < 213 || r.id > 215) << "still held: " << r.id;
    e.freestrtbls();
    releaseall(e);
}

TEST(PrintString, LinesFollowTheSuppressionFlags)
{
    qtest::logpane p;
    qtest::loggedengine e(L"printstr");
    pushtext(e, L"both");
    e.printstr_exec();
    e.logsupfile = 1;
    pushtext(e, std::wstring(70, L'p'));
    e.printstr_exec();
    e.logsupwin = 1;
    pushtext(e, L"nowhere");
    e.printstr_exec();
    pushtext(e, L"raw\n");
    e.printraw_exec();
    EXPECT_EQ(e.logforce, 0u);
    e.logsupfile = 2;
    pushtext(e, L"pane");
    e.printraw_exec();
    e.logsupfile = 0;
    e.logsupwin = 0;
    e.logon = 0;
    pushtext(e, L"log off");
    e.printstr_exec();
    EXPECT_TRUE(e.dats.empty());

    const std::wstring bom(1, wchar_t(0xFEFF));
    EXPECT_EQ(e.contents(), bom + L"\tboth\r\nraw\r\n");
    EXPECT_EQ(p.text(), L"\tboth\r\n\t" + std::wstring(70, L'p') + L"\r\nraw\r\npane");
    releaseall(e);
}

TEST(StringCommands, StrlenAndGetc)
{
    ExeScr e;
    pushtext(e, std::wstring(100, L'x'));
    e.strlen_exec();
    EXPECT_EQ(popint(e), 100);

    struct {
        int64_t pos;
        int64_t code;
    } cases[] = {
        {1, L'b'},
        {3, 0},  // the length: the terminator
        {-1, 0},
        {4, 0},
        {(int64_t(1) << 32) + 2, L'c'},  // low 32 bits
    };
    for (auto& c : cases) {
        pushtext(e, L"abc");
        e.pushint(c.pos);
        e.getc_exec();
        EXPECT_EQ(popint(e), c.code) << c.pos;
    }
    pushtext(e, L"abc");
    e.pushdbl(1.9);  // truncated
    e.getc_exec();
    EXPECT_EQ(popint(e), L'b');
    pushtext(e, L"\xFFFF");
    e.pushint(0);
    e.getc_exec();
    EXPECT_EQ(popint(e), 0xFFFF) << "codes are unsigned";
    EXPECT_TRUE(e.dats.empty());
    releaseall(e);
}

TEST(StringCommands, SetcWritesOnlyCharactersInsideTheText)
{
    ExeScr e;
    const int32_t g = strvar(e, L"one", L"x");
    e.pushint(0x10041);  // only the low 16 bits are a character
    e.pushint(0);
    e.pushint(g);
    e.setc_exec();
    EXPECT_EQ(std::wstring(e.vartext(e.varat(g))), L"A");
    EXPECT_TRUE(e.datd.empty());
    releaseall(e);

    struct {
        int64_t pos;
        const wchar_t* message;
    } bad[] = {
        {-1, L"number of position is invalid:-1"},
        {1, L"number of position is invalid:1"},  // would overwrite the terminator
        {2, L"number of position is invalid:2"},
    };
    for (auto& b : bad) {
        ExeScr& f = fatalengine();
        const int32_t v = strvar(f, L"one", L"x");
        const int64_t pos = b.pos;
        EXPECT_EQ(expectfatal(f, [=](ExeScr& x) { x.pushint(L'Z'); x.pushint(pos); x.pushint(v); x.setc_exec(); }),
                  b.message);
        EXPECT_EQ(f.inlof(f.varat(v))[0], L'x');
        EXPECT_EQ(f.inlof(f.varat(v))[1], 0);
    }
    ExeScr& n = fatalengine();
    const int32_t num = n.declvar(L"num", 0);
    n.varat(num)->state = varnum;
    EXPECT_EQ(expectfatal(n, [=](ExeScr& x) { x.pushint(65); x.pushint(0); x.pushint(num); x.setc_exec(); }),
              L"not string type.:num");
}

TEST(StringCommands, CutstrCases)
{
    ExeScr e;
    struct {
        int count;
        int32_t start, end;
        const wchar_t* result;
    } cases[] = {
        {3, 3, 20, L"3456789"}, {2, 12, 0, L""},    {3, 5, 5, L""},       {3, 6, 2, L""},
        {2, 2, 0, L"23456789"}, {2, -4, 0, L"0123456789"},                {3, -4, 3, L"012"},
        {3, 0, -1, L""},        {2, 10, 0, L""},    {3, 9, 10, L"9"},
    };
    for (auto& c : cases) {
        if (c.count == 3)
            e.pushint(c.end);
        e.pushint(c.start);
        pushtext(e, L"0123456789");
        runop(e, &ExeScr::cutstr_exec, c.count);
        EXPECT_EQ(popstr(e), c.result) << c.count << " " << c.start << " " << c.end;
    }
    std::wstring t200;
    for (int k = 0; k < 200; ++k)
        t200 += wchar_t(L'A' + k % 26);
    e.pushint(10);
    pushtext(e, t200);
    const size_t held = e.allocs.size();
    runop(e, &ExeScr::cutstr_exec, 2);
    EXPECT_EQ(e.allocs.size(), held);
    datscell* c = e.pops();
    EXPECT_EQ(c->heapid, 2100);
    EXPECT_EQ(std::wstring(e.datstext(c)), t200.substr(10));
    e.datsrelease(c);
    e.pushint(140);
    e.pushint(100);
    pushtext(e, t200);
    runop(e, &ExeScr::cutstr_exec, 3);
    EXPECT_EQ(popstr(e), t200.substr(100, 40)) << "inline result from a heap text";
    EXPECT_TRUE(e.datd.empty());
    releaseall(e);
}

TEST(DefUndef, ArgumentsVariablesAndElements)
{
    ExeScr e;
    auto def = [&](const wchar_t* name) {
        pushtext(e, name);
        runop(e, &ExeScr::def_exec, 0);
        return popint(e);
    };
    EXPECT_EQ(def(L"arg_00"), 0);
    e.args = {L"a", L"b"};
    EXPECT_EQ(def(L"arg_01"), 1);
    EXPECT_EQ(def(L"arg_01x"), 1) << "characters behind the digits are not examined";
    EXPECT_EQ(def(L"arg_02"), 0);
    EXPECT_EQ(def(L"arg_1x"), 0);
    EXPECT_EQ(def(L"carg_00"), 0);
    e.callargs = {L"c"};
    EXPECT_EQ(def(L"carg_00"), 1);
    EXPECT_FALSE(e.globals.base) << "argument words declare nothing";

    EXPECT_EQ(def(L"fresh"), 0);
    ASSERT_EQ(e.globals.count(), 1);
    EXPECT_EQ(std::wstring(e.varname(e.varat(0))), L"fresh");
    EXPECT_EQ(e.varat(0)->state, varundef);
    e.varat(0)->state = varnum;
    e.varat(0)->isint = 1;
    EXPECT_EQ(def(L"fresh"), 1);
    EXPECT_EQ(e.deflastint, 1u);
    const int32_t d = e.declvar(L"dbl", 0);
    e.varat(d)->state = varnum;
    e.varat(d)->isint = 0;
    e.pushint(d);
    runop(e, &ExeScr::def_exec, 1);
    EXPECT_EQ(popint(e), 1);
    EXPECT_EQ(e.deflastint, 0u);

    // undef leaves the text in place and answers whether there was a value.
    const int32_t s = strvar(e, L"str", L"keep");
    pushtext(e, L"str");
    runop(e, &ExeScr::undef_exec, 0);
    EXPECT_EQ(popint(e), 1);
    EXPECT_EQ(e.varat(s)->state, varundef);
    EXPECT_EQ(std::wstring(e.inlof(e.varat(s))), L"keep");
    pushtext(e, L"str");
    runop(e, &ExeScr::undef_exec, 0);
    EXPECT_EQ(popint(e), 0);
    e.pushint(d);
    runop(e, &ExeScr::undef_exec, 1);
    EXPECT_EQ(popint(e), 1);
    pushtext(e, L"another");
    runop(e, &ExeScr::undef_exec, 0);
    EXPECT_EQ(popint(e), 0);
    EXPECT_EQ(e.globals.count(), 4);

    // A name read from a global is copied before a declaration moves the table.
    while (e.globals.count() < 64) {
        wchar_t name[8];
        _snwprintf(name, 8, L"v%d", e.globals.count());
        e.declvar(name, 0);
    }
    e.settext(e.varat(s), L"brandnew", 8, 219);
    pushref(e, s);
    runop(e, &ExeScr::def_exec, 0);
    EXPECT_EQ(popint(e), 0);
    EXPECT_EQ(e.globals.cap, 128);
    EXPECT_EQ(std::wstring(e.varname(e.varat(64))), L"brandnew");
    EXPECT_TRUE(e.dats.empty());
    releaseall(e);
}
