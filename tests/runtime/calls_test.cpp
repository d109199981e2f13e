// User-function calls on hand-built code, script arguments, and script threads
// started, probed and joined through the run list.
#include <gtest/gtest.h>

#include <memory>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"
#include "support/codelist.h"
#include "support/testenv.h"

using qtest::codelist;
using qtest::expectfatal;
using qtest::fatalengine;
using qtest::popint;
using qtest::popstr;
using qtest::runop;

namespace {

// Adds a function with `params` parameters and `extra` further locals whose
// code starts at `start`.
void addfunction(ExeScr& e, const wchar_t* name, uint32_t params, int32_t extra, int32_t start)
{
    const int32_t f = e.addfuncentry(name);
    funcrec& r = e.functable[static_cast<size_t>(f)];
    for (uint32_t k = 0; k < params + static_cast<uint32_t>(extra); ++k) {
        wchar_t local[8];
        _snwprintf(local, 8, L"v%u", k);
        e.addlocalname(f, local, 1);
    }
    r.paramcount = params;
    r.codestart = start;
}

void release(ExeScr& e)
{
    e.code = nullptr;  // the test's own code list
    qtest::releaseall(e);
}

}  // namespace

TEST(UserCall, FrameOfParametersAndLocalsIsPushedAndPopped)
{
    ExeScr e;
    codelist c;
    c.op(&ExeScr::usercall_exec).i(0).op(&ExeScr::pushint_exec).i(99).op(nullptr);
    const int64_t body = c.here();
    // Inside: two parameters and three locals, so the first parameter is -5.
    c.op(&ExeScr::pushvar_exec).i(-5).op(&ExeScr::pushvar_exec).i(-4);
    addfunction(e, L"f", 2, 3, static_cast<int32_t>(body));
    e.pushlocal(0.0, 11, nullptr, localint);
    e.pushlocal(0.0, 22, nullptr, localint);
    e.curfunc = 7;
    c.run(e);
    EXPECT_EQ(popint(e), 99) << "the caller goes on after the call";
    EXPECT_EQ(popint(e), 22);
    EXPECT_EQ(popint(e), 11);
    EXPECT_EQ(e.stackdd.count(), 0) << "parameters and locals are all popped";
    EXPECT_EQ(e.curfunc, 7);
    EXPECT_EQ(e.unitbase, 0u);
    EXPECT_EQ(e.calldepth, 0);
    release(e);
}

TEST(UserCall, AStopInsideEndsTheCallAndTheCaller)
{
    ExeScr e;
    codelist c;
    c.op(&ExeScr::usercall_exec).i(0).op(&ExeScr::pushint_exec).i(99).op(nullptr);
    const int64_t body = c.here();
    c.op(&ExeScr::pushint_exec).i(1).op(&ExeScr::pushint_exec).i(2).op(nullptr);
    addfunction(e, L"f", 0, 1, static_cast<int32_t>(body));
    e.stopflag = 1;
    c.run(e);
    EXPECT_EQ(e.datd.count(), 1) << "one cell of the function ran, nothing after";
    EXPECT_EQ(e.stackdd.count(), 0);
    EXPECT_EQ(e.ip, c.cells.data() + 2) << "back after the call";
    release(e);
}

TEST(UserCall, RunawayRecursionEndsTheScriptNotTheProcess)
{
    static codelist c;
    c.op(&ExeScr::usercall_exec).i(0).op(nullptr);
    ExeScr& e = fatalengine();
    addfunction(e, L"f", 0, 0, 0);
    EXPECT_EQ(expectfatal(e, [](ExeScr& x) { c.run(x); }), L"Function calls nested too deeply.:2000:");
}

TEST(ScriptArguments, ByIndexOrEmpty)
{
    ExeScr e;
    e.args = {L"prog.exe", L"job.tst", L"first"};
    e.callargs = {L"only"};
    for (const auto& [n, want] : std::initializer_list<std::pair<int64_t, const wchar_t*>>{
             {2, L"first"}, {3, L""}, {-1, L""}, {0x100000001LL, L"job.tst"}}) {
        e.pushint(n);
        e.getargument_exec();
        EXPECT_EQ(popstr(e), want) << n;
    }
    e.pushdbl(0.7);
    e.getcallargument_exec();
    EXPECT_EQ(popstr(e), L"only") << "a double index is truncated";
    release(e);
}

TEST(ScriptThreads, StartHandsOverArgumentsAndTheParentKeepsTheRecord)
{
    ExeScr parent;
    parent.scriptpath = qtest::scratchdir() + L"threads.tst";
    qtest::writescript(parent.scriptpath, L"main\r\n{\r\n}\r\nthread worker(str name, n)\r\n{\r\n}\r\n");
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        runlist.push_back(listedrun{parent.scriptpath, L"threads", &parent, nullptr});
    }
    parent.blocktable.resize(1);
    blockrec& block = parent.blocktable[0];
    wcscpy(block.name, L"worker");
    block.params = {};
    parent.addblockitem(0, L"name", 2);
    parent.addblockitem(0, L"n", 1);

    parent.pushint(5);
    const std::wstring longtext(100, L'w');
    parent.pushstrtext(longtext.c_str(), longtext.size(), 217);
    codecell operand[1];
    operand[0].p = &block;
    parent.ip = operand;
    parent.threadstart_exec();
    const int64_t child = popint(parent);
    EXPECT_NE(child, 0);
    EXPECT_EQ(parent.datd.count(), 0);
    EXPECT_EQ(parent.dats.count(), 0) << "both arguments were taken";
    for (const memrec& m : parent.allocs)
        EXPECT_TRUE(m.id != threadrecid && m.id != threadtextid) << "the record and its texts are back: " << m.id;

    // Join returns once the child has left the run list; joining again or
    // probing a thread that ended returns 0 at once.
    parent.pushint(child);
    runop(parent, &ExeScr::threadctl_exec, 0);
    EXPECT_EQ(popint(parent), 0);
    parent.pushint(child);
    runop(parent, &ExeScr::threadctl_exec, 2);
    EXPECT_EQ(popint(parent), 0);
    parent.pushint(child);
    runop(parent, &ExeScr::threadctl_exec, 0);
    EXPECT_EQ(popint(parent), 0);
    parent.pushint(65);
    parent.pushint(child);
    runop(parent, &ExeScr::threadctl_exec, 1);
    EXPECT_EQ(popint(parent), 0) << "sendkey to an ended thread sends nothing";
    runop(parent, &ExeScr::threadctl_exec, 5);
    EXPECT_EQ(popint(parent), 0) << "no children left";
    runop(parent, &ExeScr::threadctl_exec, 3);
    EXPECT_EQ(popint(parent), 0) << "eachjoin without children";
    runop(parent, &ExeScr::threadctl_exec, 4);
    EXPECT_EQ(popint(parent), 0);
    runop(parent, &ExeScr::threadctl_exec, 9);
    EXPECT_EQ(popint(parent), 0) << "unknown codes push 0";

    std::lock_guard<std::mutex> lock(g_scriptmutex);
    runlist.clear();
    parent.freeblocktbl();
    parent.freedatd();
    parent.freedats();
}

TEST(ScriptThreads, CountIsOfTheParentsChildrenFromEitherSide)
{
    ExeScr parent, a, b, stranger;
    a.threadmode = b.threadmode = 1;
    a.threadparent = b.threadparent = &parent;
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        runlist.push_back(listedrun{L"p", L"p", &parent, nullptr});
        runlist.push_back(listedrun{L"p", L"p", &a, &parent});
        runlist.push_back(listedrun{L"p", L"p", &b, &parent});
        runlist.push_back(listedrun{L"s", L"s", &stranger, &a});
    }
    for (ExeScr* e : {&parent, &a, &b}) {
        runop(*e, &ExeScr::threadctl_exec, 5);
        EXPECT_EQ(popint(*e), 2);
        e->pushint(reinterpret_cast<intptr_t>(&b));
        runop(*e, &ExeScr::threadctl_exec, 2);
        EXPECT_EQ(popint(*e), 1);
        e->freedatd();
    }
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    runlist.clear();
}

namespace {

// Runs one threadctl operation of `e` on a thread of its own (operand `op`,
// with `arg` pushed first unless it is 0) and keeps what it pushed.
struct ctlthread {
    ExeScr& e;
    int64_t op;
    int64_t arg;
    int64_t result = -1;
    volatile LONG done = 0;
    HANDLE h = nullptr;

    ctlthread(ExeScr& engine, int64_t o, int64_t a) : e(engine), op(o), arg(a)
    {
        h = CreateThread(nullptr, 0, entry, this, 0, nullptr);
    }
    ~ctlthread()
    {
        if (WaitForSingleObject(h, 3000) != WAIT_OBJECT_0)
            TerminateThread(h, 0);  // a hung join must not hang the suite
        CloseHandle(h);
    }
    static DWORD WINAPI entry(void* p)
    {
        auto* t = static_cast<ctlthread*>(p);
        if (t->arg)
            t->e.pushint(t->arg);
        // No test assertions off the main thread: the suite is built without
        // their locking.
        codecell list[2] = {};
        list[0].i = t->op;
        t->e.ip = list;
        t->e.threadctl_exec();
        t->result = t->e.popd().i;
        t->e.freedatd();
        InterlockedExchange(&t->done, 1);
        return 0;
    }
    bool finished(DWORD ms) const
    {
        for (DWORD waited = 0; !done && waited < ms; waited += 10)
            Sleep(10);
        return done != 0;
    }
};

void registerrun(ExeScr& e, ExeScr* parent)
{
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    runlist.push_back(listedrun{L"p", L"p", &e, parent});
}

void endrun(ExeScr& e)
{
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    unregister(&e);
}

intptr_t id(ExeScr& e) { return reinterpret_cast<intptr_t>(&e); }

}  // namespace

// One join event per child was overwritten by a second joiner, which left the
// first waiting for ever.
TEST(ScriptThreads, EveryJoinerOfAThreadWakesWhenItEnds)
{
    ExeScr parent, other, child;
    registerrun(parent, nullptr);
    registerrun(other, nullptr);
    registerrun(child, &parent);
    {
        ctlthread a(parent, 0, id(child)), b(other, 0, id(child));
        Sleep(100);
        EXPECT_FALSE(a.done || b.done) << "both wait while the child runs";
        endrun(child);
        EXPECT_TRUE(a.finished(2000));
        EXPECT_TRUE(b.finished(2000));
    }
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    runlist.clear();
}

// More than 63 children once made the wait fail at once, so eachjoin returned
// without waiting.
TEST(ScriptThreads, EachjoinWaitsForTheFirstOfManyChildren)
{
    ExeScr parent;
    std::vector<std::unique_ptr<ExeScr>> children;
    registerrun(parent, nullptr);
    for (int k = 0; k < 70; ++k) {
        children.push_back(std::make_unique<ExeScr>());
        registerrun(*children.back(), &parent);
    }
    {
        ctlthread each(parent, 3, 0);
        Sleep(100);
        EXPECT_FALSE(each.done) << "still waiting";
        endrun(*children[65]);
        ASSERT_TRUE(each.finished(2000));
        EXPECT_EQ(each.result, id(*children[65]));
    }
    for (const auto& c : children)
        EXPECT_TRUE(c->joiners.empty()) << "no child keeps the finished wait's event";
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    runlist.clear();
}

// The close wakes joiners while their child is still registered; the joiner
// takes its event back before closing it, so the child never sets a closed
// handle. And a steady stream of messages cannot stretch the close's wait.
TEST(Closure, WakesJoinersAndIsBoundedInTimeUnderAStreamOfMessages)
{
    ExeScr parent, child;
    registerrun(parent, nullptr);
    registerrun(child, &parent);
    ctlthread join(parent, 0, id(child));
    Sleep(50);
    const DWORD self = GetCurrentThreadId();
    volatile LONG stop = 0;
    struct feeder {
        DWORD target;
        volatile LONG* stop;
        static DWORD WINAPI run(void* p)
        {
            auto* f = static_cast<feeder*>(p);
            while (!*f->stop) {
                PostThreadMessageW(f->target, WM_NULL, 0, 0);
                Sleep(5);
            }
            return 0;
        }
    } f{self, &stop};
    HANDLE feed = CreateThread(nullptr, 0, feeder::run, &f, 0, nullptr);
    const DWORD t0 = GetTickCount();
    EXPECT_EQ(mythreadclosure(), 1);
    const DWORD took = GetTickCount() - t0;
    InterlockedExchange(&stop, 1);
    WaitForSingleObject(feed, 2000);
    CloseHandle(feed);
    EXPECT_GE(took, closurewaitms - 200) << "the fake runs never leave";
    EXPECT_LT(took, closurewaitms + 1500);
    EXPECT_TRUE(join.finished(1000)) << "the joiner was woken";
    EXPECT_TRUE(child.joiners.empty());
    endrun(child);  // sets nothing: its list is empty
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    runlist.clear();
}
