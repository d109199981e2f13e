// The text forms of segments (segments.h): strlen, getc, strstr and
// strcmp read as numbers, and joins of texts and pieces of texts (cutstr)
// assigned to a string variable or an element (appended in place when the
// first text is the target). Each reads its texts where they lie (a literal,
// a variable's or an element's text, a number's text written on the C
// stack), so no string datum is pushed, copied or popped. Anything out of
// the common way (an undefined variable, a join longer than the buffer, a
// string datum stack that the cells would have to grow) runs the cells,
// which report or grow as they always do.
#include <algorithm>
#include <cwchar>
#include <iterator>

#include "runtime/cmdargs.h"
#include "segments/segrules.h"
#include "runtime/shorttext.h"

namespace seg {
namespace {

// Room on dats for the `n` string datums the cells would push.
NUMRULES_INLINE bool textroom(const ExeScr& e, uint32_t n)
{
    return stackroom(e.dats, 0, sizeof(datscell) * n);
}

// A text operand (what var2str, pushvarstr_exec or pushstrlit_exec would
// push) read in two steps. `locate` does what its cells do where they push
// it: it finds its variable, makes an element used for the first time (as
// arrayindex_run makes it), and fails where they would fail (an undefined
// variable) or the cells must run (a number's text too long for `buf`); a
// number's text is written into `buf` (datsinline + 1 characters) there.
// `text` then gives the text, once every operand of the form is located: an
// element made after it may move the global table, and with it the text.
template <int K>
struct textarg {
    wchar_t* buf;
    int32_t index = 0;    // the variable's or the element's record
    bool number = false;  // its text is in buf

    explicit textarg(wchar_t* b) : buf(b) {}
    NUMRULES_INLINE const varrec* var(const ExeScr& e) const
    {
        return K == klocal ? e.stackdd.top + index : e.globals.base + index;
    }
    NUMRULES_INLINE bool locate(ExeScr& e, const opnd& o)
    {
        if constexpr (K == kconst) {
            return true;
        } else {
            if constexpr (K == knode) {
                if (!o.n->ref(e, *o.n, index))
                    return false;
            } else {
                static_assert(K == kglobal || K == klocal, "a text operand's kinds");
                index = static_cast<int32_t>(o.i);
            }
            const varrec* v = var(e);
            if (v->state == varstr)
                return true;
            number = true;
            return v->state == varnum && e.numtext(v->isint != 0, v->i, v->d, buf) >= 0;
        }
    }
    NUMRULES_INLINE const wchar_t* text(ExeScr& e, const opnd& o) const
    {
        if constexpr (K == kconst)
            return e.strlittext(o.i);
        else
            return number ? buf : e.vartext(var(e));
    }
    // The text and its length. A variable's long text is neither copied (as
    // var2str copies a local's) nor measured: a loop over a text by strlen
    // and getc is linear.
    NUMRULES_INLINE const wchar_t* text(ExeScr& e, const opnd& o, size_t& len) const
    {
        if constexpr (K != kconst) {
            if (!number) {
                const varrec* v = var(e);
                varaux& x = e.auxof(v);
                len = ExeScr::textlenin(v, x);
                return ExeScr::textin(v, x);
            }
        }
        const wchar_t* t = text(e, o);
        len = shortlen(t);
        return t;
    }
};

// The texts of a node's operands `a` and `b`, located in their cells'
// order: b, pushed first, then a.
template <int AK, int BK>
struct twotexts {
    wchar_t abuf[datsinline + 1], bbuf[datsinline + 1];
    textarg<AK> a{abuf};
    textarg<BK> b{bbuf};
    NUMRULES_INLINE bool locate(ExeScr& e, const node& n) { return b.locate(e, n.b) && a.locate(e, n.a); }
};

template <int K>
bool lengtheval(ExeScr& e, const node& n, datdcell& out)
{
    wchar_t buf[datsinline + 1];
    textarg<K> a(buf);
    size_t len;
    if (!textroom(e, static_cast<uint32_t>(n.texts)) || !a.locate(e, n.a))
        return false;
    a.text(e, n.a, len);
    out.i = static_cast<int64_t>(len);
    out.isint = 1;
    return true;
}

// As getc_exec: the character of text `a` at position `b` (a number,
// pushed before the text), 0 outside the text; the position at its length
// reads the terminator.
template <int K>
bool chareval(ExeScr& e, const node& n, datdcell& out)
{
    wchar_t buf[datsinline + 1];
    textarg<K> a(buf);
    size_t len;
    datdcell pos;
    if (!textroom(e, static_cast<uint32_t>(n.texts)) || !fetchany(e, n.kb, n.b, pos) || !a.locate(e, n.a))
        return false;
    const wchar_t* t = a.text(e, n.a, len);
    const int32_t p = cmdargs::toi32(pos);
    out.i = p >= 0 && static_cast<size_t>(p) <= len ? static_cast<uint16_t>(t[p]) : 0;
    out.isint = 1;
    return true;
}

// As strstr_exec: `a` the haystack, `b` the needle, searched from the
// start `c` (FROM, pushed before both) or from the first character. A start
// past the haystack's end runs the cells, which log it.
template <int HK, int NK, bool FROM>
bool findeval(ExeScr& e, const node& n, datdcell& out)
{
    twotexts<HK, NK> t;
    size_t alen;
    datdcell from{};
    if (!textroom(e, static_cast<uint32_t>(n.texts)) || (FROM && !fetchany(e, n.kc, n.c, from)) || !t.locate(e, n))
        return false;
    const wchar_t* b = t.b.text(e, n.b);
    const wchar_t* a = t.a.text(e, n.a, alen);
    uint32_t start = 0;
    if constexpr (FROM) {
        start = static_cast<uint32_t>(cmdargs::toi64(from));  // a negative start is a huge one, as in the cell
        if (start > alen)
            return false;
    }
    const wchar_t* m = findtext(a + start, b, n.pbrk != 0);
    out.i = m ? m - a : -1;
    out.isint = 1;
    return true;
}

// As strcmp_exec without a count: the text pushed last (`a`) against the
// one pushed first, -1, 0 or 1.
template <int AK, int BK>
bool compareeval(ExeScr& e, const node& n, datdcell& out)
{
    twotexts<AK, BK> t;
    if (!textroom(e, static_cast<uint32_t>(n.texts)) || !t.locate(e, n))
        return false;
    const int r = wcscmp(t.a.text(e, n.a), t.b.text(e, n.b));
    out.i = r < 0 ? -1 : r > 0 ? 1 : 0;
    out.isint = 1;
    return true;
}

// A join's text operand of kind k, located and read at once: a join copies
// each text before it locates the next.
NUMRULES_INLINE bool textany(ExeScr& e, int k, const opnd& o, wchar_t* buf, const wchar_t*& t)
{
    return withkind(textkindlist{}, k, [&](auto kk) {
        textarg<decltype(kk)::value> x(buf);
        if (!x.locate(e, o))
            return false;
        t = x.text(e, o);
        return true;
    });
}

// As cutstr_exec: the piece of a text from the start `b` to the end `c` (to
// the text's end without one), read in place where the cells copy a local.
// The cells push the end, then the start, then the text.
template <int K>
bool cutread(ExeScr& e, const node& n, wchar_t* buf, const wchar_t*& t, size_t& count)
{
    const bool hasend = n.hasend != 0;
    textarg<K> a(buf);
    size_t len;
    datdcell from, to{};
    if ((hasend && !fetchany(e, n.kc, n.c, to)) || !fetchany(e, n.kb, n.b, from) || !a.locate(e, n.a))
        return false;
    t = a.text(e, n.a, len);
    // A start before the text counts from its first character.
    const int32_t s = std::max(cmdargs::toi32(from), int32_t{0});
    const int32_t end = hasend ? cmdargs::toi32(to) : 0;
    count = 0;
    if (len != 0 && static_cast<size_t>(s) < len && !(hasend && s >= end)) {
        const size_t stop = hasend && static_cast<size_t>(end) < len ? static_cast<size_t>(end) : len;
        t += s;
        count = stop - static_cast<size_t>(s);
    }
    return true;
}

NUMRULES_INLINE bool cutany(ExeScr& e, const node& n, wchar_t* buf, const wchar_t*& t, size_t& count)
{
    return withkind(textkindlist{}, n.ka, [&](auto kk) { return cutread<decltype(kk)::value>(e, n, buf, t, count); });
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
    if (!textroom(e, s.texts))
        return e.segbail(s);
    // A join whose first text is its own target, a text already, appends the
    // others to it in place: built up in a loop, the text grows in linear
    // time, and past the longest join made here.
    bool append = false;
    if constexpr (TK != knode)
        append = s.npend > 0 && s.pendk[0] == TK && s.pend[0].i == s.target.i &&
                 varof<TK>(e, s.target.i)->state == varstr;
    wchar_t out[joinmax + 1];
    const wchar_t* joined = out;
    size_t len = 0;
    for (int k = append ? 1 : 0; k < s.npend; ++k) {
        wchar_t buf[datsinline + 1];
        const wchar_t* t;
        size_t n;
        if (s.pendk[k] == kcut) {
            if (!cutany(e, *s.pend[k].n, buf, t, n))
                return e.segbail(s);
        } else {
            if (!textany(e, s.pendk[k], s.pend[k], buf, t))
                return e.segbail(s);
            n = boundedlen(t, joinmax - len);
        }
        if (n > joinmax - len)
            return e.segbail(s);
        if (append && s.npend == 2 && t != buf) {
            // One text appended: taken from where it lies (appendvartext
            // allows its own text), as no operand is located after it.
            joined = t;
            len = n;
            break;
        }
        shortmove(out + len, t, n);
        len += n;
    }
    // Made apart from the target, which may be one of its texts. An element
    // target is located last, as its cells come last (and an element made
    // above may have moved the table).
    varrec* v;
    if (!targetof<TK>(e, s, v))
        return e.segbail(s);
    popcells(e, s);
    // The store may take a block, and fail for want of memory: its message
    // names this statement's line, which ip must give (the run of segments
    // left it where the run was entered or last heard the window queue).
    e.ip = e.code + s.cell + 1;
    if (append)
        e.appendvartext(v, joined, len);
    else
        e.assignvartext(v, out, len);
    return nextof(s);
}

using textgrid = grid<textkinds, textkinds>;  // the two texts' kinds
using onetext = grid<textkinds>;

constexpr auto lengthtable = maketable<onetext>(&evalfails, []<int K>() -> evalfn { return &lengtheval<K>; });
constexpr auto chartable = maketable<onetext>(&evalfails, []<int K>() -> evalfn { return &chareval<K>; });
constexpr auto findtable =
    maketable<textgrid>(&evalfails, []<int H, int N>() -> evalfn { return &findeval<H, N, false>; });
constexpr auto findfromtable =
    maketable<textgrid>(&evalfails, []<int H, int N>() -> evalfn { return &findeval<H, N, true>; });
constexpr auto comparetable =
    maketable<textgrid>(&evalfails, []<int A, int B>() -> evalfn { return &compareeval<A, B>; });
// The targets of a join, by their row.
constexpr int jointargets[] = {kglobal, klocal, knode};
constexpr auto jointable = maketable<grid<static_cast<int>(std::size(jointargets))>>(
    &runfails, []<int T>() -> runfn { return &runjoin<jointargets[T]>; });

}  // namespace

evalfn textcompare(int ak, int bk)
{
    return comparetable(ak, bk);
}

evalfn textlength(int k)
{
    return lengthtable(k);
}

evalfn textchar(int k)
{
    return chartable(k);
}

evalfn textfind(int hk, int nk)
{
    return findtable(hk, nk);
}

evalfn textfindfrom(int hk, int nk)
{
    return findfromtable(hk, nk);
}

runfn textjoin(int tk)
{
    return jointable(rowin(jointargets, tk));
}

}  // namespace seg
