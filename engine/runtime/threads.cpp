// Script threads: starting one on a "thread" block of the same file, and
// joining, probing, counting and signalling them.
#include <process.h>

#include <algorithm>
#include <cwchar>

#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "runtime/runlist.h"

namespace {

// The child of a start: runs the block named in the record as a run of its own.
unsigned __stdcall scriptthreadproc(void* arg)
{
    auto* rec = static_cast<threadrec*>(arg);
    ExeScr engine;
    engine.threadmode = 1;
    engine.threadinfo = rec;
    ExeScr* parent = rec->parent;
    engine.threadparent = parent;
    const std::wstring path = parent->scriptpath;
    {
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        runlist.push_back(listedrun{path, runname(path), &engine, parent});
    }
    engine.scriptpath = path;
    engine.args = argbuffs;
    engine.threadblock = rec->name;
    // The parent is inside its run, waiting for the start event: its log is open.
    engine.ancestorlogs = parent->ancestorlogs;
    engine.ancestorlogs.push_back(parent->logpath);
    for (int32_t k = 0; k < rec->argcount; ++k) {
        const threadarg& a = rec->args()[k];
        engine.startargs.push_back(startarg{a.kind, a.i, a.d, a.isint, a.kind == 1 ? L"" : a.text()});
    }
    rec->child = &engine;
    // From here on the record is the parent's alone: it gives it back.
    engine.threadinfo = nullptr;
    SetEvent(rec->startevent);

    engine.runscriptchk();

    // Wakes every joiner: each added its event under the lock while this entry
    // was registered, so it is either set here or the joiner finds us gone.
    std::lock_guard<std::mutex> lock(g_scriptmutex);
    unregister(&engine);
    return 0;
}

// The entry of `value` in the run list, or null; the caller holds the lock.
listedrun* findrun(int64_t value)
{
    for (listedrun& r : runlist)
        if (reinterpret_cast<intptr_t>(r.exe) == value)
            return &r;
    return nullptr;
}

}  // namespace

void ExeScr::wakejoiners()
{
    for (HANDLE ev : joiners)
        SetEvent(ev);
    joiners.clear();
}

ExeScr* ExeScr::joinwait(std::unique_lock<std::mutex>& lock, const std::vector<ExeScr*>& children)
{
    // One event in every child's list: any number of children is one handle.
    HANDLE ev = createwaitevent();
    if (!ev) {
        lock.unlock();
        return nullptr;
    }
    for (ExeScr* c : children)
        c->joiners.push_back(ev);
    lock.unlock();
    pumpwait(1, &ev);
    lock.lock();
    ExeScr* ended = nullptr;
    for (ExeScr* c : children) {
        bool registered = false;
        for (const listedrun& r : runlist)
            registered = registered || r.exe == c;
        if (!registered) {
            if (!ended)
                ended = c;
            continue;
        }
        std::vector<HANDLE>& j = c->joiners;
        j.erase(std::remove(j.begin(), j.end(), ev), j.end());
    }
    lock.unlock();
    CloseHandle(ev);
    return ended;
}

void ExeScr::freethreadrec(threadrec* rec)
{
    for (int32_t k = 0; k < rec->argcount; ++k)
        if (rec->args()[k].heap)
            myfree(rec->args()[k].heap, rec->args()[k].heapid);
    myfree(rec, threadrecid);
}

void ExeScr::threadstart_exec()
{
    const blockrec* block = static_cast<const blockrec*>(ip->p);
    ++ip;
    const int32_t count = block->params.count();
    const size_t size = sizeof(threadrec) + sizeof(threadarg) * static_cast<size_t>(count);
    auto* rec = static_cast<threadrec*>(mymalloc2(size, threadrecid));
    memset(static_cast<void*>(rec), 0, size);
    wcsncpy(rec->name, block->name, symnamemax);
    rec->name[symnamemax] = 0;
    rec->parent = this;
    rec->argcount = count;
    rec->allocid = threadrecid;
    for (int32_t k = 0; k < count; ++k) {
        threadarg& a = rec->args()[k];
        a.kind = block->params.base[k].kind;
        a.cap = datsinline;
        if (a.kind == 1) {
            const datdcell c = popd();
            a.isint = c.isint;
            a.i = c.i;  // the bits of either kind
            continue;
        }
        datscell* s = pops();
        const wchar_t* text = datstext(s);
        const size_t len = wcslen(text);
        if (len <= static_cast<size_t>(datsinline)) {
            wmemcpy(a.inl, text, len + 1);
        } else {
            a.heap = static_cast<wchar_t*>(mymalloc2((len + 1) * sizeof(wchar_t), threadtextid));
            a.heapid = threadtextid;
            a.cap = static_cast<int32_t>(len);
            wmemcpy(a.heap, text, len + 1);
        }
        datsrelease(s);
    }
    rec->startevent = createwaitevent();
    int64_t child = 0;
    if (startscriptthread(scriptthreadproc, rec)) {
        pumpwait(1, &rec->startevent);
        child = reinterpret_cast<intptr_t>(rec->child);
    }
    CloseHandle(rec->startevent);
    freethreadrec(rec);
    pushint(child);
}

void ExeScr::threadctl_exec()
{
    const int64_t op = ip->i;
    ++ip;
    int64_t result = 0;
    switch (op) {
    case 0: {  // join
        const int64_t value = cmdargs::toi64(popd());
        std::unique_lock<std::mutex> lock(g_scriptmutex);
        if (listedrun* r = findrun(value))
            joinwait(lock, {r->exe});
        break;
    }
    case 1: {  // sendkey
        const int64_t value = cmdargs::toi64(popd());
        const int64_t key = cmdargs::toi64(popd());
        HWND wnd = nullptr;
        {
            std::lock_guard<std::mutex> lock(g_scriptmutex);
            if (listedrun* r = findrun(value))
                wnd = r->exe->scriptwnd;
        }
        if (wnd)
            result = SendMessageW(wnd, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
        break;
    }
    case 2: {  // isalive
        const int64_t value = cmdargs::toi64(popd());
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        result = findrun(value) ? 1 : 0;
        break;
    }
    case 3: {  // eachjoin: the first of this run's threads to end
        std::unique_lock<std::mutex> lock(g_scriptmutex);
        std::vector<ExeScr*> children;
        for (const listedrun& r : runlist)
            if (r.parent == this)
                children.push_back(r.exe);
        if (children.empty())
            break;
        result = reinterpret_cast<intptr_t>(joinwait(lock, children));
        break;
    }
    case 4:  // alljoin
        for (;;) {
            std::unique_lock<std::mutex> lock(g_scriptmutex);
            ExeScr* child = nullptr;
            for (const listedrun& r : runlist)
                if (r.parent == this) {
                    child = r.exe;
                    break;
                }
            if (!child)
                break;
            joinwait(lock, {child});
            if (stopflag == 1)
                break;
        }
        break;
    case 5: {  // count
        const ExeScr* key = threadmode == 1 && threadparent ? threadparent : this;
        std::lock_guard<std::mutex> lock(g_scriptmutex);
        for (const listedrun& r : runlist)
            result += r.parent == key ? 1 : 0;
        break;
    }
    case 6:  // switch
        result = SwitchToThread() ? 1 : 0;
        break;
    default:
        break;
    }
    pushint(result);
}
