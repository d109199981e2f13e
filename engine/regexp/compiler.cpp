// Level 2: the working copy of the tokens becomes the node program; and the
// expansion of group calls that makes the working copy.
#include <cstring>

#include "regexp/regexp.h"
#include "runtime/exescr.h"

namespace {

constexpr uint32_t none = 0xFFFFFFFF;
constexpr uint32_t unpatched = 0xFFFFFFFF;  // a jump out of an alternative, target not yet known

bool isdigittok(uint32_t t) { return t >= L'0' && t <= L'9'; }

bool isquantifier(uint32_t t)
{
    return t == L'*' || t == L'+' || t == L'?' || (t >= tokcount && t < tokbackref);
}

}  // namespace

// What stands where an atom is expected: one node, or a group of tokens.
struct RegExp::rxitem {
    enum : uint32_t { atom, capture, plain, possessive, ahead, behind, call };
    uint32_t sort = atom;
    uint32_t kind = 0;  // atom: its node kind
    uint32_t a = 0;     // atom: its operand; ahead / behind: negative; call: group
    uint32_t body = 0, close = 0;  // group: first body token, its ")"
    uint32_t number = 0;           // group: index of its "(" among all "("
};

uint32_t RegExp::emit(uint32_t kind, uint32_t a, uint32_t b, uint32_t c)
{
    // Eight nodes stay free for the success and end nodes the caller adds.
    if (nodes.count + 8 > rxmaxnodes) {
        overflow = 1;
        return nodes.count - 1;  // the program is discarded; writes stay inside it
    }
    grow(nodes, nodes.count + 8);
    nodes[nodes.count] = rxnode{kind, a, b, c};
    return nodes.count++;
}

uint32_t RegExp::findbar(uint32_t i, uint32_t iend) const
{
    int depth = 0;
    for (; i < iend; ++i) {
        const uint32_t t = work[i];
        if (t == L'(')
            ++depth;
        else if (t == L')')
            --depth;
        else if (t == L'|' && depth == 0)
            return i;
    }
    return none;
}

int RegExp::pairof(uint32_t open) const
{
    uint32_t lo = 0, hi = npairsw;
    while (lo < hi) {
        const uint32_t mid = (lo + hi) / 2;
        if (pairsw[mid].open < open)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < npairsw && pairsw[lo].open == open ? static_cast<int>(lo) : -1;
}

int RegExp::compileitem(const rxitem& it, uint32_t look)
{
    switch (it.sort) {
    case rxitem::atom:
        emit(it.kind, it.a);
        return 1;
    case rxitem::call:
        // A call left inside a lookaround would need the search restarted from
        // within a nested run: refused.
        if (look)
            return 0;
        emit(ndcall, it.a);
        return 1;
    case rxitem::capture:
        emit(ndcapture, it.number, 0);
        if (!compileseq(it.body, it.close, false, look))
            return 0;
        emit(ndcapture, it.number, 1);
        return 1;
    case rxitem::plain:
        return compileseq(it.body, it.close, false, look);
    case rxitem::possessive:
        return compileseq(it.body, it.close, true, look);
    default: {
        const uint32_t head = emit(it.sort == rxitem::ahead ? ndlookahead : ndlookbehind, it.a);
        if (!compileseq(it.body, it.close, false, look + 1))
            return 0;
        if (it.sort == rxitem::behind)
            emit(ndend);
        emit(ndsuccess);
        nodes[head].b = nodes.count;
        return 1;
    }
    }
}

int RegExp::quantify(const rxitem& it, uint32_t q, bool lazy, bool possessive, uint32_t look)
{
    if (q == L'+') {
        const uint32_t body = nodes.count;
        if (!compileitem(it, look))
            return 0;
        const uint32_t s = emit(ndsplit);
        if (possessive) {
            const uint32_t body2 = nodes.count;
            if (!compileitem(it, look))
                return 0;
            const uint32_t lb = emit(ndloopback, s, body2);
            nodes[s].b = body2;
            nodes[s].c = nodes[lb].c = nodes.count;
        } else if (lazy) {
            nodes[s].a = splitlazyloop;
            nodes[s].b = s + 1;
            nodes[s].c = body;
        } else {
            nodes[s].b = body;
            nodes[s].c = s + 1;
        }
        return 1;
    }

    uint32_t copies = 0, optional = 0;
    bool unbounded = false;
    if (q == L'?') {
        optional = 1;
        possessive = false;  // the possessive "?" is the greedy one
    } else if (q == L'*') {
        unbounded = true;
    } else {
        copies = (q >> 8) & 0xFF;
        const uint32_t n = q & 0xFF;
        if (n == 255)
            unbounded = true;
        else if (n != 0)
            optional = n - copies;
    }
    for (uint32_t k = 0; k < copies; ++k)
        if (overflow || !compileitem(it, look))
            return 0;

    if (unbounded) {
        if (possessive) {
            const uint32_t s = emit(ndsplit);
            if (!compileitem(it, look))
                return 0;
            const uint32_t lb = emit(ndloopback, s, s + 1);
            nodes[s].b = s + 1;
            nodes[s].c = nodes[lb].c = nodes.count;
        } else {
            const uint32_t j = emit(ndjump);
            if (!compileitem(it, look))
                return 0;
            const uint32_t s = emit(ndsplit);
            nodes[j].b = s;
            nodes[s].a = lazy ? splitlazyloop : 0;
            nodes[s].b = lazy ? s + 1 : j + 1;
            nodes[s].c = lazy ? j + 1 : s + 1;
        }
        return 1;
    }
    if (optional == 0)
        return 1;
    if (possessive && optional > 1) {
        // One choice to stop, then each further copy only replaces it.
        const uint32_t s = emit(ndsplit);
        if (!compileitem(it, look))
            return 0;
        for (uint32_t k = 1; k < optional; ++k) {
            if (overflow)
                return 0;
            const uint32_t lb = emit(ndloopback, s);
            nodes[lb].b = lb + 1;
            if (!compileitem(it, look))
                return 0;
        }
        const uint32_t end = nodes.count;
        nodes[s].b = s + 1;
        nodes[s].c = end;
        for (uint32_t k = s + 1; k < end; ++k)
            if (nodes[k].kind == ndloopback && nodes[k].a == s)
                nodes[k].c = end;
        return 1;
    }
    for (uint32_t k = 0; k < optional; ++k) {
        if (overflow)
            return 0;
        const uint32_t s = emit(ndsplit);
        if (!compileitem(it, look))
            return 0;
        nodes[s].b = lazy ? nodes.count : s + 1;
        nodes[s].c = lazy ? s + 1 : nodes.count;
    }
    return 1;
}

int RegExp::compileseq(uint32_t i, uint32_t iend, bool possessive, uint32_t look)
{
    const uint32_t first = nodes.count;
    uint32_t pending = none;  // the split that waits for its second choice
    if (altflag) {
        const uint32_t bar = findbar(i, iend);
        if (bar != none)
            pending = emit(ndsplit, bar, nodes.count + 1);
    }
    while (i < iend) {
        if (overflow)
            return 0;
        const uint32_t t = work[i];
        if (t == L'|') {
            emit(ndjump, unpatched);
            if (pending != none) {
                nodes[pending].c = nodes.count;
                nodes[pending].a = 0;
                pending = none;
            }
            const uint32_t bar = findbar(i + 1, iend);
            if (bar != none)
                pending = emit(ndsplit, bar, nodes.count + 1);
            ++i;
            continue;
        }

        rxitem it;
        if (t == L'(') {
            const int k = pairof(i);
            if (k < 0 || pairsw[k].close <= i || pairsw[k].close >= iend) {
                fatal(L"combination mismatch of ()  \n");
                return 0;
            }
            const uint32_t close = pairsw[k].close;
            const uint32_t h = i + 1;
            it.number = uint32_t(k);
            it.close = close;
            it.sort = rxitem::capture;
            it.body = h;
            const uint32_t t1 = h + 1 < close ? work[h + 1] : 0;
            const uint32_t t2 = h + 2 < close ? work[h + 2] : 0;
            if (h < close && work[h] == L'?') {
                if (t1 == L':') {
                    it.sort = rxitem::plain;
                    it.body = h + 2;
                } else if (t1 == L'=' || t1 == L'!') {
                    it.sort = rxitem::ahead;
                    it.a = t1 == L'!';
                    it.body = h + 2;
                } else if (t1 == L'<' && (t2 == L'=' || t2 == L'!')) {
                    it.sort = rxitem::behind;
                    it.a = t2 == L'!';
                    it.body = h + 3;
                } else if (t1 == L'>') {
                    it.sort = rxitem::possessive;
                    it.body = h + 2;
                } else if (t1 == L'R' && h + 2 == close) {
                    it.sort = rxitem::call;
                    it.a = 0;
                } else if (isdigittok(t1)) {
                    uint32_t j = h + 1, n = 0;
                    while (j < close && isdigittok(work[j])) {
                        n = n * 10 + (work[j] - L'0');
                        if (n > 0xFFFF)
                            n = 0xFFFF;
                        ++j;
                    }
                    if (j == close) {
                        it.sort = rxitem::call;
                        it.a = n;
                    }
                }
            }
            i = close + 1;
        } else {
            it.kind = ndliteral;
            it.a = t;
            if (t >= toknotboundary) {
                it.kind = ndnotboundary;
                it.a = t & 0xFFFF;
            } else if (t >= tokboundary) {
                it.kind = ndboundary;
                it.a = t & 0xFFFF;
            } else if (t >= tokbackref) {
                it.kind = ndbackref;
                it.a = t & 0xFFFF;
            } else if (t >= tokcount) {
                // A count where an atom belongs: a literal no text matches.
            } else if (t >= tokclass) {
                it.kind = ndclass;
                it.a = t & 0xFFFF;
            } else if (t == L'.') {
                it.kind = ndany;
            } else if (t == L'^') {
                it.kind = ndstart;
            } else if (t == L'$') {
                it.kind = ndend;
            }
            ++i;
        }

        if (i < iend && isquantifier(work[i])) {
            const uint32_t q = work[i++];
            bool lazy = false;
            if (i < iend && work[i] == L'?') {
                lazy = true;
                ++i;
            }
            if (!quantify(it, q, lazy, possessive, look))
                return 0;
        } else if (!compileitem(it, look)) {
            return 0;
        }
    }
    if (overflow)
        return 0;
    for (uint32_t k = first; k < nodes.count; ++k)
        if (nodes[k].kind == ndjump && nodes[k].a == unpatched) {
            nodes[k].a = 0;
            nodes[k].b = nodes.count;
        }
    return 1;
}

int RegExp::regexcompile()
{
    nodes.count = 0;
    overflow = 0;
    return compileseq(0, work.count, false, 0);
}

int RegExp::regexexpand()
{
    // The expanded copy is built apart and replaces the working copy unless a
    // limit is passed on the way.
    uint32_t cap = work.count + 64;
    uint32_t* out = static_cast<uint32_t*>(eng.mymalloc2(uint64_t(cap) * 4, work.id));
    uint32_t n = 0, parens = 0;
    int result = 1;
    auto put = [&](uint32_t t) {
        if (n + 1 >= cap) {
            uint32_t* bigger = static_cast<uint32_t*>(eng.mymalloc2(uint64_t(cap) * 8, work.id));
            memcpy(bigger, out, size_t(n) * 4);
            eng.myfree(out, work.id);
            out = bigger;
            cap *= 2;
        }
        out[n++] = t;
        parens += t == L'(';
    };
    auto giveup = [&](int code) {
        eng.myfree(out, work.id);
        return code;
    };

    uint32_t i = 0;
    while (i < work.count) {
        const uint32_t t2 = i + 2 < work.count ? work[i + 2] : 0;
        if (work[i] != L'(' || i + 1 >= work.count || work[i + 1] != L'?' ||
            !(isdigittok(t2) || t2 == L'R')) {
            put(work[i++]);
            continue;
        }
        uint32_t j = i + 2, num = 0;
        if (t2 == L'R') {
            ++j;
        } else {
            for (; j < work.count && isdigittok(work[j]); ++j) {
                num = num * 10 + (work[j] - L'0');
                if (num > 0xFFFF)
                    num = 0xFFFF;
            }
        }
        if (j >= work.count || work[j] != L')') {
            if (logging())
                eng.mylogmsgforced(L"missing ) for ?(num) error\n");
            result = 0;
            break;
        }
        uint32_t s0 = 0, s1 = tokens.count;
        if (num > 0) {
            if (num > npairs1 || pairs1[num - 1].close <= pairs1[num - 1].open) {
                result = 0;
                break;
            }
            s0 = pairs1[num - 1].open + 1;
            s1 = pairs1[num - 1].close;
        }
        // A group with a head of its own is copied whole, so that the call
        // means what the group means; else its body goes into "(?:" ")".
        const uint32_t h1 = s0 + 1 < s1 ? tokens[s0 + 1] : 0;
        const uint32_t h2 = s0 + 2 < s1 ? tokens[s0 + 2] : 0;
        const bool whole = num > 0 && s0 < s1 && tokens[s0] == L'?' &&
                           (h1 == L':' || h1 == L'=' || h1 == L'!' || h1 == L'>' || h1 == L'R' ||
                            isdigittok(h1) || (h1 == L'<' && (h2 == L'=' || h2 == L'!')));
        put(L'(');
        if (!whole) {
            put(L'?');
            put(L':');
        }
        for (uint32_t k = s0; k < s1; ++k)
            put(tokens[k]);
        put(L')');
        if (parens > rxmaxgroups)
            return giveup(rxdeep);
        if (n > rxmaxtokens)
            return giveup(rxbad2);
        i = j + 1;
    }
    while (i < work.count)
        put(work[i++]);  // after a call that cannot be expanded, the rest stays
    if (parens > rxmaxgroups)
        return giveup(rxdeep);
    if (n > rxmaxtokens)
        return giveup(rxbad2);

    work.count = 0;
    grow(work, n + 1);
    memcpy(work.base, out, size_t(n) * 4);
    work.count = n;
    work[n] = 0;
    eng.myfree(out, work.id);
    if (!buildpairs(work, pairsw, npairsw))
        return rxdeep;
    return result;
}
