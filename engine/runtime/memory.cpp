// Tracked allocator, offset stacks, the leak report and the end-of-run releases.
#include <cstdlib>
#include <cstring>

#include "runtime/exescr.h"

void* ExeScr::mymalloc2(uint64_t size, int32_t id)
{
    void* p = refusefrom && size >= refusefrom ? nullptr : malloc(size);
    if (!p)
        mymallocfail(size, id);
    if (id >= untrackedid)
        return p;
    allocs.push_back(memrec{p, size, id});
    return p;
}

void ExeScr::myfree(void* p, int32_t id)
{
    if (id < untrackedid)
        memunreg(p, id);
    free(p);
}

uint64_t ExeScr::blocksize(const void* p) const
{
    for (auto it = allocs.rbegin(); it != allocs.rend(); ++it)
        if (it->ptr == p)
            return it->size;
    return 0;
}

void ExeScr::memunreg(void* p, int32_t id)
{
    for (auto it = allocs.begin(); it != allocs.end(); ++it) {
        if (it->ptr != p)
            continue;
        if (it->id != id)
            myerrexit(L"%s ptr:%lx id:%d reqid:%d", L"internal free function error.",
                      static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)), it->id, id);
        allocs.erase(it);  // keeps the order of the records after it
        return;
    }
    myerrexit(L"%s ptr:%lx:id:%d", L"internal free function error.",
              static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)), id);
}

void ExeScr::mymallocfail(uint64_t size, int32_t id)
{
    myerrexit(L"%s in mymalloc2: ptr:%lx size:%d id:%d", L"malloc failure", 0UL,
              static_cast<int>(size), id);
}

void ExeScr::mypush(int32_t value)
{
    if (offsets.full())
        growbuf(offsets, 16, 460);
    *offsets.top++ = value;
}

int32_t ExeScr::mypop()
{
    if (offsets.empty())
        myerrexit(L"mypush stack underflow");
    return *--offsets.top;
}

int32_t ExeScr::mypeek(int32_t n)
{
    if (n < 1 || offsets.count() < n)
        myerrexit(L"mypush stack underflow");
    return offsets.top[-n];
}

void ExeScr::mypushdrop(int32_t n)
{
    if (offsets.count() < n)
        myerrexit(L"mypush stack underflow");
    if (n > 0)
        offsets.top -= n;
}

void ExeScr::mypush2(int32_t value)
{
    if (offsets2.full())
        growbuf(offsets2, 16, 461);
    *offsets2.top++ = value;
}

int32_t ExeScr::mypop2()
{
    if (offsets2.empty())
        myerrexit(L"mypush2 stack underflow");
    return *--offsets2.top;
}

void ExeScr::memleakreport()
{
    if (allocs.size() <= leakbaseline)
        return;
    int written = 0;
    for (const memrec& r : allocs) {
        if (r.id == 480)  // a script thread's start record belongs to its parent
            continue;
        wchar_t line[64];
        _snwprintf(line, 64, L"%d:%lx:%d\r\n", r.id,
                   static_cast<unsigned long>(reinterpret_cast<uintptr_t>(r.ptr)),
                   static_cast<int>(r.size));
        line[63] = 0;
        writeerrorlog(line);
        ++written;
    }
    if (written)
        myerrexit(L"Unknown memory leak error.");
}

void ExeScr::freecode()
{
    if (code)
        myfree(code, codeid);
    code = nullptr;
    codeend = nullptr;
    codecap = 0;
}

void ExeScr::freedatd() { freebuf(datd); }

// Heap texts of datums still on the stack are not visited.
void ExeScr::freedats() { freebuf(dats); }

void ExeScr::freemypush() { freebuf(offsets); }

void ExeScr::freemypush2() { freebuf(offsets2); }

void ExeScr::bringin(void* p, size_t bytes)
{
    if (VirtualLock(p, bytes))
        VirtualUnlock(p, bytes);
}
