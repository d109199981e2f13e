// The text forms of fused segments (segments.h): strlen, strstr and strcmp
// read as numbers, and joins of texts assigned to a string variable. Each reads its
// texts where they lie (a literal, a variable's text, a number's text written
// on the C stack), so no string datum is pushed, copied or popped. Anything
// out of the common way (an undefined variable, a join longer than the
// buffer, a string datum stack that the cells would have to grow) runs the
// cells, which report or grow as they always do.
#include <cwchar>

#include "runtime/segrules.h"
#include "runtime/shorttext.h"

namespace seg {
namespace {

// Room on dats for the `n` string datums the cells would push.
NUMRULES_INLINE bool textroom(const ExeScr& e, uint32_t n)
{
    return static_cast<uint32_t>((e.dats.base + e.dats.cap) - e.dats.top) >= n;
}

// The text that var2str or pushstrlit_exec would push for a text operand, a
// number's written into `buf` (datsinline + 1 characters). False for an
// undefined variable and for a number too long for buf.
template <int K>
NUMRULES_INLINE bool textof(ExeScr& e, const opnd& o, wchar_t* buf, const wchar_t*& t)
{
    if constexpr (K == kconst) {
        t = e.strlittext(o.i);
        return true;
    } else {
        const varrec* v = varof<K>(e, o.i);
        if (v->state == varstr) {
            t = e.vartext(v);
            return true;
        }
        if (v->state != varnum || e.numtext(v->isint != 0, v->i, v->d, buf) < 0)
            return false;
        t = buf;
        return true;
    }
}

NUMRULES_INLINE bool textany(ExeScr& e, int k, const opnd& o, wchar_t* buf, const wchar_t*& t)
{
    switch (k) {
    case kglobal:
        return textof<kglobal>(e, o, buf, t);
    case klocal:
        return textof<klocal>(e, o, buf, t);
    default:
        return textof<kconst>(e, o, buf, t);
    }
}

template <int K>
bool lengtheval(ExeScr& e, const node& n, datdcell& out)
{
    wchar_t buf[datsinline + 1];
    const wchar_t* t;
    if (!textroom(e, 1) || !textof<K>(e, n.a, buf, t))
        return false;
    out.i = static_cast<int64_t>(shortlen(t));
    out.isint = 1;
    return true;
}

// The texts of a node's operands `a` and `b`, b's read first as its cells
// push it first; false when the cells must run.
template <int AK, int BK>
struct twotexts {
    wchar_t abuf[datsinline + 1], bbuf[datsinline + 1];
    const wchar_t *a, *b;
    NUMRULES_INLINE bool read(ExeScr& e, const node& n)
    {
        return textroom(e, 2) && textof<BK>(e, n.b, bbuf, b) && textof<AK>(e, n.a, abuf, a);
    }
};

// As strstr_exec without a start: `a` the haystack, `b` the needle.
template <int HK, int NK>
bool findeval(ExeScr& e, const node& n, datdcell& out)
{
    twotexts<HK, NK> t;
    if (!t.read(e, n))
        return false;
    // The empty text is found where the search starts.
    const wchar_t* m = n.cell != 0 ? wcspbrk(t.a, t.b) : *t.b == 0 ? t.a : wcsstr(t.a, t.b);
    out.i = m ? m - t.a : -1;
    out.isint = 1;
    return true;
}

// As strcmp_exec without a count: the text pushed last (`a`) against the
// one pushed first, -1, 0 or 1.
template <int AK, int BK>
bool compareeval(ExeScr& e, const node& n, datdcell& out)
{
    twotexts<AK, BK> t;
    if (!t.read(e, n))
        return false;
    const int r = wcscmp(t.a, t.b);
    out.i = r < 0 ? -1 : r > 0 ? 1 : 0;
    out.isint = 1;
    return true;
}

// Longest join made here; a longer one is left to the cells.
constexpr size_t joinmax = 4 * datsinline;

// Characters of `t` up to `room` + 1: more than room means it does not fit.
NUMRULES_INLINE size_t boundedlen(const wchar_t* t, size_t room)
{
    size_t n = 0;
    while (n <= room && t[n])
        ++n;
    return n;
}

template <int TK>
const segment* runjoin(ExeScr& e, const segment& s)
{
    if (!textroom(e, s.sub))
        return e.segbail(s);
    wchar_t out[joinmax + 1];
    size_t len = 0;
    for (int k = 0; k < s.npend; ++k) {
        wchar_t buf[datsinline + 1];
        const wchar_t* t;
        if (!textany(e, s.pendk[k], s.pend[k], buf, t))
            return e.segbail(s);
        const size_t n = boundedlen(t, joinmax - len);
        if (n > joinmax - len)
            return e.segbail(s);
        shortmove(out + len, t, n);
        len += n;
    }
    // Made apart from the target, which may be one of its texts.
    e.assignvartext(varof<TK>(e, s.target.i), out, len);
    return s.next;
}

constexpr evalfn lengthtable[3] = {&lengtheval<kglobal>, &lengtheval<klocal>, &lengtheval<kconst>};
constexpr evalfn findtable[3][3] = {
    {&findeval<kglobal, kglobal>, &findeval<kglobal, klocal>, &findeval<kglobal, kconst>},
    {&findeval<klocal, kglobal>, &findeval<klocal, klocal>, &findeval<klocal, kconst>},
    {&findeval<kconst, kglobal>, &findeval<kconst, klocal>, &findeval<kconst, kconst>},
};

constexpr evalfn comparetable[3][3] = {
    {&compareeval<kglobal, kglobal>, &compareeval<kglobal, klocal>, &compareeval<kglobal, kconst>},
    {&compareeval<klocal, kglobal>, &compareeval<klocal, klocal>, &compareeval<klocal, kconst>},
    {&compareeval<kconst, kglobal>, &compareeval<kconst, klocal>, &compareeval<kconst, kconst>},
};

}  // namespace

evalfn textcompare(int ak, int bk)
{
    return comparetable[ak][bk];
}

evalfn textlength(int k)
{
    return lengthtable[k];
}

evalfn textfind(int hk, int nk)
{
    return findtable[hk][nk];
}

runfn textjoin(int tk)
{
    return tk == klocal ? &runjoin<klocal> : &runjoin<kglobal>;
}

}  // namespace seg
