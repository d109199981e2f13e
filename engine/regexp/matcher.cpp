// The matcher: compilation on demand and the choice of a search strategy, the
// driver that tries start positions, and the backtracker with its limits.
#include <bit>
#include <cstring>

#include "regexp/regexp.h"
#include "runtime/exescr.h"

namespace {

// The code point at p (p < end) and its length in units: a pair is joined;
// a high surrogate without its low half is code point 0, one unit long.
uint32_t cpat(const wchar_t* p, const wchar_t* end, uint32_t& len)
{
    const uint32_t u = *p;
    len = 1;
    if (!ishigh(u))
        return u;
    if (p + 1 < end && islow(p[1])) {
        len = 2;
        return joinpair(u, p[1]);
    }
    return 0;
}

// One code point on from p (p < end).
const wchar_t* stepcp(const wchar_t* p, const wchar_t* end)
{
    return ishigh(*p) && p + 1 < end && islow(p[1]) ? p + 2 : p + 1;
}

}  // namespace

int RegExp::regexbuild(const wchar_t* pattern)
{
    progstate = 0;
    fatalseen = 0;
    const int r1 = regextokens(pattern);
    if (r1 != 1) {
        progstate = r1 == 0 ? rxbad1 : r1;
        return progstate;
    }
    if (!regexcompile()) {
        progstate = fatalseen ? rxfatal : rxbad2;
        return progstate;
    }
    if (!finishprogram())
        return progstate;
    choosestrategy();
    return 1;
}

int RegExp::finishprogram()
{
    emit(ndsuccess);
    if (overflow) {
        progstate = rxbad2;
        return 0;
    }
    nodes[nodes.count] = rxnode{};  // the all-zero end, inside the free nodes
    progstate = 1;
    return 1;
}

int RegExp::regexmatch(uint32_t flags, const wchar_t* pattern, uint32_t start, uint32_t end)
{
    if (start == 0xFFFFFFFF && (flags & 1))
        return 0;
    if (!(flags & 1) || progstate == 0) {
        // A reuse on an object that never compiled compiles the empty pattern.
        const int r = regexbuild((flags & 1) ? L"" : pattern);
        if (r != 1) {
            const wchar_t* text = subject ? subject : L"";
            if (r == rxbad1 && logging())
                eng.mylogmsgforced(L"parser 1st level error:%s \n", text);
            else if (r == rxbad2 && logging())
                eng.mylogmsgforced(L"parser 2nd level error.:%s:\n", text);
            return r;
        }
        if (start == 0xFFFFFFFF)
            return 1;
    } else if (progstate != 1) {
        // A failed compilation left no program to run.
        return progstate;
    }
    return regexrun(start, end);
}

void RegExp::choosestrategy()
{
    strategy = general;
    quickcount = 0;
    if (nodes[0].kind == ndend)
        return;
    uint32_t listed = 0;
    for (uint32_t k = 0;; ++k) {
        const uint32_t kind = nodes[k].kind;
        if (kind == ndempty)
            break;
        if (kind == ndliteral || kind == ndclass) {
            if (listed < 256)
                quicknodes[listed] = k;
            ++listed;
        } else if (kind != ndsuccess && kind != ndcapture && kind != ndboundary &&
                   kind != ndnotboundary) {
            return;
        }
    }
    if (listed > 256)
        return;
    if (listed <= 2) {
        strategy = simplerestart;
        return;
    }
    strategy = quicksearch;
    quickcount = listed;
    buildshift();
}

void RegExp::buildshift()
{
    const uint32_t m = quickcount;
    for (uint32_t c = 0; c < quicklow; ++c)
        lowshift[c] = uint16_t(m + 1);
    // The entry of a code point is m - k for the last node k that accepts it.
    // A class used by several nodes is read once, for its last node.
    int32_t lastk[rxmaxclasses];
    for (uint32_t i = 0; i < classes.count; ++i)
        lastk[i] = -1;
    for (uint32_t k = 0; k < m; ++k) {
        const rxnode& n = nodes[quicknodes[k]];
        if (n.kind == ndliteral) {
            if (n.a < quicklow && lowshift[n.a] > m - k)
                lowshift[n.a] = uint16_t(m - k);
        } else {
            lastk[n.a] = int32_t(k);
        }
    }
    for (uint32_t i = 0; i < classes.count; ++i) {
        if (lastk[i] < 0)
            continue;
        const uint32_t v = m - uint32_t(lastk[i]);
        const classrec& r = classes[i];
        for (uint32_t w = 0; w < quicklow / 64; ++w) {
            for (uint64_t bits = r.bits[w]; bits; bits &= bits - 1) {
                const uint32_t c = w * 64 + uint32_t(std::countr_zero(bits));
                if (lowshift[c] > v)
                    lowshift[c] = uint16_t(v);
            }
        }
    }
}

int RegExp::expandagain()
{
    if (++explevel >= rxmaxexpand)
        return rxdeep;
    const int r = regexexpand();
    if (r != 1)
        return r == rxbad2 ? rxbad2 : rxdeep;
    fatalseen = 0;
    if (!regexcompile()) {
        progstate = fatalseen ? rxfatal : rxbad2;
        return progstate;
    }
    if (!finishprogram())
        return progstate;
    strategy = general;
    return 1;
}

int RegExp::regexrun(uint32_t start, uint32_t end)
{
    const int r = search(start, end);
    // A failed search may stop inside an attempt that closed groups: nothing
    // of it is a capture of a match.
    if (r != rxmatched)
        ncaps = 0;
    return r;
}

int RegExp::search(uint32_t start, uint32_t end)
{
    sstart = subject ? subject : L"";
    const size_t len = subject ? subjectlen : 0;
    send = sstart + (end != 0xFFFFFFFF && end < len ? end : len);
    ncaps = 0;
    mend = nullptr;
    if (start > uint32_t(send - sstart))
        return rxnomatch;  // a start past the end finds nothing

    for (;;) {
        const wchar_t* p = sstart + start;
        int r = rxnomatch;
        if (strategy == quicksearch) {
            const uint32_t m = quickcount;
            // The code point just past the window, m code points on from p,
            // decides the shift; the window's end moves on with p, so that a
            // short shift does not walk the whole window again.
            const wchar_t* w = p;
            for (uint32_t k = 0; k < m && w < send; ++k)
                w = stepcp(w, send);
            for (;;) {
                if (send - p < ptrdiff_t(m))
                    return rxnomatch;
                r = tryat(p);
                if (r != rxnomatch)
                    return r;
                if (w >= send)
                    return rxnomatch;
                uint32_t cl = 0;
                const uint32_t cp = cpat(w, send, cl);
                for (uint32_t k = shiftof(cp); k > 0 && p < send; --k) {
                    p = stepcp(p, send);
                    if (w < send)
                        w = stepcp(w, send);
                }
            }
        }
        for (;;) {
            r = tryat(p);
            if (r == rxmatched)
                return r;
            if (r != rxnomatch || strategy == simplerestart || p >= send)
                break;  // the simple restart has tried every start itself
            const wchar_t* next = stepcp(p, send);
            if (next == p + 2 && next >= send)
                return rxnomatch;  // the empty end behind a final pair is not tried
            p = next;
        }
        if (r != rxcallmet)
            return r;
        const int e = expandagain();
        if (e != 1)
            return e;
    }
}

int RegExp::tryat(const wchar_t* p)
{
    ncaps = 0;
    mstart = p;
    mend = nullptr;
    const wchar_t* q = p;
    const int r = backtrack(0, q, send, 0);
    if (r == rxmatched)
        mend = q;
    return r;
}

int RegExp::regexbacktrack(uint32_t first, const wchar_t*& pos)
{
    return backtrack(first, pos, send, 0);
}

uint32_t RegExp::newstamp(uint32_t depth)
{
    if (seen.cap < (depth + 1) * seenslots) {
        const uint32_t old = seen.cap;
        grow(seen, (depth + 1) * seenslots, seenslots);
        memset(static_cast<void*>(&seen[old]), 0, size_t(seen.cap - old) * sizeof(rxseen));
    }
    if (++stamps == 0) {
        // After 2^32 runs the stamps start again on a clean table.
        memset(static_cast<void*>(seen.base), 0, size_t(seen.cap) * sizeof(rxseen));
        stamps = 1;
    }
    return stamps;
}

// Whether {node, off} was visited in this run; records it when not.
bool RegExp::visit(uint32_t depth, uint32_t stamp, uint32_t node, uint32_t off)
{
    rxseen* table = &seen[depth * seenslots];
    uint32_t h = ((node * 0x9E3779B1u) ^ (off * 0x85EBCA77u)) >> 20;
    for (;; h = (h + 1) & (seenslots - 1)) {
        rxseen& s = table[h];
        if (s.stamp != stamp) {
            s = rxseen{stamp, node, off};
            return false;
        }
        if (s.node == node && s.off == off)
            return true;
    }
}

int RegExp::backtrack(uint32_t first, const wchar_t*& pos, const wchar_t* end, uint32_t depth)
{
    const uint32_t base = stack.count;
    const uint32_t stamp = newstamp(depth);
    const bool simple = depth == 0 && strategy == simplerestart;
    uint32_t visits = 0;
    uint32_t node = first;
    const wchar_t* p = pos;
    auto leave = [&](int r) {
        stack.count = base;
        return r;
    };

    for (;;) {
        const rxnode& n = nodes[node];
        switch (n.kind) {
        case ndliteral:
            if (p >= end)
                goto fail;
            if (n.a > 0xFFFF) {
                // A count where an atom belonged is no code point at all.
                if (n.a > 0x10FFFF || end - p < 2 || uint32_t(p[0]) != 0xD800 + ((n.a - 0x10000) >> 10) ||
                    uint32_t(p[1]) != 0xDC00 + ((n.a - 0x10000) & 0x3FF))
                    goto fail;
                p += 2;
            } else {
                if (uint32_t(*p) != n.a)
                    goto fail;
                ++p;
            }
            ++node;
            continue;
        case ndclass: {
            if (p >= end)
                goto fail;
            uint32_t len = 0;
            if (!classes[n.a].has(cpat(p, end, len)))
                goto fail;
            p += len;
            ++node;
            continue;
        }
        case ndend:
            if (p != end)
                goto fail;
            ++node;
            continue;
        case ndsuccess:
            pos = p;
            return leave(rxmatched);
        case ndjump:
            node = n.b;
            continue;
        case ndsplit: {
            const uint32_t off = uint32_t(p - sstart);
            if (visit(depth, stamp, node, off)) {
                // Back at the same position: the loop's body matched nothing.
                node = n.a == splitlazyloop ? n.b : n.c;
                continue;
            }
            if (++visits > rxmaxvisits)
                return leave(fatal(L"split table overflow error"));
            if (stack.count - base >= rxmaxstack)
                return leave(fatal(L"critical rgexp overflow error."));
            grow(stack, stack.count + 1, 2048);
            stack[stack.count++] = rxentry{n.c, off, ncaps, node};
            node = n.b;
            continue;
        }
        case ndcapture: {
            const uint32_t g = n.a & 0xFF;
            const uint32_t off = uint32_t(p - sstart);
            if (n.b == 0) {
                if (ncaps > rxmaxcaptures)
                    return leave(fatal(L"Too much restore number error."));
                groupopen[g] = ncaps;
                groupstart[g][ncaps] = off;
            } else {
                const uint32_t at = ncaps <= groupopen[g] ? ncaps : groupopen[g];
                uint32_t s = groupstart[g][at];
                if (s > off)
                    s = off;  // a start this path never stored
                caps[ncaps++] = rxcapture{sstart + s, off - s, n.a};
                if (ncaps > rxmaxcaptures)
                    return leave(fatal(L"Too much restore number error."));
            }
            ++node;
            continue;
        }
        case ndboundary:
        case ndnotboundary: {
            const classrec& w = classes[n.a];
            bool w1 = false, w2 = false;
            if (p > sstart) {
                uint32_t u = p[-1];
                if (islow(u) && p - 1 > sstart && ishigh(p[-2]))
                    u = joinpair(p[-2], u);
                else if (ishigh(u) && p < end && islow(*p))
                    u = joinpair(u, *p);
                w1 = w.has(u);
            }
            if (p < end) {
                uint32_t len = 0;
                w2 = w.has(cpat(p, end, len));
            }
            if ((w1 != w2) != (n.kind == ndboundary))
                goto fail;
            ++node;
            continue;
        }
        case ndbackref: {
            if (n.a < 1 || n.a > ncaps)
                goto fail;
            const rxcapture& c = caps[n.a - 1];
            if (uint32_t(end - p) < c.len || wmemcmp(p, c.text, c.len) != 0)
                goto fail;
            p += c.len;
            ++node;
            continue;
        }
        case ndlookahead:
        case ndlookbehind: {
            const uint32_t before = ncaps;
            int r = rxnomatch;
            if (n.kind == ndlookahead) {
                const wchar_t* q = p;
                r = backtrack(node + 1, q, end, depth + 1);
            } else if (nodes[node + 1].kind == ndstart) {
                const wchar_t* q = sstart;
                r = backtrack(node + 2, q, p, depth + 1);
            } else {
                // The body must end exactly here: the subject ends at p for it.
                for (const wchar_t* from = sstart; from <= p; ++from) {
                    const wchar_t* q = from;
                    r = backtrack(node + 1, q, p, depth + 1);
                    if (r != rxnomatch)
                        break;
                    ncaps = before;
                }
            }
            if (r == rxfatal || r == rxcallmet)
                return leave(r);
            const bool matched = r == rxmatched;
            if (!matched)
                ncaps = before;  // a failed run leaves no records
            if (matched != (n.a == 0))
                goto fail;
            node = n.b;
            continue;
        }
        case ndstart:
            if (p != sstart) {
                if (depth == 0 && node == 0)
                    return leave(rxanchor);
                goto fail;
            }
            ++node;
            continue;
        case ndany:
            if (p >= end)
                goto fail;
            p = stepcp(p, end);
            ++node;
            continue;
        case ndcall:
            return leave(rxcallmet);
        case ndloopback: {
            // Back to the loop's own choice, whatever the body pushed since.
            uint32_t k = stack.count;
            while (k > base && stack[k - 1].split != n.a)
                --k;
            const uint32_t off = uint32_t(p - sstart);
            if (k == base) {
                node = n.c;
                continue;
            }
            if (n.b <= node && stack[k - 1].off == off) {
                // A turn that consumed nothing would repeat for ever: leave.
                stack.count = k - 1;
                node = n.c;
                continue;
            }
            stack.count = k;
            stack[k - 1] = rxentry{n.c, off, ncaps, n.a};
            node = n.b;
            continue;
        }
        default:
            goto fail;
        }

    fail:
        if (simple) {
            // Literal and class tests only: move the start on instead.
            if (mstart >= end)
                return leave(rxnomatch);
            const wchar_t* next = stepcp(mstart, end);
            if (next == mstart + 2 && next >= end)
                return leave(rxnomatch);
            mstart = p = next;
            ncaps = 0;
            node = first;
            continue;
        }
        if (stack.count == base)
            return leave(rxnomatch);
        const rxentry& e = stack[--stack.count];
        node = e.node;
        p = sstart + e.off;
        ncaps = e.ncap;
    }
}
