// Global variables, the local value stack and arrays.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/exescr.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::countid;
using qtest::fatalengine;
using qtest::findid;

TEST(Globals, NamesAreSignificantToTwentyCharacters)
{
    ExeScr e;
    int32_t a = e.declvar(L"abcdefghijklmnopqrstUVWXY", 0);
    EXPECT_EQ(e.declvar(L"abcdefghijklmnopqrstUVWXY", 0), a) << "a 25-character name is found again";
    EXPECT_EQ(e.declvar(L"abcdefghijklmnopqrst", 0), a) << "differs only after the 20th";
    EXPECT_EQ(std::wstring(e.varname(e.varat(a))), L"abcdefghijklmnopqrst");
    EXPECT_NE(e.declvar(L"abcdefghijklmnopqrs", 0), a);
    EXPECT_NE(e.declvar(L"abcdefghijklmnopqrst", 1), a) << "mode 1 always declares";
    EXPECT_EQ(e.varat(a)->state, varundef);
    e.freevartable();
    EXPECT_TRUE(e.allocs.empty());
}

TEST(Globals, The65thMovesTheTableAndIndexesStayValid)
{
    ExeScr e;
    for (int n = 0; n < 64; ++n) {
        wchar_t name[8];
        _snwprintf(name, 8, L"v%d", n);
        EXPECT_EQ(e.declvar(name, 0), n);
    }
    e.varat(10)->state = varnum;
    e.varat(10)->i = 99;
    EXPECT_EQ(e.globals.cap, 64);
    EXPECT_EQ(e.declvar(L"v64", 0), 64);
    EXPECT_EQ(e.globals.cap, 128);
    EXPECT_EQ(e.declvar(L"v10", 0), 10);
    EXPECT_EQ(e.varat(10)->i, 99);
    EXPECT_EQ(e.textcap(e.globals.base + 127), varinline) << "new slots are prepared";
    EXPECT_EQ(e.heapof(e.globals.base + 127), nullptr);
    // The records, their texts and their names, all of the new capacity.
    ASSERT_EQ(e.allocs.size(), 3u);
    EXPECT_EQ(e.allocs[0].id, 210);
    EXPECT_EQ(e.allocs[0].size, 128 * sizeof(varrec));
    EXPECT_EQ(e.allocs[1].id, 210);
    EXPECT_EQ(e.allocs[1].size, 128 * sizeof(varaux));
    EXPECT_EQ(e.allocs[2].id, 210);
    EXPECT_EQ(e.allocs[2].size, 128 * sizeof(globalname));
    e.freevartable();
}

TEST(Globals, FreeReleasesEveryHeapText)
{
    ExeScr e;
    int32_t v = e.declvar(L"long", 0);
    const std::wstring text(300, L't');
    e.settext(e.varat(v), text.c_str(), text.size(), 999);
    EXPECT_EQ(countid(e, 999), 1u);
    e.freevartable();
    EXPECT_TRUE(e.allocs.empty());
    EXPECT_EQ(e.globals.cap, 0);
}

TEST(Locals, TextsUpTo128StayInlineLongerOnesTakeAHeapText)
{
    ExeScr e;
    const std::wstring t128(128, L'a'), t129(129, L'b');
    e.pushlocal(0, 0, t128.c_str(), varstr);
    EXPECT_EQ(e.heapof(e.varat(-1)), nullptr);
    e.pushlocal(0, 0, t129.c_str(), varstr);
    const memrec* r = findid(e, 311);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->size, 130 * sizeof(wchar_t));
    EXPECT_EQ(e.textcap(e.varat(-1)), 129);
    EXPECT_EQ(std::wstring(e.vartext(e.varat(-1))), t129);
    EXPECT_EQ(std::wstring(e.vartext(e.varat(-2))), t128);
    EXPECT_EQ(e.varname(e.varat(-1))[0], 0);
    e.poplocals(1);
    EXPECT_EQ(countid(e, 311), 0u);
    EXPECT_EQ(e.textcap(e.stackdd.base + 1), varinline) << "the popped slot is reset";
    e.poplocals(0);
    e.poplocals(-2);
    EXPECT_EQ(e.stackdd.count(), 1);
    e.clearlocals();
    EXPECT_TRUE(e.allocs.empty());
}

TEST(Locals, PoppingMoreThanTheStackHoldsIsFatal)
{
    ExeScr& e = fatalengine();
    e.pushlocal(1.0, 0, nullptr, varnum);
    e.pushlocal(0, 2, nullptr, localint);
    EXPECT_EQ(expectfatal(e, [](ExeScr& x) { x.poplocals(3); }), L"Stack underflow error. ");
}

TEST(Arrays, NamesAreSignificantToTwentyOneCharacters)
{
    ExeScr e;
    int32_t a = e.arrayfind(L"abcdefghijklmnopqrstuVW");
    EXPECT_EQ(e.arrayfind(L"abcdefghijklmnopqrstuXY"), a);
    EXPECT_NE(e.arrayfind(L"abcdefghijklmnopqrstX"), a);
    EXPECT_EQ(std::wstring(e.arrays.base[a].name), L"abcdefghijklmnopqrstu");
    EXPECT_EQ(findid(e, 1380)->size, 10 * sizeof(arrayrec));
    e.freenametbls();
    EXPECT_TRUE(e.allocs.empty());
}

TEST(Arrays, OneIndexElementsAreMadeOnFirstUseAndSlotsGrowByDoubling)
{
    ExeScr e;
    int32_t a = e.arrayfind(L"arr");
    EXPECT_TRUE(e.globals.empty()) << "an element never used has no variable";
    int32_t v0 = e.arraytable(a, 1, 0, 0, 0);
    EXPECT_EQ(e.arrays.base[a].count, 64u);
    EXPECT_EQ(findid(e, slotbufid)->size, 64 * sizeof(int32_t));
    EXPECT_EQ(std::wstring(e.varname(e.varat(v0))), L"arr");
    EXPECT_EQ(e.arraytable(a, 1, 0, 0, 0), v0) << "the same element is the same variable";
    int32_t v64 = e.arraytable(a, 1, 64, 0, 0);
    EXPECT_NE(v64, v0);
    EXPECT_EQ(e.arrays.base[a].count, 128u);
    EXPECT_EQ(countid(e, slotbufid), 1u);
    EXPECT_EQ(e.arraytable(a, 1, 0, 0, 0), v0) << "slots survive the move";
    EXPECT_EQ(e.arraytable(a, 1, 1000, 0, 0), v64 + 1);
    EXPECT_EQ(e.arrays.base[a].count, 1024u);
    e.freenametbls();
    e.freevartable();
    EXPECT_TRUE(e.allocs.empty());
}

// A level past levelreservemin bytes moves once into address space of its
// own and then grows where it lies; the destructor gives it back when the
// run's end did not.
TEST(Arrays, ALargeLevelGrowsWhereItLies)
{
    auto* e = new ExeScr();
    const int32_t a = e->arrayfind(L"big");
    const int32_t m = e->arrayfind(L"grid");
    const uint32_t heaped = static_cast<uint32_t>(ExeScr::levelreservemin / sizeof(int32_t)) / 2;
    const int32_t v0 = e->arraytable(a, 1, 0, 0, 0);
    const int32_t vlast = e->arraytable(a, 1, heaped - 1, 0, 0);
    EXPECT_EQ(e->arrays.base[a].reserve, 0u) << "a heap block below the size";
    const int32_t vfar = e->arraytable(a, 1, heaped, 0, 0);
    const arrayrec& rec = e->arrays.base[a];
    ASSERT_NE(rec.reserve, 0u);
    const void* moved = rec.buf;
    const memrec* r = findid(*e, slotbufid);
    ASSERT_NE(r, nullptr);
    EXPECT_TRUE(r->reserved);
    EXPECT_EQ(r->size, static_cast<uint64_t>(rec.count) * sizeof(int32_t));
    EXPECT_EQ(e->arraytable(a, 1, 0, 0, 0), v0) << "slots survive the move";
    EXPECT_EQ(e->arraytable(a, 1, heaped - 1, 0, 0), vlast);
    EXPECT_EQ(e->arraytable(a, 1, 8 * heaped, 0, 0), vfar + 1);
    EXPECT_EQ(rec.buf, moved) << "no copy into a new block";
    EXPECT_EQ(rec.count, 16 * heaped);
    EXPECT_EQ(findid(*e, slotbufid)->size, static_cast<uint64_t>(rec.count) * sizeof(int32_t));
    EXPECT_EQ(e->arraytable(a, 1, heaped, 0, 0), vfar);
    EXPECT_EQ(e->arraytable(a, 1, 3 * heaped, 0, 0), vfar + 2) << "a new slot between is free";
    // A large leaf under a node level.
    const int32_t g = e->arraytable(m, 2, 3, 2 * heaped, 0);
    const indexnode& leaf = static_cast<const indexnode*>(e->arrays.base[m].buf)[3];
    EXPECT_NE(leaf.reserve, 0u);
    EXPECT_EQ(e->arraytable(m, 2, 3, 2 * heaped, 0), g);
    e->freenametbls();
    for (const memrec& k : e->allocs)
        EXPECT_TRUE(k.id != slotbufid && k.id != nodebufid) << "a level left after the release";
    e->freevartable();
    EXPECT_TRUE(e->allocs.empty());
    delete e;

    // A run that did not get to its end: the destructor releases the range.
    auto* f = new ExeScr();
    const int32_t b = f->arrayfind(L"big");
    f->arraytable(b, 1, 4 * heaped, 0, 0);
    void* range = f->arrays.base[b].buf;
    MEMORY_BASIC_INFORMATION info{};
    ASSERT_NE(VirtualQuery(range, &info, sizeof info), 0u);
    EXPECT_EQ(info.State, static_cast<DWORD>(MEM_COMMIT));
    std::erase_if(f->allocs, [](const memrec& k) {
        if (!k.reserved)
            free(k.ptr);
        return !k.reserved;
    });
    delete f;
    ASSERT_NE(VirtualQuery(range, &info, sizeof info), 0u);
    EXPECT_EQ(info.State, static_cast<DWORD>(MEM_FREE));
}

TEST(Arrays, TwoAndThreeIndexesUseNodeLevels)
{
    ExeScr e;
    int32_t m = e.arrayfind(L"m");
    int32_t c = e.arrayfind(L"c");
    int32_t m12 = e.arraytable(m, 2, 1, 2, 0);
    int32_t m21 = e.arraytable(m, 2, 2, 1, 0);
    int32_t c123 = e.arraytable(c, 3, 1, 2, 3);
    int32_t c321 = e.arraytable(c, 3, 3, 2, 1);
    EXPECT_EQ((std::vector<int32_t>{m12, m21, c123, c321}), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(e.arraytable(m, 2, 1, 2, 0), m12);
    EXPECT_EQ(e.arraytable(c, 3, 1, 2, 3), c123);
    EXPECT_EQ(e.arraytable(c, 3, 100, 2, 3), 4);
    EXPECT_EQ(e.arrays.base[m].leaf, 0u);
    EXPECT_EQ(countid(e, nodebufid), 1u + 1u + 3u) << "m: one level; c: the record's and three second-level";
    e.freenametbls();
    e.freevartable();
    EXPECT_TRUE(e.allocs.empty()) << "every level is given back";
}

TEST(Arrays, IndexesBeyondTheSizeLimitAreFatal)
{
    auto overflow = [](uint32_t n, uint32_t i1, uint32_t i2) {
        ExeScr& e = fatalengine();
        int32_t a = e.arrayfind(L"big");
        return expectfatal(e, [=](ExeScr& x) { x.arraytable(a, n, i1, i2, 0); });
    };
    EXPECT_EQ(overflow(1, static_cast<uint32_t>(-1), 0), L"array table size overflow error..");
    EXPECT_EQ(overflow(1, 1u << 29, 0), L"array table size overflow error..");
    EXPECT_EQ(overflow(2, 1u << 27, 0), L"array table size overflow error..");
}

TEST(Arrays, OneArrayServesOneNumberOfIndexes)
{
    ExeScr& e = fatalengine();
    int32_t a = e.arrayfind(L"mixed");
    e.arraytable(a, 1, 0, 0, 0);
    EXPECT_EQ(expectfatal(e, [=](ExeScr& x) { x.arraytable(a, 2, 0, 0, 0); }),
              L"array index count mismatch error.:mixed");
}

TEST(Arrays, IndexOpcodePopsIndexesLastFirst)
{
    ExeScr e;
    int32_t a = e.arrayfind(L"grid");
    int32_t expected = e.arraytable(a, 2, 3, 5, 0);
    codecell list[2] = {};
    list[0].i = (static_cast<int64_t>(a) << 32) | (2 << 16);
    e.pushint(3);
    e.pushdbl(5.9);  // a double index is truncated toward zero
    e.ip = list;
    e.arrayindex_run();
    EXPECT_EQ(e.ip, list + 1);
    datdcell r = e.popd();
    EXPECT_EQ(r.isint, 1u);
    EXPECT_EQ(r.i, expected);
    EXPECT_TRUE(e.datd.empty());
    e.freedatd();
    e.freenametbls();
    e.freevartable();
}

TEST(Globals, ALargeTableGrowsWhereItLiesAndIsRecordedAtItsSize)
{
    ExeScr e;
    e.declvar(L"first", 0);
    e.varat(0)->state = varnum;
    e.varat(0)->i = 7;
    // Past its heaped size the table moves once into address space of its own.
    const int32_t big = ExeScr::globalsheapedmax * 2;
    while (e.globals.count() < big)
        e.declvar(L"many", 1);
    EXPECT_NE(e.globalsreserved, 0u);
    varrec* base = e.globals.base;
    while (e.globals.count() < 2 * big)
        e.declvar(L"more", 1);
    EXPECT_EQ(e.globals.base, base) << "no copy into a new block";
    EXPECT_GE(e.globals.cap, 2 * big);
    EXPECT_EQ(e.varat(0)->i, 7);
    // A slot is prepared when it is taken.
    EXPECT_EQ(e.textcap(e.globals.top - 1), varinline);
    EXPECT_EQ(e.heapof(e.globals.top - 1), nullptr);
    ASSERT_EQ(e.allocs.size(), 3u);
    EXPECT_EQ(e.allocs[0].ptr, base);
    EXPECT_EQ(e.allocs[0].size, static_cast<uint64_t>(e.globals.cap) * sizeof(varrec));
    EXPECT_EQ(e.allocs[1].ptr, e.globalaux.base);
    EXPECT_EQ(e.allocs[1].size, static_cast<uint64_t>(e.globals.cap) * sizeof(varaux));
    EXPECT_EQ(e.allocs[2].ptr, e.globalnames.base);
    EXPECT_EQ(e.allocs[2].size, static_cast<uint64_t>(e.globals.cap) * sizeof(globalname));
    for (const memrec& r : e.allocs)
        EXPECT_TRUE(r.reserved);
    e.freevartable();
    EXPECT_TRUE(e.allocs.empty());
    EXPECT_EQ(e.globalsreserved, 0u);
    EXPECT_EQ(e.auxreserved, 0u);
    EXPECT_EQ(e.namesreserved, 0u);
    // A table made again after the release starts over, on the heap.
    EXPECT_EQ(e.declvar(L"again", 0), 0);
    EXPECT_EQ(e.globals.cap, 64);
    e.freevartable();
}

// An element keeps no name of its own (writing one would touch a page of
// names per element): every name it is known by is its array's.
TEST(Arrays, ElementsAreNamedByTheirArrayAndKeepTheirTextsAsTheTableGrows)
{
    ExeScr e;
    EXPECT_EQ(e.declvar(L"plain", 0), 0);
    const int32_t v = e.arrayfind(L"v[]");
    const int32_t m = e.arrayfind(L"m[][]");
    const int32_t c = e.arrayfind(L"c[][][]");
    const int32_t first = e.arraytable(v, 1, 0, 0, 0);
    const std::wstring longtext(200, L'L');
    e.varat(first)->state = varstr;
    e.settext(e.varat(first), longtext.c_str(), longtext.size(), 998);
    const int32_t cell = e.arraytable(m, 2, 2, 5, 0);
    const int32_t deep = e.arraytable(c, 3, 1, 0, 7);
    // Far past the heaped table, into address space of its own.
    int32_t last = first;
    for (uint32_t k = 1; k < 3 * ExeScr::globalsheapedmax; ++k)
        last = e.arraytable(v, 1, k, 0, 0);
    EXPECT_NE(e.globalsreserved, 0u);
    const int32_t late = e.declvar(L"late", 0);

    EXPECT_STREQ(e.varname(e.varat(first)), L"v[]");
    EXPECT_STREQ(e.varname(e.varat(last)), L"v[]");
    EXPECT_STREQ(e.varname(e.varat(cell)), L"m[][]");
    EXPECT_STREQ(e.varname(e.varat(deep)), L"c[][][]");
    EXPECT_EQ(e.globalnames.base[last].t[0], 0) << "no name written for a new element";
    EXPECT_STREQ(e.varname(e.varat(0)), L"plain");
    EXPECT_STREQ(e.varname(e.varat(late)), L"late");
    EXPECT_EQ(e.declvar(L"plain", 0), 0) << "found past thousands of elements";
    EXPECT_EQ(e.declvar(L"late", 0), late);
    e.pushlocal(1.0, 0, nullptr, varnum);
    EXPECT_STREQ(e.varname(e.varat(-1)), L"");
    e.clearlocals();

    ASSERT_NE(e.heapof(e.varat(first)), nullptr);
    EXPECT_EQ(std::wstring(e.vartext(e.varat(first))), longtext) << "the heap text followed its record";
    EXPECT_EQ(e.textcap(e.varat(first)), 200);
    EXPECT_EQ(countid(e, 998), 1u);
    e.freevartable();
    EXPECT_EQ(countid(e, 998), 0u) << "an element's heap text is given back with the table";
    e.freenametbls();
    EXPECT_TRUE(e.allocs.empty());
}

// An inline text of up to 23 characters stays in the record beside the
// variable; a longer one, up to 128, moves to a block of its own, untracked
// by itself; past 128 it is a heap text, as ever. Appends cross both lines.
TEST(InlineTexts, MoveFromTheShortSlotToTheirBlockAndToTheHeap)
{
    ExeScr e;
    const int32_t g = e.declvar(L"s", 0);
    varrec* v = e.varat(g);
    v->state = varstr;
    const std::wstring a23(23, L'a');
    e.settext(v, a23.c_str(), a23.size(), 999);
    EXPECT_EQ(std::wstring(e.vartext(v)), a23);
    const size_t tables = e.allocs.size();
    e.appendvartext(v, L"b", 1);
    EXPECT_EQ(std::wstring(e.vartext(v)), a23 + L"b") << "the text followed into its block";
    EXPECT_EQ(e.heapof(v), nullptr);
    EXPECT_EQ(e.textcap(v), varinline);
    EXPECT_EQ(e.allocs.size(), tables + 1) << "one chunk of blocks";
    // Back to a short text, then a self-join that leaves the short slot.
    e.settext(v, L"0123456789", 10, 999);
    EXPECT_EQ(std::wstring(e.vartext(v)), L"0123456789");
    e.appendvartext(v, e.vartext(v), 10);
    e.appendvartext(v, e.vartext(v), 20);
    EXPECT_EQ(std::wstring(e.vartext(v)), L"0123456789012345678901234567890123456789");
    std::wstring want = e.vartext(v);
    while (want.size() < 128) {
        e.appendvartext(v, L"x", 1);
        want += L"x";
    }
    EXPECT_EQ(std::wstring(e.vartext(v)), want);
    EXPECT_EQ(e.heapof(v), nullptr) << "128 characters are still inline";
    e.appendvartext(v, L"y", 1);
    ASSERT_NE(e.heapof(v), nullptr);
    EXPECT_EQ(std::wstring(e.vartext(v)), want + L"y");
    e.settext(v, L"short", 5, 999);
    EXPECT_EQ(std::wstring(e.vartext(v)), L"short");

    // Many elements with texts of every inline length, given back with the table.
    const int32_t arr = e.arrayfind(L"t[]");
    for (uint32_t k = 0; k < 5000; ++k) {
        const std::wstring t(k % 129, static_cast<wchar_t>(L'A' + k % 26));
        varrec* el = e.varat(e.arraytable(arr, 1, k, 0, 0));
        el->state = varstr;
        e.settext(el, t.c_str(), t.size(), 999);
    }
    for (uint32_t k = 0; k < 5000; k += 7)
        EXPECT_EQ(std::wstring(e.vartext(e.varat(e.arraytable(arr, 1, k, 0, 0)))),
                  std::wstring(k % 129, static_cast<wchar_t>(L'A' + k % 26))) << k;
    EXPECT_EQ(countid(e, 999), 0u) << "texts of up to 128 characters stay inline";
    e.freevartable();
    e.freenametbls();
    EXPECT_TRUE(e.allocs.empty());
}

// Inline texts live in tables of their own beside the records: each must
// follow its record through every growth, from heap block to heap block, into
// the reservation and within it, and on stackdd.
TEST(InlineTexts, StayWithTheirRecordsAsTheTablesGrow)
{
    ExeScr e;
    auto text = [](int32_t k) { return L"t" + std::to_wstring(k) + std::wstring(static_cast<size_t>(k % 120), L'x'); };
    auto keep = [&](int32_t g) {
        const std::wstring t = text(g);
        e.varat(g)->state = varstr;
        e.settext(e.varat(g), t.c_str(), t.size(), 999);
    };
    std::vector<int32_t> kept;
    for (int32_t k = 0; e.globals.count() < 4 * ExeScr::globalsheapedmax; ++k) {
        const int32_t g = e.declvar(L"g", 1);
        if (k % 97 == 0) {
            keep(g);
            kept.push_back(g);
        }
    }
    EXPECT_NE(e.auxreserved, 0u);
    for (int32_t g : kept)
        EXPECT_EQ(std::wstring(e.vartext(e.varat(g))), text(g)) << g;
    EXPECT_EQ(e.heapof(e.varat(kept[1])), nullptr) << "texts of up to 128 characters stay inline";
    EXPECT_EQ(countid(e, 999), 0u);
    e.freevartable();
    EXPECT_TRUE(e.allocs.empty());

    for (int32_t k = 0; k < 100; ++k) {
        const std::wstring t = text(k);
        e.pushlocal(0, 0, t.c_str(), varstr);
    }
    EXPECT_GE(e.stackdd.cap, 100);
    for (int32_t k = 0; k < 100; ++k)
        EXPECT_EQ(std::wstring(e.vartext(e.varat(k - 100))), text(k)) << k;
    e.clearlocals();
    EXPECT_TRUE(e.allocs.empty());
}
