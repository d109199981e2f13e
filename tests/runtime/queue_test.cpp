// The process-wide queues of the command "queue".
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "runtime/exescr.h"

namespace {

enum { qopen, qclose, qfront, qback, qappend, qempty };

datdcell queueop(ExeScr& e, int sub)
{
    codecell list[2] = {};
    list[0].i = sub;
    e.ip = list;
    e.queue_exec();
    EXPECT_EQ(e.ip, list + 1);
    return e.popd();
}

int64_t queueint(ExeScr& e, int sub, int64_t handle)
{
    e.pushint(handle);
    const datdcell c = queueop(e, sub);
    EXPECT_EQ(c.isint, 1u);
    return c.i;
}

int64_t append(ExeScr& e, int64_t handle, int64_t value)
{
    e.pushint(value);
    return queueint(e, qappend, handle);
}

}  // namespace

TEST(Queue, TakesFromBothEndsAndIgnoresUnknownHandles)
{
    ExeScr e;
    const int64_t h = queueop(e, qopen).i;
    EXPECT_NE(h, 0);
    for (int64_t v = 1; v <= 3; ++v)
        EXPECT_EQ(append(e, h, v), 1);
    EXPECT_EQ(queueint(e, qfront, h), 1);
    EXPECT_EQ(queueint(e, qback, h), 3);
    EXPECT_EQ(queueint(e, qempty, h), 0);
    EXPECT_EQ(queueint(e, qfront, h), 2);
    EXPECT_EQ(queueint(e, qempty, h), 1);
    EXPECT_EQ(queueint(e, qfront, h), 0) << "an empty queue gives the integer 0";
    EXPECT_EQ(queueint(e, qback, h), 0);

    // A double keeps its tag.
    e.pushdbl(2.5);
    EXPECT_EQ(queueint(e, qappend, h), 1);
    e.pushint(h);
    const datdcell d = queueop(e, qback);
    EXPECT_EQ(d.isint, 0u);
    EXPECT_EQ(d.d, 2.5);

    // The ring wraps and grows without losing the order.
    for (int64_t v = 0; v < 5; ++v)
        append(e, h, v);
    for (int64_t v = 0; v < 3; ++v)
        EXPECT_EQ(queueint(e, qfront, h), v);
    for (int64_t v = 5; v < 20; ++v)
        append(e, h, v);
    for (int64_t v = 3; v < 20; ++v)
        EXPECT_EQ(queueint(e, qfront, h), v);

    const int64_t other = queueop(e, qopen).i;
    EXPECT_EQ(queueint(e, qclose, h), 1);
    EXPECT_EQ(queueint(e, qclose, h), 0) << "closed already";
    EXPECT_EQ(queueint(e, qclose, 12345), 0);
    EXPECT_EQ(append(e, h, 7), 0);
    EXPECT_EQ(queueint(e, qfront, h), 0);
    EXPECT_EQ(queueint(e, qempty, h), 0);
    EXPECT_EQ(queueint(e, qempty, other), 1) << "the other queue is still listed";
    EXPECT_EQ(queueop(e, 9).i, 0);
    EXPECT_EQ(queueint(e, qclose, other), 1);
    EXPECT_TRUE(e.datd.empty());
    e.freedatd();
    EXPECT_TRUE(e.allocs.empty()) << "queues are the process's, not the script's";
}

TEST(Queue, TwoScriptThreadsAppendingAtOnceLoseNothing)
{
    ExeScr e;
    const int64_t h = queueop(e, qopen).i;
    constexpr int64_t perthread = 50000;
    // The threads start together, so that their operations overlap.
    std::atomic<int> ready{0};
    auto waitall = [&ready] {
        ready.fetch_add(1);
        while (ready.load() < 3)
            std::this_thread::yield();
    };
    auto producer = [h, &waitall](int64_t base) {
        ExeScr t;
        t.pushint(0);  // the stack's block is taken before the start
        t.popd();
        waitall();
        for (int64_t k = 0; k < perthread; ++k)
            if (append(t, h, base + k) != 1)
                ADD_FAILURE() << "append refused";
        t.freedatd();
    };
    std::thread a(producer, 0), b(producer, 1000000);
    // A third thread opens and closes queues meanwhile, moving the list.
    std::thread c([&waitall] {
        ExeScr t;
        t.pushint(0);
        t.popd();
        waitall();
        for (int k = 0; k < 2000; ++k)
            queueint(t, qclose, queueop(t, qopen).i);
        t.freedatd();
    });
    a.join();
    b.join();
    c.join();

    int64_t count = 0, nexta = 0, nextb = 1000000;
    while (queueint(e, qempty, h) == 0) {
        const int64_t v = queueint(e, qfront, h);
        int64_t& next = v < 1000000 ? nexta : nextb;
        EXPECT_EQ(v, next) << "each producer's items stay in order";
        next = v + 1;
        ++count;
    }
    EXPECT_EQ(count, 2 * perthread);
    EXPECT_EQ(queueint(e, qclose, h), 1);
    e.freedatd();
}
