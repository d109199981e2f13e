// The tracked allocator and the offset stacks.
#include <gtest/gtest.h>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "support/testenv.h"

using qtest::expectfatal;
using qtest::fatalengine;

TEST(TrackedAllocator, RecordsBlocksInOrderAndKeepsItAcrossRemovals)
{
    ExeScr e;
    void* a = e.mymalloc2(10, 1);
    void* b = e.mymalloc2(20, 2);
    void* c = e.mymalloc2(30, -5);  // negative ids are tracked too
    ASSERT_EQ(e.allocs.size(), 3u);
    EXPECT_EQ(e.allocs[1].size, 20u);
    EXPECT_EQ(e.allocs[2].id, -5);
    e.myfree(b, 2);
    ASSERT_EQ(e.allocs.size(), 2u);
    EXPECT_EQ(e.allocs[0].ptr, a);
    EXPECT_EQ(e.allocs[1].ptr, c);
    e.myfree(a, 1);
    e.myfree(c, -5);
    EXPECT_TRUE(e.allocs.empty());
}

TEST(TrackedAllocator, IdsFrom9000AreNeverRecorded)
{
    ExeScr e;
    void* p = e.mymalloc2(64, 9000);
    void* q = e.mymalloc2(64, 8999);
    EXPECT_EQ(e.allocs.size(), 1u);
    e.myfree(p, 9000);  // skips the table
    e.myfree(q, 8999);
    EXPECT_TRUE(e.allocs.empty());
}

TEST(TrackedAllocator, MemunregForgetsTheBlockWithoutFreeingIt)
{
    ExeScr e;
    char* p = static_cast<char*>(e.mymalloc2(8, 7));
    e.memunreg(p, 7);
    EXPECT_TRUE(e.allocs.empty());
    p[0] = 1;  // still ours
    free(p);
}

TEST(TrackedAllocator, BadReleasesAreFatal)
{
    {
        ExeScr& e = fatalengine();
        void* p = e.mymalloc2(16, 12);
        wchar_t expect[128];
        _snwprintf(expect, 128, L"internal free function error. ptr:%lx id:12 reqid:13",
                   static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)));
        EXPECT_EQ(expectfatal(e, [p](ExeScr& x) { x.myfree(p, 13); }), expect);
    }
    {
        ExeScr& e = fatalengine();
        void* p = e.mymalloc2(16, 12);
        e.myfree(p, 12);
        EXPECT_EQ(expectfatal(e, [p](ExeScr& x) { x.myfree(p, 12); }).substr(0, 34),
                  L"internal free function error. ptr:")
            << "a second release finds no record";
    }
    {
        ExeScr& e = fatalengine();
        EXPECT_EQ(expectfatal(e, [](ExeScr& x) { x.mymallocfail(100, 42); }),
                  L"malloc failure in mymalloc2: ptr:0 size:100 id:42");
    }
}

TEST(TrackedAllocator, LeakReportIsQuietWithinTheBaseline)
{
    const std::wstring errorlog = programdir + L"error.log";
    const std::wstring before = qtest::readfile(errorlog);
    ExeScr e;
    void* p = e.mymalloc2(4, 3);
    e.leakbaseline = 1;
    e.memleakreport();  // returns: nothing beyond the baseline
    EXPECT_EQ(qtest::readfile(errorlog), before) << "no leak line was written";
    e.myfree(p, 3);
    // And beyond the baseline the same block is a leak line.
    ExeScr& f = fatalengine();
    void* q = f.mymalloc2(4, 3);
    EXPECT_EQ(expectfatal(f, [](ExeScr& x) { x.memleakreport(); }), L"Unknown memory leak error.");
    wchar_t line[64];
    _snwprintf(line, 64, L"3:%lx:4\r\n", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(q)));
    const std::wstring after = qtest::readfile(errorlog);
    const size_t start = before == L"<missing>" ? 1 : before.size();  // a new file starts with its BOM
    EXPECT_EQ(after.substr(start), line);
}

TEST(OffsetStacks, PushPeekPopAndDrop)
{
    ExeScr e;
    for (int v = 1; v <= 5; ++v)
        e.mypush(v * 10);
    EXPECT_EQ(e.mypeek(1), 50);
    EXPECT_EQ(e.mypeek(5), 10);
    EXPECT_EQ(e.mypop(), 50);
    e.mypushdrop(2);
    EXPECT_EQ(e.mypop(), 20);
    e.mypushdrop(0);
    EXPECT_EQ(e.offsets.count(), 1);
    e.mypush2(7);
    e.mypush2(8);
    EXPECT_EQ(e.mypop2(), 8);
    EXPECT_EQ(e.offsets.count(), 1) << "the two stacks are independent";
    e.freemypush();
    e.freemypush2();
    e.freemypush();  // a second release does nothing
    EXPECT_TRUE(e.allocs.empty());
}

TEST(OffsetStacks, SeventeenthPushMovesIntoThirtyTwoEntries)
{
    ExeScr e;
    for (int v = 0; v < 16; ++v)
        e.mypush(v);
    EXPECT_EQ(e.offsets.cap, 16);
    ASSERT_EQ(e.allocs.size(), 1u);
    EXPECT_EQ(e.allocs[0].id, 460);
    e.mypush(16);
    EXPECT_EQ(e.offsets.cap, 32);
    ASSERT_EQ(e.allocs.size(), 1u) << "the old block was given back";
    EXPECT_EQ(e.allocs[0].size, 32 * sizeof(int32_t));
    for (int v = 16; v >= 0; --v)
        EXPECT_EQ(e.mypop(), v);
    e.freemypush();
}

TEST(OffsetStacks, UnderflowsAreFatal)
{
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.mypop(); }), L"mypush stack underflow");
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.mypush(1); x.mypeek(2); }),
              L"mypush stack underflow");
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.mypush(1); x.mypushdrop(2); }),
              L"mypush stack underflow");
    EXPECT_EQ(expectfatal(fatalengine(), [](ExeScr& x) { x.mypush(1); x.mypop2(); }),
              L"mypush2 stack underflow");
}
