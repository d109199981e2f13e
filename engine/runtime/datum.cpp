// The numeric and string datum stacks, and conversions between numbers and text.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <string>
#include <system_error>

#include "runtime/decimal.h"
#include "runtime/exescr.h"
#include "runtime/shorttext.h"

// Both stacks are fixed at 256 entries: the first push takes the whole block.
void ExeScr::datdbuff()
{
    if (datd.cap >= datumstackmax)
        myerrexit(L"datdbuff stack overflow");
    const int32_t used = datd.count();
    auto* block = static_cast<datdcell*>(mymalloc2(sizeof(datdcell) * (datd.cap + datumstackmax), 224));
    if (datd.base) {
        memcpy(block, datd.base, sizeof(datdcell) * used);
        myfree(datd.base, datd.id);
    }
    datd.base = block;
    datd.id = 224;
    datd.cap += datumstackmax;
    datd.top = block + used;
}

void ExeScr::datsbuff()
{
    if (dats.cap >= datumstackmax)
        myerrexit(L"datsbuff stack overflow");
    const int32_t used = dats.count();
    auto* block = static_cast<datscell*>(mymalloc2(sizeof(datscell) * (dats.cap + datumstackmax), 225));
    if (dats.base) {
        memcpy(block, dats.base, sizeof(datscell) * used);
        myfree(dats.base, dats.id);
    }
    dats.base = block;
    dats.id = 225;
    dats.cap += datumstackmax;
    dats.top = block + used;
}

void ExeScr::datdunderflow()
{
    myerrexit(L"datd stack underflow");
}

void ExeScr::datsunderflow()
{
    myerrexit(L"dats stack underflow");
}

void ExeScr::datddrop()
{
    if (datd.top == datd.base)
        datdunderflow();
    --datd.top;
}

void ExeScr::datsdrop()
{
    datsrelease(pops());
}

int64_t ExeScr::dbl2i64(double d)
{
    if (!(d > -9223372036854775808.0 && d < 9223372036854775808.0))
        return INT64_MIN;
    return static_cast<int64_t>(d);
}

int ExeScr::str2num(const wchar_t* text, double* d, int64_t* i)
{
    const wchar_t* s = text;
    bool neg = false;
    if (*s == L'-') {
        neg = true;
        ++s;
    }
    // Integer part: exact while it fits in a signed 64-bit integer, else the
    // text is a double.
    const wchar_t* digits = s;
    int64_t iv = 0;
    bool isdbl = false;
    for (; *s >= L'0' && *s <= L'9'; ++s) {
        const int digit = *s - L'0';
        if (!isdbl && iv > (INT64_MAX - digit) / 10)
            isdbl = true;
        if (!isdbl)
            iv = iv * 10 + digit;
    }
    if (*s != L'.' && !isdbl) {
        *i = neg ? -iv : iv;
        return 0;
    }
    // A double is the one nearest to the decimal text: its digits are gathered
    // as written and converted once (adding up weights 0.1, 0.01, ... would
    // round at every step). Beyond the doubles a magnitude is infinite, below
    // them it is 0.
    std::string number(digits, s);
    const bool large = number.find_first_not_of('0') != std::string::npos;
    if (number.empty())
        number = "0";
    if (*s == L'.') {
        number += '.';
        for (++s; *s >= L'0' && *s <= L'9'; ++s)
            number += static_cast<char>(*s);
    }
    double dv = 0.0;
    const auto r = std::from_chars(number.data(), number.data() + number.size(), dv);
    if (r.ec == std::errc::result_out_of_range)
        dv = large ? HUGE_VAL : 0.0;
    *d = neg ? -dv : dv;
    return 1;
}

void ExeScr::pushstrtext(const wchar_t* text, size_t len, int32_t id)
{
    datscell* c = pushs();
    if (len <= static_cast<size_t>(datsinline)) {
        shortmove(c->inl, text, len);
        c->inl[len] = 0;
        return;
    }
    c->heap = static_cast<wchar_t*>(mymalloc2((len + 1) * sizeof(wchar_t), id));
    wmemcpy(c->heap, text, len);
    c->heap[len] = 0;
    c->heapid = id;
    c->text = c->heap;
    c->cap = static_cast<int32_t>(len);
}

// Writes an integer's decimal text, as "%lld" writes it, with its terminator:
// its length.
static int inttext(int64_t i, wchar_t* to)
{
    wchar_t* const first = to;
    wchar_t digits[decimalmax];
    // The magnitude in unsigned arithmetic, so that the smallest integer has one.
    const uint64_t u = i < 0 ? 0 - static_cast<uint64_t>(i) : static_cast<uint64_t>(i);
    const wchar_t* p = decimaldigits(u, digits + decimalmax);
    if (i < 0)
        *to++ = L'-';
    while (p < digits + decimalmax)
        *to++ = *p++;
    *to = 0;
    return static_cast<int>(to - first);
}

// The format of a double that is not written as an integer: without a
// fractional part from 2^52 on, where a double has none, and when whole.
static const wchar_t* dblformat(double d)
{
    return std::fabs(d) >= 4503599627370496.0 || d == std::floor(d) ? L"%.0lf" : L"%.5lf";
}

int ExeScr::numtext(bool isint, int64_t i, double d, wchar_t* out)
{
    if (isint)
        return inttext(i, out);
    // A whole double below 2^53 has every digit exact in any formatter; -0
    // keeps its sign, which only the formatter writes.
    if (std::fabs(d) < 9007199254740992.0 && d == std::floor(d) && !(d == 0.0 && std::signbit(d)))
        return inttext(static_cast<int64_t>(d), out);
    const int n = _snwprintf(out, datsinline + 1, dblformat(d), d);
    return n >= 0 && n <= datsinline ? n : -1;
}

void ExeScr::pushnumtext(bool isint, int64_t i, double d)
{
    datscell* c = pushs();
    if (numtext(isint, i, d, c->inl) >= 0)
        return;
    // A long number (1e300 has 301 digits) is written whole.
    const wchar_t* fmt = dblformat(d);
    const int len = _scwprintf(fmt, d);
    c->heap = static_cast<wchar_t*>(mymalloc2((static_cast<size_t>(len) + 1) * sizeof(wchar_t), 217));
    _snwprintf(c->heap, static_cast<size_t>(len) + 1, fmt, d);
    c->heapid = 217;
    c->text = c->heap;
    c->cap = len;
}

// Pushes variable `index` as a string datum. A string variable is pushed as a
// reference, except a local read by var2str (`copylocal`), whose text is copied.
static inline void pushvar(ExeScr& e, int32_t index, bool copylocal)
{
    varrec* v = e.varat(index);
    if (v->state == varundef)
        e.undefvar(index);
    if (v->state == varstr) {
        if (copylocal && index < 0) {
            e.pushstrtext(e.vartext(v), e.vartextlen(v), 217);
            return;
        }
        datscell* c = e.pushs();
        c->isvar = 1;
        c->varindex = index;
        return;
    }
    e.pushnumtext(v->isint != 0, v->i, v->d);
}

void ExeScr::pushvarstr_exec()
{
    const datdcell c = popd();
    pushvar(*this, static_cast<int32_t>(c.i), false);
}

void ExeScr::var2str()
{
    const int32_t index = static_cast<int32_t>(ip->i);
    ++ip;
    pushvar(*this, index, true);
}

void ExeScr::callargnum_exec()
{
    pushlocalnum(popd());
}

void ExeScr::callargstr_exec()
{
    datscell* c = pops();
    if (c->isvar && c->varindex < 0) {
        // The text lies in stackdd itself, which the push may move: copy it first.
        std::wstring copy = datstext(c);
        pushlocal(0.0, 0, copy.c_str(), varstr);
    } else {
        pushlocal(0.0, 0, datstext(c), varstr);
    }
    datsrelease(c);
}
