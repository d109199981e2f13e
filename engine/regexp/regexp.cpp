// The RegExp object: its storage, its release, the subject and the way fatal
// limit errors leave it.
#include "regexp/regexp.h"

#include <cstring>
#include <new>

#include "runtime/exescr.h"

namespace {

// The engine's handler: the script ends in the fatal exit.
void enginefatal(void* ctx, const wchar_t* msg)
{
    static_cast<ExeScr*>(ctx)->myerrexit(L"%s", msg);
}

}  // namespace

RegExp::RegExp(ExeScr& engine) : eng(engine), onfatal(enginefatal), fatalctx(&engine) {}

RegExp::~RegExp()
{
    regexp_release();
}

void RegExp::regexp_release()
{
    release(tokens);
    release(work);
    release(nodes);
    release(subjbuf);
    release(classes);
    release(stack);
    release(seen);
    release(result);
    afterpos = 0;
    // Nothing compiled or matched survives the blocks it lived in.
    progstate = 0;
    subject = mstart = mend = nullptr;
    ncaps = 0;
}

RegExp* RegExp::make(ExeScr& engine)
{
    // A plain block (ids from 9000 are not recorded), then the record the
    // run's end expects for a named object.
    void* p = engine.mymalloc2(sizeof(RegExp), untrackedid);
    engine.allocs.push_back(memrec{p, 0, regexpobjid});
    return new (p) RegExp(engine);
}

void RegExp::destroy(ExeScr& engine, RegExp* rx)
{
    engine.memunreg(rx, regexpobjid);
    delete rx;
}

template <class T, uint32_t N>
void RegExp::grow(rxarray<T, N>& a, uint32_t need)
{
    if (need <= a.cap)
        return;
    uint32_t cap = a.cap;
    while (cap < need)
        cap *= 2;
    T* block = static_cast<T*>(eng.mymalloc2(uint64_t(cap) * sizeof(T), a.id));
    memcpy(static_cast<void*>(block), a.base, size_t(a.count) * sizeof(T));
    if (a.base != a.inl)
        eng.myfree(a.base, a.id);
    a.base = block;
    a.cap = cap;
}

template <class T>
void RegExp::grow(rxheap<T>& a, uint32_t need, uint32_t first)
{
    if (need <= a.cap)
        return;
    uint32_t cap = a.cap ? a.cap : first;
    while (cap < need)
        cap *= 2;
    T* block = static_cast<T*>(eng.mymalloc2(uint64_t(cap) * sizeof(T), a.id));
    if (a.base) {
        memcpy(static_cast<void*>(block), a.base, size_t(a.cap) * sizeof(T));
        eng.myfree(a.base, a.id);
    }
    a.base = block;
    a.cap = cap;
}

template <class T, uint32_t N>
void RegExp::release(rxarray<T, N>& a)
{
    if (a.base != a.inl)
        eng.myfree(a.base, a.id);
    a.base = a.inl;
    a.cap = N;
    a.count = 0;
}

template <class T>
void RegExp::release(rxheap<T>& a)
{
    if (a.base)
        eng.myfree(a.base, a.id);
    a.base = nullptr;
    a.cap = 0;
    a.count = 0;
}

int RegExp::fatal(const wchar_t* msg)
{
    fatalseen = 1;
    onfatal(fatalctx, msg);
    return rxfatal;
}

bool RegExp::logging() const
{
    return eng.logon == 1;
}

void RegExp::setsubject(const wchar_t* text)
{
    const uint32_t len = static_cast<uint32_t>(wcslen(text));
    subjbuf.count = 0;
    grow(subjbuf, len + 1);
    memcpy(subjbuf.base, text, (size_t(len) + 1) * sizeof(wchar_t));
    subjbuf.count = len + 1;
    subject = subjbuf.base;
    subjectlen = len;
    // The old match pointed into the text just overwritten (or freed).
    mstart = mend = nullptr;
    ncaps = 0;
}

// The other files grow and release through these.
template void RegExp::grow(rxarray<uint32_t, 256>&, uint32_t);
template void RegExp::grow(rxarray<rxnode, 256>&, uint32_t);
template void RegExp::grow(rxheap<classrec>&, uint32_t, uint32_t);
template void RegExp::grow(rxheap<wchar_t>&, uint32_t, uint32_t);
template void RegExp::grow(rxheap<RegExp::rxentry>&, uint32_t, uint32_t);
template void RegExp::grow(rxheap<RegExp::rxseen>&, uint32_t, uint32_t);
