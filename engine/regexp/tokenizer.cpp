// Level 1: the pattern text becomes tokens; every class, whether an escape, a
// bracket expression or one escaped character, becomes a class record.
#include <cstdio>
#include <cstring>

#include "regexp/regexp.h"
#include "regexp/unicodetables.h"
#include "runtime/exescr.h"

namespace {

bool isdigitw(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The code of a one-letter control escape, or 0.
uint32_t controlescape(wchar_t c)
{
    switch (c) {
    case L'f': return 12;
    case L'n': return 10;
    case L'r': return 13;
    case L't': return 9;
    case L'v': return 11;
    default: return 0;
    }
}

// Decimal digits at p, saturating above `limit`.
uint32_t readcount(const wchar_t*& p, uint32_t limit)
{
    uint32_t n = 0;
    while (isdigitw(*p)) {
        n = n * 10 + uint32_t(*p - L'0');
        if (n > limit)
            n = limit + 1;
        ++p;
    }
    return n;
}

}  // namespace

void RegExp::tok(uint32_t t)
{
    if (tokens.count + 1 >= tokens.cap)
        grow(tokens, tokens.count + 2);
    tokens[tokens.count++] = t;
    tokens[tokens.count] = 0;
    if (t == L'|')
        altflag = 1;  // also when written as "\u{7C}"
}

void RegExp::clsadd(uint32_t k, uint32_t cp)
{
    classes[k].add(cp);
}

void RegExp::clsaddrange(uint32_t k, uint32_t first, uint32_t last)
{
    classes[k].addrange(first, last);
}

int RegExp::newclass()
{
    if (classes.count >= rxmaxclasses) {
        overflow = 1;
        return -1;
    }
    grow(classes, classes.count + 1, 32);
    memset(static_cast<void*>(&classes[classes.count]), 0, sizeof(classrec));
    return static_cast<int>(classes.count++);
}

int RegExp::cachedclass(uint32_t key)
{
    for (uint32_t i = 0; i < ncache; ++i)
        if (cache[i].key == key)
            return static_cast<int>(cache[i].cls);
    const int k = newclass();
    if (k < 0)
        return -1;
    if (key & cachetable)
        memcpy(static_cast<void*>(&classes[uint32_t(k)]), &predefclass(key & ~cachetable), sizeof(classrec));
    else
        clsadd(uint32_t(k), key);
    if (ncache < 64)
        cache[ncache++] = cacheent{key, uint32_t(k)};
    return k;
}

int RegExp::parsehexchar(const wchar_t*& p, uint32_t& cp)
{
    if (*p != L'{') {
        if (logging())
            eng.mylogmsgforced(L"invalid char error,\n");
        return 0;
    }
    ++p;
    uint32_t v = 0;
    for (;; ++p) {
        const wchar_t c = *p;
        uint32_t d;
        if (c >= L'0' && c <= L'9')
            d = uint32_t(c - L'0');
        else if (c >= L'a' && c <= L'f')
            d = uint32_t(c - L'a' + 10);
        else if (c >= L'A' && c <= L'F')
            d = uint32_t(c - L'A' + 10);
        else
            break;
        v = v * 16 + d;
        if (v >= cplimit)
            v = cplimit;  // stays above the limit however many digits follow
    }
    if (*p != L'}') {
        if (logging())
            eng.mylogmsgforced(L"invalid char error,\n");
        return 0;
    }
    ++p;
    if (v >= cplimit) {
        if (logging())
            eng.mylogmsgforced(L"above 0x2ffff are not supported,\n");
        return 0;
    }
    cp = v;
    return 1;
}

// One member of a bracket expression: 1 a single code point (cp), 2 a
// predefined set (cp = its table), 3 a nested bracket expression (cp = its
// temporary record), 0 a failure.
int RegExp::bracketmember(const wchar_t*& p, uint32_t& cp)
{
    const wchar_t c = *p;
    if (c == 0)
        return 0;
    if (c == L'[') {
        const int inner = newclass();
        if (inner < 0)
            return 0;
        ++p;
        if (!parsebracket(uint32_t(inner), p))
            return 0;
        cp = uint32_t(inner);
        return 3;
    }
    if (c != L'\\') {
        cp = c;  // surrogate halves are members one by one
        ++p;
        return 1;
    }
    const wchar_t e = p[1];
    if (e == 0)
        return 0;
    p += 2;
    const uint32_t table = predefescape(e);
    if (table != tblcount) {
        cp = table;
        return 2;
    }
    if (const uint32_t code = controlescape(e)) {
        cp = code;
        return 1;
    }
    if (e == L'u')
        return parsehexchar(p, cp) ? 1 : 0;
    cp = e;
    return 1;
}

// The predefined or nested set at p, added to record k or, after a "-",
// subtracted from it; 1 or 0.
int RegExp::bracketset(const wchar_t*& p, uint32_t k, bool subtract)
{
    const uint32_t mark = classes.count;
    uint32_t v = 0;
    const int kind = bracketmember(p, v);
    if (kind == 2) {
        if (subtract)
            classes[k].subtract(predefclass(v));
        else
            classes[k].unite(predefclass(v));
        return 1;
    }
    if (kind == 3) {
        if (subtract)
            classes[k].subtract(classes[v]);
        else
            classes[k].unite(classes[v]);
        classes.count = mark;  // the nested record was only needed for this
        return 1;
    }
    return 0;
}

namespace {

// Whether a predefined escape or a nested set starts at p.
bool setat(const wchar_t* p)
{
    return *p == L'[' || (*p == L'\\' && predefescape(p[1]) != tblcount);
}

}  // namespace

int RegExp::parsebracket(uint32_t k, const wchar_t*& p)
{
    bool negate = false;
    if (*p == L'^') {
        negate = true;
        ++p;
    }
    bool any = false;  // a member has been written
    for (;;) {
        const wchar_t c = *p;
        if (c == 0)
            return 0;
        if (c == L']') {
            ++p;
            break;
        }
        if (c == L'-') {
            // First or last, or not between a member and a set: a literal "-".
            if (any && setat(p + 1)) {
                ++p;
                if (!bracketset(p, k, true))
                    return 0;
            } else {
                clsadd(k, L'-');
                ++p;
            }
            any = true;
            continue;
        }
        if (setat(p)) {
            if (!bracketset(p, k, false))
                return 0;
            any = true;
            continue;
        }
        uint32_t lo = 0;
        if (bracketmember(p, lo) != 1)
            return 0;
        any = true;
        if (p[0] == L'-' && p[1] != L']' && p[1] != 0 && !setat(p + 1)) {
            ++p;
            uint32_t hi = 0;
            if (bracketmember(p, hi) != 1)
                return 0;
            if (lo >= hi) {
                fputs("invalid range error\n", stdout);
                fflush(stdout);
                return 0;
            }
            clsaddrange(k, lo, hi);
            continue;
        }
        clsadd(k, lo);
    }
    if (classes[k].count == 0)
        return 0;
    if (negate)
        classes[k].complement();
    return 1;
}

int RegExp::buildpairs(const rxarray<uint32_t, 256>& t, rxpair* pairs, uint32_t& npairs)
{
    npairs = 0;
    uint32_t open[rxmaxgroups + 1];
    uint32_t depth = 0;
    for (uint32_t i = 0; i < t.count; ++i) {
        if (t[i] == L'(') {
            if (npairs == rxmaxgroups)
                return 0;
            open[depth++] = npairs;
            pairs[npairs++] = rxpair{i, 0};
        } else if (t[i] == L')' && depth > 0) {
            pairs[open[--depth]].close = i;
        }
    }
    return 1;
}

int RegExp::regextokens(const wchar_t* pattern)
{
    tokens.count = 0;
    tokens[0] = 0;
    work.count = 0;
    altflag = 0;
    npairs1 = npairsw = 0;
    classes.count = 0;
    ncache = 0;
    overflow = 0;
    explevel = 1;

    int depth = 0;
    const wchar_t* p = pattern;
    while (*p) {
        if (tokens.count >= rxmaxtokens) {
            overflow = 1;
            return rxbad2;
        }
        const wchar_t c = *p;
        if (c == L'\\') {
            const wchar_t e = p[1];
            if (e == 0)
                return 0;  // a lone "\" at the end
            p += 2;
            if (e >= L'1' && e <= L'9') {
                --p;
                tok(tokbackref + readcount(p, 0xFFFE));
                continue;
            }
            const uint32_t table = predefescape(e);
            if (table != tblcount || e == L'b' || e == L'B') {
                const int k = cachedclass(cachetable + (table != tblcount ? table : tblword));
                if (k < 0)
                    return rxbad2;
                const uint32_t base = e == L'b' ? tokboundary : e == L'B' ? toknotboundary : tokclass;
                tok(base + uint32_t(k));
                continue;
            }
            if (const uint32_t code = controlescape(e)) {
                tok(code);
                continue;
            }
            if (e == L'u') {
                uint32_t cp = 0;
                if (!parsehexchar(p, cp))
                    return 0;
                if (cp == 0) {
                    // Code point 0 would end the token sequence here.
                    if (logging())
                        eng.mylogmsgforced(L"invalid char error,\n");
                    return 0;
                }
                tok(cp);
                continue;
            }
            uint32_t cp = e;
            if (ishigh(cp) && islow(*p))
                cp = joinpair(cp, *p++);
            const int k = cachedclass(cp);
            if (k < 0)
                return rxbad2;
            tok(tokclass + uint32_t(k));
            continue;
        }
        if (c == L'[') {
            const int k = newclass();
            if (k < 0)
                return rxbad2;
            ++p;
            if (!parsebracket(uint32_t(k), p))
                return overflow ? rxbad2 : 0;
            tok(tokclass + uint32_t(k));
            continue;
        }
        if (c == L'{') {
            ++p;
            const bool hasm = isdigitw(*p);
            const uint32_t m = readcount(p, 255);
            bool comma = false, hasn = false;
            uint32_t n = 0;
            if (*p == L',') {
                comma = true;
                ++p;
                hasn = isdigitw(*p);
                n = readcount(p, 255);
            }
            if (*p != L'}')
                return 0;
            ++p;
            if (m > 255 || n > 255)
                return 0;
            if (!comma) {
                if (!hasm)
                    return 0;
                n = 0;
            } else if (!hasm) {
                if (!hasn)
                    return 0;  // "{,}"
            } else if (!hasn) {
                n = 255;
            } else if (n != 0 && n < m) {
                return 0;
            }
            tok(tokcount + (hasm ? m : 0) * 256 + n);
            continue;
        }
        ++p;
        switch (c) {
        case L'(':
            if (++depth > 255)
                return 0;
            break;
        case L')':
            if (--depth < 0)
                return 0;
            break;
        default:
            break;
        }
        uint32_t cp = c;
        if (ishigh(cp) && islow(*p)) {
            cp = joinpair(cp, *p++);
            if (cp >= cplimit)
                return 0;
        }
        tok(cp);
    }
    if (depth != 0)
        return 0;

    if (!buildpairs(tokens, pairs1, npairs1)) {
        if (logging())
            eng.mylogmsgforced(L"too many round bracket pairs error. \n");
        return 0;
    }
    grow(work, tokens.count + 1);
    memcpy(work.base, tokens.base, (size_t(tokens.count) + 1) * sizeof(uint32_t));
    work.count = tokens.count;
    memcpy(pairsw, pairs1, sizeof(rxpair) * npairs1);
    npairsw = npairs1;

    const int r = regexexpand();
    return r == rxdeep || r == rxbad2 ? r : 1;
}
