// String opcodes, the string-literal pools, and the runtimes of "strlen",
// "getc", "setc", "cutstr", "def" and "undef".
#include <climits>
#include <cwchar>

#include "runtime/exescr.h"
#include "runtime/shorttext.h"

namespace {

// Heap ids of string datums made here.
constexpr int32_t assignid = 219;
constexpr int32_t concatid = 218;
constexpr int32_t literalid = 227;
constexpr int32_t cutstrid = 2100;

// Positions and character codes are 32-bit: an integer's low 32 bits, a
// double truncated toward zero (out of range gives the smallest integer).
int32_t popi32(ExeScr& e)
{
    const datdcell c = e.popd();
    if (c.isint)
        return static_cast<int32_t>(c.i);
    if (!(c.d > -2147483649.0 && c.d < 2147483648.0))
        return INT32_MIN;
    return static_cast<int32_t>(c.d);
}

// A variable index is taken raw, whatever its tag.
int32_t popindex(ExeScr& e)
{
    return static_cast<int32_t>(e.popd().i);
}

// Pushes a datum that takes over a heap text of `len` characters.
void pushheap(ExeScr& e, wchar_t* heap, size_t len, int32_t id)
{
    datscell* c = e.pushs();
    c->heap = heap;
    c->heapid = id;
    c->text = heap;
    c->cap = static_cast<int32_t>(len);
}

// Pushes a text of at most 64 characters inline. `text` must not lie in the
// slot being pushed: callers copy popped datums off the stack first.
void pushinline(ExeScr& e, const wchar_t* text, size_t len)
{
    datscell* c = e.pushs();
    shortmove(c->inl, text, len);
    c->inl[len] = 0;
}

bool isdigit2(const wchar_t* s)
{
    return s[0] >= L'0' && s[0] <= L'9' && s[1] >= L'0' && s[1] <= L'9';
}

}  // namespace

// ---- assignment and concatenation

// Stores the text of datum `c` into variable `index`.
static void assigntext(ExeScr& e, int32_t index, const datscell* c)
{
    e.assignvartext(e.varat(index), e.datstext(c), e.datstextlen(c));
}

void ExeScr::assignvartext(varrec* v, const wchar_t* text, size_t len)
{
    settext(v, text, len, assignid);
    v->state = varstr;
}

void ExeScr::strassign_exec()
{
    const int64_t word = ip->i;
    ++ip;
    const bool noresult = (word & 0xFFFF) != 0;
    const int32_t index = static_cast<int32_t>(word >> 32);
    datscell* c = pops();
    if (noresult && c->heap && !c->isvar) {
        // The datum's own buffer becomes the variable's: no copy of a text
        // that is dropped right after (s = s "x" in a loop).
        varrec* v = varat(index);
        if (v->flags & varheaped) {
            const varaux& x = auxof(v);
            recycle(x.heap, x.heapid);
        }
        takeheap(v, c->heap, c->heapid, c->cap, -1);
        v->state = varstr;
        c->heap = nullptr;
        c->text = nullptr;
        return;
    }
    assigntext(*this, index, c);
    if (noresult)
        datsrelease(c);
    else
        ++dats.top;  // the popped datum goes back as it was
}

void ExeScr::strassignx_exec()
{
    const int32_t index = popindex(*this);
    datscell* c = pops();
    assigntext(*this, index, c);
    ++dats.top;
}

void ExeScr::appendvartext(varrec* v, const wchar_t* add, size_t n)
{
    varaux& x = auxof(v);  // (no step below moves the record or its varaux)
    wchar_t* text = textin(v, x);
    const size_t len = textlenin(v, x);
    const size_t total = len + n;
    if (v->flags & varheaped ? total > static_cast<size_t>(x.cap) : total > static_cast<size_t>(varinline)) {
        // Doubling keeps a text built up piece by piece linear in its length.
        const size_t cap = total < 2 * len ? 2 * len : total;
        auto* block = static_cast<wchar_t*>(mymalloc2((cap + 1) * sizeof(wchar_t), concatid));
        if ((cap + 1) * sizeof(wchar_t) >= bringinmin)
            bringin(block, (cap + 1) * sizeof(wchar_t));  // the appends that follow fill it
        wmemcpy(block, text, len);
        wmemcpy(block + len, add, n);  // before the old block goes: `add` may lie in it
        dropheap(v);
        takeheap(v, block, concatid, static_cast<int32_t>(cap), static_cast<int32_t>(total));
        text = block;
    } else if (v->flags & varheaped || (total <= static_cast<size_t>(varshort) && !(v->flags & varwide))) {
        shortmove(text + len, add, n);  // in place: the heap block, or the short slot
    } else {
        // An inline text may move from the short slot to its long block.
        wchar_t* to = inlineroom(v, total);
        shortmove(to + len, add, n);
        if (to != text)
            wmemcpy(to, text, len);
        text = to;
    }
    text[total] = 0;
    x.len = static_cast<int32_t>(total);
}

void ExeScr::recycle(wchar_t* block, int32_t id)
{
    const size_t chars = static_cast<size_t>(blocksize(block) / sizeof(wchar_t));
    if (sparetext && sparechars >= chars) {
        myfree(block, id);
        return;
    }
    if (sparetext)
        myfree(sparetext, spareid);
    sparetext = block;
    spareid = id;
    sparechars = chars;
}

void ExeScr::freespare()
{
    if (sparetext)
        myfree(sparetext, spareid);
    sparetext = nullptr;
}

void ExeScr::strconcat()
{
    if (dats.count() >= 2) {
        // A left datum holding its own inline text takes the right one in
        // place when the whole fits there: no datum is copied or pushed anew.
        datscell* lc = dats.top - 2;
        datscell* rc = dats.top - 1;
        if (!lc->isvar && !lc->text) {
            const wchar_t* rt = datstext(rc);
            const size_t ln = shortlen(lc->inl), rn = datstextlen(rc);
            if (ln + rn <= static_cast<size_t>(datsinline)) {
                shortmove(lc->inl + ln, rt, rn);  // rt never lies in lc's slot
                lc->inl[ln + rn] = 0;
                datsrelease(rc);
                --dats.top;
                return;
            }
        }
    }
    // Copies: the result is pushed into the slot where l lay.
    datscell r = *pops();
    datscell l = *pops();
    const wchar_t* lt = datstext(&l);
    const wchar_t* rt = datstext(&r);
    const size_t ln = datstextlen(&l), rn = datstextlen(&r);
    const size_t len = ln + rn;
    if (len > static_cast<size_t>(datsinline)) {
        wchar_t* heap;
        int32_t id = concatid;
        if (sparetext && sparechars >= len + 1) {
            heap = sparetext;
            id = spareid;
            sparetext = nullptr;
        } else {
            // Room to grow: a text built up piece by piece then moves between
            // two blocks instead of taking a new one each time.
            const size_t chars = len + 1 + (len + 1) / 2;
            heap = static_cast<wchar_t*>(mymalloc2(chars * sizeof(wchar_t), concatid));
        }
        wmemcpy(heap, lt, ln);
        wmemcpy(heap + ln, rt, rn);
        heap[len] = 0;
        datsrelease(&r);
        if (l.heap && !l.isvar) {
            recycle(l.heap, l.heapid);
            l.heap = nullptr;
        }
        pushheap(*this, heap, len, id);
        return;
    }
    wchar_t buf[datsinline + 1];
    wmemcpy(buf, lt, ln);
    wmemcpy(buf + ln, rt, rn);
    datsrelease(&r);
    datsrelease(&l);
    pushinline(*this, buf, len);
}

// ---- literal pools

int64_t ExeScr::strlitadd(const wchar_t* text, size_t len)
{
    if (len <= 32) {
        tbuf<strlit33>& p = strpools.p0;
        for (strlit33* s = p.base; s && s < p.top; ++s)
            if (wcsncmp(s->text, text, len) == 0 && s->text[len] == 0)
                return strlitref(0, static_cast<uint32_t>(s - p.base));
        if (p.full())
            growbuf(p, strpoolfirst, strpool0id);
        strlit33* s = p.top++;
        wmemcpy(s->text, text, len);
        s->text[len] = 0;
        return strlitref(0, static_cast<uint32_t>(s - p.base));
    }
    if (len <= static_cast<size_t>(datsinline)) {
        tbuf<strlit65>& p = strpools.p1;
        if (p.full())
            growbuf(p, strpoolfirst, strpool1id);
        strlit65* s = p.top++;
        wmemcpy(s->text, text, len);
        s->text[len] = 0;
        return strlitref(1, static_cast<uint32_t>(s - p.base));
    }
    tbuf<strlitlong>& p = strpools.p2;
    if (p.full())
        growbuf(p, strpoolfirst, strpool2id);
    strlitlong* s = p.top++;
    s->heap = nullptr;
    s->heapid = 0;
    s->cap = strlitinline;
    wchar_t* dst = s->inl;
    if (len > static_cast<size_t>(strlitinline)) {
        s->heap = static_cast<wchar_t*>(mymalloc2((len + 1) * sizeof(wchar_t), strpool2id));
        s->heapid = strpool2id;
        s->cap = static_cast<int32_t>(len);
        dst = s->heap;
    }
    wmemcpy(dst, text, len);
    dst[len] = 0;
    return strlitref(2, static_cast<uint32_t>(s - p.base));
}

const wchar_t* ExeScr::strlittext(int64_t ref)
{
    const uint32_t index = strlitindex(ref);
    switch (strlitpool(ref)) {
    case 0:
        return strpools.p0.base[index].text;
    case 1:
        return strpools.p1.base[index].text;
    case 2: {
        const strlitlong& s = strpools.p2.base[index];
        return s.heap ? s.heap : s.inl;
    }
    default:
        return L"";
    }
}

void ExeScr::freestrtbls()
{
    freebuf(strpools.p0);
    freebuf(strpools.p1);
    for (strlitlong* s = strpools.p2.base; s && s < strpools.p2.top; ++s)
        if (s->heap)
            myfree(s->heap, s->heapid);
    freebuf(strpools.p2);
}

void ExeScr::pushstrlit_exec()
{
    const int64_t ref = ip->i;
    ++ip;
    const uint32_t pool = strlitpool(ref);
    if (pool > 2) {
        pushs();  // the empty string
        return;
    }
    const wchar_t* text = strlittext(ref);
    if (pool < 2) {
        // Pools 0 and 1 hold at most 64 characters: the text fits inline,
        // copied with its terminator in one pass.
        wchar_t* to = pushs()->inl;
        while ((*to++ = *text++) != 0) {
        }
        return;
    }
    const size_t len = wcslen(text);
    if (len <= static_cast<size_t>(datsinline)) {
        pushinline(*this, text, len);
        return;
    }
    pushstrtext(text, len, literalid);
}

// ---- log output

void ExeScr::printstr_exec()
{
    datscell* c = pops();
    if (logon == 1 && (logsupfile == 0 || logsupwin == 0))
        mylogmsg(L"\t%s\n", datstext(c));
    datsrelease(c);
}

void ExeScr::printraw_exec()
{
    datscell* c = pops();
    logforce = 1;
    mylogmsg(L"%s", datstext(c));
    logforce = 0;
    datsrelease(c);
}

// ---- small value commands

void ExeScr::strlen_exec()
{
    datscell* c = pops();
    const size_t len = datstextlen(c);
    datsrelease(c);
    pushint(static_cast<int64_t>(len));
}

void ExeScr::getc_exec()
{
    const int32_t p = popi32(*this);
    datscell* c = pops();
    const wchar_t* text = datstext(c);
    const size_t len = datstextlen(c);
    int64_t code = 0;
    if (p >= 0 && static_cast<size_t>(p) <= len)
        code = static_cast<uint16_t>(text[p]);
    datsrelease(c);
    pushint(code);
}

void ExeScr::setc_exec()
{
    const int32_t index = popindex(*this);
    const int32_t p = popi32(*this);
    const int32_t code = popi32(*this);
    varrec* v = varat(index);
    if (v->state != varstr)
        myerrexit(L"%s:%s", L"not string type.", varname(v));
    wchar_t* text = vartext(v);
    // The position must name a character: the terminator is not one.
    if (p < 0 || static_cast<size_t>(p) >= vartextlen(v))
        myerrexit(L"%s:%d", L"number of position is invalid", p);
    text[p] = static_cast<wchar_t>(code & 0xFFFF);
    if (text[p] == 0)
        settextlen(v, static_cast<size_t>(p));
}

void ExeScr::cutstr_exec()
{
    const int64_t count = ip->i;
    ++ip;
    datscell c = *pops();  // a copy: the result is pushed into its slot
    int32_t s = popi32(*this);
    int32_t e = 0;
    if (count == 3)
        e = popi32(*this);
    if (s < 0)
        s = 0;  // a start before the text counts from its first character
    const wchar_t* text = datstext(&c);
    const size_t len = datstextlen(&c);
    size_t from = 0, to = 0;
    if (len != 0 && static_cast<size_t>(s) < len && !(count == 3 && s >= e)) {
        from = static_cast<size_t>(s);
        to = len;
        if (count == 3 && static_cast<size_t>(e) < len)
            to = static_cast<size_t>(e);
    }
    const size_t n = to - from;
    if (n > static_cast<size_t>(datsinline)) {
        auto* heap = static_cast<wchar_t*>(mymalloc2((n + 1) * sizeof(wchar_t), cutstrid));
        wmemcpy(heap, text + from, n);
        heap[n] = 0;
        datsrelease(&c);
        pushheap(*this, heap, n, cutstrid);
        return;
    }
    wchar_t buf[datsinline + 1];
    wmemcpy(buf, text + from, n);
    datsrelease(&c);
    pushinline(*this, buf, n);
}

// ---- def and undef

// The variable named by the operand's mode: a popped global index, or a popped
// name looked up as a local, else as a global (declared when missing). Returns
// null with *result set for the argument words "arg_NN" and "carg_NN", which
// name no variable (only when `args` is true).
static varrec* defvariable(ExeScr& e, bool args, int64_t* result)
{
    const int64_t mode = e.ip->i;
    ++e.ip;
    if (mode != 0)
        return e.varat(popindex(e));

    datscell* c = e.pops();
    // A copy: declaring a global may move the table a reference points into.
    const std::wstring name = e.datstext(c);
    e.datsrelease(c);
    if (args) {
        const wchar_t* n = name.c_str();
        if (wcsncmp(n, L"arg_", 4) == 0) {
            *result = isdigit2(n + 4) && (n[4] - L'0') * 10 + (n[5] - L'0') < static_cast<int>(e.args.size());
            return nullptr;
        }
        if (wcsncmp(n, L"carg_", 5) == 0) {
            *result = isdigit2(n + 5) && (n[5] - L'0') * 10 + (n[6] - L'0') < static_cast<int>(e.callargs.size());
            return nullptr;
        }
    }
    const int32_t local = e.findlocalvar(name.c_str());
    if (local != 0)
        return e.varat(local);
    return e.varat(e.declvar(name.c_str(), 0));
}

void ExeScr::def_exec()
{
    int64_t result = 0;
    if (varrec* v = defvariable(*this, true, &result)) {
        result = v->state != varundef;
        deflastint = v->isint;
    }
    pushint(result);
}

void ExeScr::undef_exec()
{
    int64_t result = 0;
    varrec* v = defvariable(*this, false, &result);
    if (v->state != varundef) {
        v->state = varundef;  // text and numbers stay for a later assignment
        result = 1;
    }
    pushint(result);
}
