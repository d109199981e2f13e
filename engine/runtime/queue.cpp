// The queues of the command "queue": numeric datums in first-in order, shared
// by every script of the process and named by their address.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "runtime/exescr.h"

namespace {

// Queues belong to the process, not to a script, so their storage is not
// tracked; the id only names the site in a failure report.
constexpr int32_t queueid = 9480;

// A ring of datums: `count` entries from `head`, wrapping at `cap`.
struct queuerec {
    datdcell* buf;
    size_t cap;
    size_t head;
    size_t count;
};

// Every open queue, in the order of opening. Script threads of one process
// share it, so each operation holds the lock for its whole look-up and change;
// datum pops and pushes, which may end the script, stay outside it.
class queuelist {
public:
    ~queuelist()
    {
        for (queuerec* q : list) {
            free(q->buf);
            free(q);
        }
    }

    std::mutex lock;
    std::vector<queuerec*> list;

    // The queue behind a handle, or the end of the list.
    std::vector<queuerec*>::iterator find(int64_t handle)
    {
        for (auto it = list.begin(); it != list.end(); ++it)
            if (reinterpret_cast<uintptr_t>(*it) == static_cast<uintptr_t>(handle))
                return it;
        return list.end();
    }
};

// Emptied when the library unloads: static destruction.
queuelist g_queues;

// Doubles the ring's room (one datum at first), unwrapping it. False when the
// heap has no room; the queue is then unchanged.
bool growqueue(queuerec* q, size_t* bytes)
{
    const size_t newcap = q->cap ? q->cap * 2 : 1;
    *bytes = newcap * sizeof(datdcell);
    auto* buf = static_cast<datdcell*>(malloc(*bytes));
    if (!buf)
        return false;
    for (size_t k = 0; k < q->count; ++k)
        buf[k] = q->buf[(q->head + k) % q->cap];
    free(q->buf);
    q->buf = buf;
    q->cap = newcap;
    q->head = 0;
    return true;
}

int64_t pophandle(ExeScr& e)
{
    const datdcell c = e.popd();
    return c.isint ? c.i : ExeScr::dbl2i64(c.d);
}

void pushdatum(ExeScr& e, const datdcell& c)
{
    if (c.isint)
        e.pushint(c.i);
    else
        e.pushdbl(c.d);
}

}  // namespace

void ExeScr::queue_exec()
{
    const uint32_t sub = static_cast<uint32_t>(ip->u & 0xFFFFFFFFu);
    ++ip;
    switch (sub) {
    case 0: {  // open
        auto* q = static_cast<queuerec*>(malloc(sizeof(queuerec)));
        if (!q)
            mymallocfail(sizeof(queuerec), queueid);
        *q = queuerec{nullptr, 0, 0, 0};
        {
            std::lock_guard<std::mutex> hold(g_queues.lock);
            g_queues.list.push_back(q);
        }
        pushint(static_cast<int64_t>(reinterpret_cast<uintptr_t>(q)));
        return;
    }
    case 1: {  // close
        const int64_t h = pophandle(*this);
        queuerec* q = nullptr;
        {
            std::lock_guard<std::mutex> hold(g_queues.lock);
            auto it = g_queues.find(h);
            if (it != g_queues.list.end()) {
                q = *it;
                g_queues.list.erase(it);  // keeps the order of the others
            }
        }
        if (q) {
            free(q->buf);
            free(q);
        }
        pushint(q ? 1 : 0);
        return;
    }
    case 2:    // take from the front
    case 3: {  // take from the back
        const int64_t h = pophandle(*this);
        datdcell out{};
        bool got = false;
        {
            std::lock_guard<std::mutex> hold(g_queues.lock);
            auto it = g_queues.find(h);
            if (it != g_queues.list.end() && (*it)->count != 0) {
                queuerec* q = *it;
                if (sub == 2) {
                    out = q->buf[q->head];
                    q->head = (q->head + 1) % q->cap;
                } else {
                    out = q->buf[(q->head + q->count - 1) % q->cap];
                }
                --q->count;
                got = true;
            }
        }
        if (got)
            pushdatum(*this, out);
        else
            pushint(0);
        return;
    }
    case 4: {  // append
        const int64_t h = pophandle(*this);
        const datdcell d = popd();
        int64_t result = 0;
        size_t failed = 0;
        {
            std::lock_guard<std::mutex> hold(g_queues.lock);
            auto it = g_queues.find(h);
            if (it != g_queues.list.end()) {
                queuerec* q = *it;
                size_t bytes = 0;
                if (q->count == q->cap && !growqueue(q, &bytes)) {
                    failed = bytes;
                } else {
                    q->buf[(q->head + q->count) % q->cap] = d;
                    ++q->count;
                    result = 1;
                }
            }
        }
        if (failed)
            mymallocfail(failed, queueid);
        pushint(result);
        return;
    }
    case 5: {  // is empty
        const int64_t h = pophandle(*this);
        int64_t result = 0;
        {
            std::lock_guard<std::mutex> hold(g_queues.lock);
            auto it = g_queues.find(h);
            if (it != g_queues.list.end())
                result = (*it)->count == 0 ? 1 : 0;
        }
        pushint(result);
        return;
    }
    default:
        pushint(0);
        return;
    }
}
