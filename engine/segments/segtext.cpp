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
#include <array>
#include <cwchar>
#include <utility>

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

// Where the text of a text operand lies: the index of its variable (varat),
// an element's made on first use as arrayindex_run makes it (which may move
// the global table: texts are read only once every operand is located).
template <int K>
NUMRULES_INLINE bool locate(ExeScr& e, const opnd& o, int32_t& index)
{
    if constexpr (K == knode) {
        return o.n->ref(e, *o.n, index);
    } else {
        index = static_cast<int32_t>(o.i);
        return true;
    }
}

// The text that var2str, pushvarstr_exec or pushstrlit_exec would push for
// a located text operand, a number's written into `buf` (datsinline + 1
// characters). False for an undefined variable and for a number too long
// for buf.
template <int K>
NUMRULES_INLINE bool textat(ExeScr& e, const opnd& o, int32_t index, wchar_t* buf, const wchar_t*& t)
{
    if constexpr (K == kconst) {
        t = e.strlittext(o.i);
        return true;
    } else {
        const varrec* v = K == klocal ? e.stackdd.top + index : e.globals.base + index;
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

template <int K>
NUMRULES_INLINE bool textof(ExeScr& e, const opnd& o, wchar_t* buf, const wchar_t*& t)
{
    int32_t index;
    return locate<K>(e, o, index) && textat<K>(e, o, index, buf, t);
}

NUMRULES_INLINE bool textany(ExeScr& e, int k, const opnd& o, wchar_t* buf, const wchar_t*& t)
{
    switch (k) {
    case kglobal:
        return textof<kglobal>(e, o, buf, t);
    case klocal:
        return textof<klocal>(e, o, buf, t);
    case kconst:
        return textof<kconst>(e, o, buf, t);
    default:
        return textof<knode>(e, o, buf, t);
    }
}

// textat with the text's length. A variable's long text is neither copied
// (as var2str copies a local's) nor measured: a loop over a text by strlen
// and getc is linear.
template <int K>
NUMRULES_INLINE bool textlen(ExeScr& e, const opnd& o, int32_t index, wchar_t* buf, const wchar_t*& t, size_t& len)
{
    if constexpr (K != kconst) {
        const varrec* v = varof<K == klocal ? klocal : kglobal>(e, index);
        if (v->state == varstr) {
            varaux& x = e.auxof(v);
            t = ExeScr::textin(v, x);
            len = ExeScr::textlenin(v, x);
            return true;
        }
    }
    if (!textat<K>(e, o, index, buf, t))
        return false;
    len = shortlen(t);
    return true;
}

template <int K>
bool lengtheval(ExeScr& e, const node& n, datdcell& out)
{
    wchar_t buf[datsinline + 1];
    const wchar_t* t;
    int32_t index;
    size_t len;
    if (!textroom(e, static_cast<uint32_t>(n.texts)) || !locate<K>(e, n.a, index) ||
        !textlen<K>(e, n.a, index, buf, t, len))
        return false;
    out.i = static_cast<int64_t>(len);
    out.isint = 1;
    return true;
}

// As getc_exec: the character of text `a` at position `b` (a number), 0
// outside the text; the position at its length reads the terminator.
template <int K>
bool chareval(ExeScr& e, const node& n, datdcell& out)
{
    wchar_t buf[datsinline + 1];
    const wchar_t* t;
    int32_t index;
    size_t len;
    datdcell pos;
    // The text is read last: a position's element made on first use may
    // move the global table.
    if (!textroom(e, static_cast<uint32_t>(n.texts)) || !locate<K>(e, n.a, index) || !fetchany(e, n.kb, n.b, pos) ||
        !textlen<K>(e, n.a, index, buf, t, len))
        return false;
    const int32_t p = cmdargs::toi32(pos);
    out.i = p >= 0 && static_cast<size_t>(p) <= len ? static_cast<uint16_t>(t[p]) : 0;
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
        int32_t ia, ib;
        return textroom(e, static_cast<uint32_t>(n.texts)) && locate<BK>(e, n.b, ib) && locate<AK>(e, n.a, ia) &&
               textat<BK>(e, n.b, ib, bbuf, b) && textat<AK>(e, n.a, ia, abuf, a);
    }
};

// As strstr_exec: `a` the haystack, `b` the needle, searched from the
// start `c` (FROM) or from the first character. A start past the
// haystack's end runs the cells, which log it.
template <int HK, int NK, bool FROM>
bool findeval(ExeScr& e, const node& n, datdcell& out)
{
    wchar_t abuf[datsinline + 1], bbuf[datsinline + 1];
    const wchar_t *a, *b;
    int32_t ia, ib;
    size_t alen = 0;
    datdcell from{};
    if (!textroom(e, static_cast<uint32_t>(n.texts)) || !locate<NK>(e, n.b, ib) || !locate<HK>(e, n.a, ia) ||
        (FROM && !fetchany(e, n.kc, n.c, from)) || !textat<NK>(e, n.b, ib, bbuf, b) ||
        !textlen<HK>(e, n.a, ia, abuf, a, alen))
        return false;
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
    if (!t.read(e, n))
        return false;
    const int r = wcscmp(t.a, t.b);
    out.i = r < 0 ? -1 : r > 0 ? 1 : 0;
    out.isint = 1;
    return true;
}

// As cutstr_exec: the piece of a text from the start `b` to the end `c` (to
// the text's end without one), read in place where the cells copy a local.
template <int K>
bool cutread(ExeScr& e, const node& n, wchar_t* buf, const wchar_t*& t, size_t& count)
{
    const bool hasend = n.hasend != 0;
    int32_t index;
    size_t len;
    datdcell from, to{};
    if (!locate<K>(e, n.a, index) || !fetchany(e, n.kb, n.b, from) || (hasend && !fetchany(e, n.kc, n.c, to)) ||
        !textlen<K>(e, n.a, index, buf, t, len))
        return false;
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
    switch (n.ka) {
    case kglobal:
        return cutread<kglobal>(e, n, buf, t, count);
    case klocal:
        return cutread<klocal>(e, n, buf, t, count);
    case kconst:
        return cutread<kconst>(e, n, buf, t, count);
    default:
        return cutread<knode>(e, n, buf, t, count);
    }
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

template <size_t... I>
constexpr auto lengths(std::index_sequence<I...>)
{
    return std::array<evalfn, sizeof...(I)>{&lengtheval<int(I)>...};
}

template <size_t... I>
constexpr auto chars(std::index_sequence<I...>)
{
    return std::array<evalfn, sizeof...(I)>{&chareval<int(I)>...};
}

template <bool FROM, size_t... I>
constexpr auto finds(std::index_sequence<I...>)
{
    return std::array<evalfn, sizeof...(I)>{&findeval<textgrid::digit(I, 0), textgrid::digit(I, 1), FROM>...};
}

template <size_t... I>
constexpr auto compares(std::index_sequence<I...>)
{
    return std::array<evalfn, sizeof...(I)>{&compareeval<textgrid::digit(I, 0), textgrid::digit(I, 1)>...};
}

constexpr auto lengthtable = lengths(std::make_index_sequence<textkinds>{});
constexpr auto chartable = chars(std::make_index_sequence<textkinds>{});
constexpr auto findtable = finds<false>(std::make_index_sequence<textgrid::size>{});
constexpr auto findfromtable = finds<true>(std::make_index_sequence<textgrid::size>{});
constexpr auto comparetable = compares(std::make_index_sequence<textgrid::size>{});

}  // namespace

evalfn textcompare(int ak, int bk)
{
    return comparetable[textgrid::at(ak, bk)];
}

evalfn textlength(int k)
{
    return lengthtable[static_cast<size_t>(k)];
}

evalfn textchar(int k)
{
    return chartable[static_cast<size_t>(k)];
}

evalfn textfind(int hk, int nk)
{
    return findtable[textgrid::at(hk, nk)];
}

evalfn textfindfrom(int hk, int nk)
{
    return findfromtable[textgrid::at(hk, nk)];
}

runfn textjoin(int tk)
{
    return tk == klocal ? &runjoin<klocal> : tk == knode ? &runjoin<knode> : &runjoin<kglobal>;
}

}  // namespace seg
