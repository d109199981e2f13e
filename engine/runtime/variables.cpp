// Global variables, the local value stack and arrays.
#include <algorithm>
#include <bit>
#include <cwchar>

#include "runtime/exescr.h"
#include "runtime/shorttext.h"

namespace {

// Unused slots always have an inline text of 128 characters and no heap
// text, and no block for a long inline text yet.
void initslots(varrec* from, varrec* to, varaux* aux)
{
    for (varrec* v = from; v < to; ++v, ++aux) {
        v->flags = 0;
        aux->wide = nullptr;
    }
}

void copyname(wchar_t* dst, const wchar_t* src, size_t max)
{
    size_t n = wcsnlen(src, max);
    wmemcpy(dst, src, n);
    dst[n] = 0;
}

}  // namespace

// Gives back a block: a heap block, or a reservation (`reserved` bytes).
static void freeblock(ExeScr& e, void* block, int32_t id, uint64_t reserved)
{
    if (reserved) {
        e.memunreg(block, id);
        VirtualFree(block, 0, MEM_RELEASE);
    } else {
        e.myfree(block, id);
    }
}

// The first `bytes` of a block in reserved address space, usable: `block`'s
// own reservation (`reserved` bytes, 0: none) while it has room, else a new
// one far larger than asked (at least `first` bytes), recorded under `id`,
// into which the caller copies the old block before giving it back.
static void* commitreserved(ExeScr& e, void* block, uint64_t& reserved, uint64_t bytes, uint64_t first, int32_t id)
{
    if (reserved && bytes <= reserved) {
        if (!VirtualAlloc(block, bytes, MEM_COMMIT, PAGE_READWRITE))
            e.mymallocfail(bytes, id);
        for (memrec& r : e.allocs)
            if (r.ptr == block)
                r.size = bytes;
        return block;
    }
    uint64_t reserve = std::max(first, 2 * reserved);
    while (reserve < bytes)
        reserve *= 2;
    void* fresh = VirtualAlloc(nullptr, reserve, MEM_RESERVE, PAGE_READWRITE);
    if (!fresh || !VirtualAlloc(fresh, bytes, MEM_COMMIT, PAGE_READWRITE))
        e.mymallocfail(bytes, id);
    e.allocs.push_back(memrec{fresh, bytes, id, true});
    reserved = reserve;
    return fresh;
}

// Grows table `t` to `newcap` entries in reserved address space: into the
// reservation while it has room, else into a new one far larger than needed,
// the old block copied over once and given back.
template <class T>
static void growreserved(ExeScr& e, tbuf<T>& t, uint64_t& reserved, int32_t newcap)
{
    const uint64_t bytes = sizeof(T) * static_cast<uint64_t>(newcap);
    const int32_t used = t.count();
    const uint64_t had = reserved;
    T* block = static_cast<T*>(
        commitreserved(e, t.base, reserved, bytes, sizeof(T) * ExeScr::globalsreservefirst, 210));
    if (block != t.base) {
        memcpy(static_cast<void*>(block), t.base, sizeof(T) * static_cast<size_t>(t.cap));
        freeblock(e, t.base, t.id, had);
    }
    t.base = block;
    t.id = 210;
    t.cap = newcap;
    t.top = block + used;
}

// Gives back a table that may lie in reserved address space.
template <class T>
static void freereserved(ExeScr& e, tbuf<T>& t, uint64_t& reserved)
{
    if (t.base)
        freeblock(e, t.base, t.id, reserved);
    t = tbuf<T>();
    reserved = 0;
}

void ExeScr::growglobals()
{
    const int32_t newcap = globals.cap == 0 ? 64 : globals.cap * 2;
    if (newcap <= globalsheapedmax) {
        // A table of ordinary size: blocks of the runtime heap, copied as
        // every engine buffer grows.
        growbuf(globals, 64, 210);
        growbuf(globalaux, 64, 210);
        growbuf(globalnames, 64, 210);
        initslots(globals.top, globals.base + globals.cap, globalaux.base + globals.count());
        return;
    }
    // The new slots stay untouched pages (the system gives them zeroed, which
    // is a free slot) until declvar takes one: a table of array elements is
    // mostly its slots, and every page first touched costs.
    growreserved(*this, globals, globalsreserved, newcap);
    growreserved(*this, globalaux, auxreserved, newcap);
    growreserved(*this, globalnames, namesreserved, newcap);
    globalsready = 0;  // the tables may have moved
    auxready = 0;
}

void ExeScr::prefault(void* p, const void* end, uintptr_t& ready)
{
    const auto from = reinterpret_cast<uintptr_t>(p);
    const uintptr_t to = std::min(reinterpret_cast<uintptr_t>(end), from + globalsprefault);
    bringin(p, to - from);
    ready = to;
}

// Takes the next slot of the global table, its pages brought in ahead.
varrec* ExeScr::newglobal()
{
    if (globals.full())
        growglobals();
    varrec* v = globals.top++;
    if (globalsreserved && reinterpret_cast<uintptr_t>(v + 1) > globalsready)
        prefault(v, globals.base + globals.cap, globalsready);
    v->state = varundef;
    return v;
}

int32_t ExeScr::declvar(const wchar_t* name, int32_t mode)
{
    if (globals.full())
        growglobals();
    if (mode != 1) {
        for (varrec* v = globals.base; v < globals.top; ++v)
            if (!(v->flags & varelement) && wcsncmp(globalnames.base[v - globals.base].t, name, varnamemax) == 0)
                return static_cast<int32_t>(v - globals.base);
    }
    varrec* v = newglobal();
    copyname(globalnames.base[v - globals.base].t, name, varnamemax);
    return static_cast<int32_t>(v - globals.base);
}

int32_t ExeScr::declelement()
{
    varrec* v = newglobal();
    v->flags |= varelement;
    return static_cast<int32_t>(v - globals.base);
}

// The array whose slots hold global `index`: an element's name is its array's.
static const wchar_t* elementarray(const ExeScr& e, int32_t index)
{
    struct finder {
        int32_t index;
        bool in(uint32_t leaf, const void* buf, uint32_t count) const
        {
            if (!buf)
                return false;
            if (leaf) {
                const int32_t* s = static_cast<const int32_t*>(buf);
                return std::find(s, s + count, index) != s + count;
            }
            const indexnode* n = static_cast<const indexnode*>(buf);
            for (uint32_t k = 0; k < count; ++k)
                if (in(n[k].leaf, n[k].buf, n[k].count))
                    return true;
            return false;
        }
    };
    const finder f{index};
    for (const arrayrec* a = e.arrays.base; a && a < e.arrays.top; ++a)
        if (f.in(a->leaf, a->buf, a->count))
            return a->name;
    return L"";
}

const wchar_t* ExeScr::varname(const varrec* v) const
{
    if (!isglobal(v))
        return L"";
    if (v->flags & varelement)
        return elementarray(*this, static_cast<int32_t>(v - globals.base));
    return globalnames.base[v - globals.base].t;
}

wchar_t* ExeScr::wideblock(widepool& p, int32_t id)
{
    constexpr size_t block = varinline + 1;
    constexpr size_t perchunk = 256;
    if (p.next == p.end) {
        p.next = static_cast<wchar_t*>(mymalloc2(block * perchunk * sizeof(wchar_t), id));
        p.end = p.next + block * perchunk;
        p.chunks.push_back(p.next);
    }
    wchar_t* b = p.next;
    p.next += block;
    return b;
}

void ExeScr::freewide(widepool& p, int32_t id)
{
    for (void* c : p.chunks)
        myfree(c, id);
    p = widepool();
}

void ExeScr::freevartable()
{
    for (varrec* v = globals.base; v && v < globals.top; ++v)
        dropheap(v);
    freereserved(*this, globals, globalsreserved);
    freereserved(*this, globalaux, auxreserved);
    freereserved(*this, globalnames, namesreserved);
    freewide(globalwide, 210);
}

void ExeScr::settext(varrec* v, const wchar_t* text, size_t len, int32_t id)
{
    if (len > static_cast<size_t>(textcap(v))) {
        dropheap(v);
        takeheap(v, static_cast<wchar_t*>(mymalloc2((len + 1) * sizeof(wchar_t), id)), id, static_cast<int32_t>(len),
                 static_cast<int32_t>(len));
    }
    wchar_t* dst = v->flags & varheaped ? auxof(v).heap : inlineroom(v, len);
    shortmove(dst, text, len);
    dst[len] = 0;
    settextlen(v, len);
}

void ExeScr::pushlocal(double d, int64_t i, const wchar_t* text, uint32_t kind)
{
    if (stackdd.full()) {
        growbuf(stackdd, 32, 310);
        growbuf(stackaux, 32, 310);
        initslots(stackdd.top, stackdd.base + stackdd.cap, stackaux.base + stackdd.count());
    }
    varrec* v = stackdd.top;
    if (kind == varstr) {
        v->state = varstr;
        settext(v, text, wcslen(text), 311);
    } else if (kind == localint) {
        v->state = varnum;
        v->isint = 1;
        v->i = i;
    } else {
        v->state = varnum;
        v->isint = 0;
        v->d = d;
    }
    ++stackdd.top;
}

void ExeScr::clearlocals()
{
    poplocals(stackdd.count());
    freebuf(stackdd);
    freebuf(stackaux);
    freewide(stackwide, 310);
}

int32_t ExeScr::arrayfind(const wchar_t* name)
{
    if (arrays.full())
        growbuf(arrays, 10, 1380);
    for (arrayrec* a = arrays.base; a < arrays.top; ++a)
        if (wcsncmp(a->name, name, arraynamemax) == 0)
            return static_cast<int32_t>(a - arrays.base);
    arrayrec* a = arrays.top++;
    copyname(a->name, name, arraynamemax);
    a->leaf = 0;
    a->reserve = 0;
    a->buf = nullptr;
    a->count = 0;
    a->id = 0;
    a->dims = 0;
    return static_cast<int32_t>(a - arrays.base);
}

namespace {

// A level of an array: the record's own fields or an index node's.
struct level {
    uint32_t* leaf;
    uint32_t* reserve;
    void** buf;
    uint32_t* count;
    int32_t* id;
};

// The bytes of address space a level's `reserve` (a log2) stands for.
uint64_t reservedbytes(uint32_t reserve)
{
    return reserve ? uint64_t(1) << reserve : 0;
}

}  // namespace

// Grows one level of an array so that `index` is inside it. Sizes are computed
// in unsigned 32-bit arithmetic; an overflow (every negative index) is fatal.
static void growlevel(ExeScr& e, level lv, uint32_t index, bool slots)
{
    if (index < *lv.count)
        return;
    const uint32_t esize = slots ? sizeof(int32_t) : sizeof(indexnode);
    uint32_t newcount = *lv.count ? *lv.count : 64;
    while (newcount <= index) {
        if (newcount > 0x7FFFFFFFu)
            e.myerrexit(L"array table size overflow error..");
        newcount *= 2;
    }
    if (newcount > 0xFFFFFFFFu / esize)
        e.myerrexit(L"array table size overflow error..");
    const int32_t id = slots ? slotbufid : nodebufid;
    const uint64_t bytes = static_cast<uint64_t>(newcount) * esize;
    const uint32_t old = *lv.count;
    const uint64_t oldbytes = static_cast<uint64_t>(old) * esize;
    void* block;
    if (bytes >= ExeScr::levelreservemin) {
        // A large level grows in place in reserved address space: a copy into
        // a fresh block would touch twice the pages, each at a cost.
        uint64_t reserved = reservedbytes(*lv.reserve);
        const uint64_t had = reserved;
        block = commitreserved(e, *lv.buf, reserved, bytes, ExeScr::levelreservefirst, id);
        if (block != *lv.buf) {
            *lv.reserve = static_cast<uint32_t>(std::countr_zero(reserved));
            if (*lv.buf) {
                memcpy(block, *lv.buf, static_cast<size_t>(oldbytes));
                freeblock(e, *lv.buf, *lv.id, had);
            }
        }
        ExeScr::bringin(static_cast<char*>(block) + oldbytes, static_cast<size_t>(bytes - oldbytes));
    } else {
        block = e.mymalloc2(bytes, id);
        if (bytes >= ExeScr::bringinmin)
            ExeScr::bringin(block, static_cast<size_t>(bytes));  // every byte is written below
        if (*lv.buf) {
            memcpy(block, *lv.buf, static_cast<size_t>(oldbytes));
            e.myfree(*lv.buf, *lv.id);
        }
    }
    if (slots) {
        int32_t* s = static_cast<int32_t*>(block);
        for (uint32_t k = old; k < newcount; ++k)
            s[k] = -1;
    } else {
        indexnode* nd = static_cast<indexnode*>(block);
        for (uint32_t k = old; k < newcount; ++k)
            nd[k] = indexnode{0, 0, nullptr, 0, 0};
    }
    *lv.leaf = slots ? 1 : 0;
    *lv.buf = block;
    *lv.count = newcount;
    *lv.id = id;
}

int32_t ExeScr::arraytable(int32_t a, int32_t n, uint32_t i1, uint32_t i2, uint32_t i3)
{
    arrayrec* rec = arrays.base + a;
    if (rec->dims == 0)
        rec->dims = n;
    else if (rec->dims != n)
        myerrexit(L"%s:%s", L"array index count mismatch error.", rec->name);

    const uint32_t idx[3] = {i1, i2, i3};
    level lv{&rec->leaf, &rec->reserve, &rec->buf, &rec->count, &rec->id};
    for (int32_t depth = 1; depth < n; ++depth) {
        growlevel(*this, lv, idx[depth - 1], false);
        indexnode* node = static_cast<indexnode*>(*lv.buf) + idx[depth - 1];
        lv = level{&node->leaf, &node->reserve, &node->buf, &node->count, &node->id};
    }
    const uint32_t last = idx[n - 1];
    growlevel(*this, lv, last, true);
    return slotglobal(static_cast<int32_t*>(*lv.buf) + last);
}

void ExeScr::arrayindex_run()
{
    const int64_t word = ip->i;
    ++ip;
    const int32_t n = static_cast<int16_t>((word >> 16) & 0xFFFF);
    const int32_t a = static_cast<int32_t>(word >> 32);
    uint32_t idx[3] = {0, 0, 0};
    const int32_t count = (n == 2 || n == 3) ? n : 1;
    for (int32_t k = count - 1; k >= 0; --k) {
        if (datd.empty())
            datdunderflow();
        const datdcell c = *--datd.top;
        idx[k] = static_cast<uint32_t>(c.isint ? c.i : dbl2i64(c.d));
    }
    pushint(arraytable(a, count, idx[0], idx[1], idx[2]));
}

void ExeScr::freenametbls()
{
    for (arrayrec* a = arrays.base; a && a < arrays.top; ++a) {
        if (!a->buf)
            continue;
        if (!a->leaf) {
            indexnode* first = static_cast<indexnode*>(a->buf);
            for (uint32_t k = 0; k < a->count; ++k) {
                indexnode& n1 = first[k];
                if (!n1.buf)
                    continue;
                if (!n1.leaf) {
                    indexnode* second = static_cast<indexnode*>(n1.buf);
                    for (uint32_t m = 0; m < n1.count; ++m)
                        if (second[m].buf)
                            freeblock(*this, second[m].buf, second[m].id, reservedbytes(second[m].reserve));
                }
                freeblock(*this, n1.buf, n1.id, reservedbytes(n1.reserve));
            }
        }
        freeblock(*this, a->buf, a->id, reservedbytes(a->reserve));
    }
    freebuf(arrays);
}
