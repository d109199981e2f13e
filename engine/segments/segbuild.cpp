// Builds the segments (segments.h) of the segment pass: it reads each
// straight run of cells as the datum stack would see it, a value at a time,
// making expression nodes where the cells push temporaries, until a cell
// with an effect ends the segment. It places `segment_exec` in the segment's
// first cell; nothing else changes, so a jump to any cell, the line table
// and the cells themselves keep their meaning.
#include <algorithm>
#include <initializer_list>
#include <map>
#include <utility>
#include <vector>

#include "segments/segview.h"
#include "runtime/numrules.h"

using namespace numrules;

namespace {

using E = ExeScr;
using namespace seg;

// A value on the datum stack as the pass sees it.
struct value {
    uint8_t k;
    opnd o;
};

value constant(const datdcell& c)
{
    value v{c.isint ? kint : kconst, {}};
    v.o.i = c.i;
    v.o.isint = c.isint;
    return v;
}

value variable(int64_t index)
{
    value v{index < 0 ? klocal : kglobal, {}};
    v.o.i = index;
    return v;
}

// The longest chain of nodes below a segment's value: their evaluation
// recurses, on the script thread's stack, and so does the reading of nested
// "&&" and "||". Past it the segment ends and the next one takes the value
// from datd.
constexpr int maxheight = 200;

// Notes how many levels of nodes a finished node stands on, and whether one
// of them sets idivrem or may make an element.
void seal(node& n)
{
    int h = 0;
    for (const auto& [k, o] : {std::pair{n.ka, n.a}, std::pair{n.kb, n.b}, std::pair{n.kc, n.c}})
        if (k == knode) {
            h = std::max(h, int{o.n->height});
            n.sets |= o.n->sets;
            n.makes |= o.n->makes;
        }
    n.height = static_cast<uint16_t>(h + 1);
}

value ofnode(const node& n)
{
    value v{knode, {}};
    v.o.n = &n;
    return v;
}

// A node just made, as a value.
value made(node& n)
{
    seal(n);
    return ofnode(n);
}

int heightof(const value& x)
{
    return x.k == knode || x.k == kref ? x.o.n->height : 0;
}

struct builder {
    segview& v;
    range& r;

    // The state of the segment being read.
    std::vector<value> st;  // values pushed by its cells, the bottom first
    int32_t pops = 0;       // entries popped below its entry top
    int32_t depth = 0;      // the cells' datd depth from the entry top
    int32_t maxdepth = 0;
    std::vector<int32_t> owned;  // landing cells of the "&&" and "||" it has taken
    // Text operands kept aside, each the texts of one string datum the cells
    // would push (more than one once strconcat joins them), the most at once.
    std::vector<std::vector<value>> ts;
    size_t tsmax = 0;
    struct textmark {
        int32_t k = 0;
        std::vector<value> st;
        int32_t pops = 0, depth = 0, maxdepth = 0;
    };

    int32_t nesting = 0;    // walks of "&&" and "||" operands this one lies in

    // Reading a function's cells in place of its call: the arguments, the
    // last parameter first (the parameter at local index -k is params[k - 1]);
    // nothing may be popped that its cells did not push.
    const value* params = nullptr;
    int32_t nparams = 0;
    int32_t nlocals = 0;  // the function's locals besides its parameters
    // What reading one call site in place may cost: a step for every cell
    // read and every node made, for its callees' callees too. Past it the
    // call stays a call, so a call site costs the pass at most this much
    // however its functions call each other, and the pass stays linear in
    // the code it reads.
    static constexpr int32_t callbudget = 256;
    struct reading {
        std::vector<int32_t> funcs;  // the functions being read so, outermost first
        int32_t left = callbudget;
    };
    reading* calls = nullptr;  // set while a call is read in place
    bool spent() const { return calls && calls->left < 0; }

    builder(segview& view, range& rg) : v(view), r(rg) {}

    node& newnode()
    {
        if (calls)
            --calls->left;
        r.nodes.emplace_back();
        return r.nodes.back();
    }

    void push(const value& x)
    {
        st.push_back(x);
        maxdepth = std::max(maxdepth, ++depth);
    }
    value pop()
    {
        --depth;
        if (!st.empty()) {
            const value x = st.back();
            st.pop_back();
            return x;
        }
        value x{kpop, {}};
        x.o.i = ++pops;
        return x;
    }
    // A value as a number: an element's index becomes the number
    // arrayindex_run pushes.
    value num(const value& x)
    {
        if (x.k != kref)
            return x;
        node& n = newnode();
        n = *x.o.n;
        n.eval = elemindex();
        n.test = truthtest();
        return made(n);
    }
    // The values a walk with `floor` may not pop: floor - 1 (0: none, and
    // then the segment's own cells may pop what lay on datd before it).
    static size_t kept(size_t floor) { return floor ? floor - 1 : 0; }
    // At least `n` values that a walk with `floor` may pop.
    bool has(size_t n, size_t floor) const { return (floor == 0 && !params) || st.size() >= kept(floor) + n; }
    // A variable the cells push: in a function read in place of its call, a
    // parameter is its argument.
    // (An argument that is a node of its own is read once: read twice, its
    // work would double at each level of calls read so.)
    bool var(int64_t index, value& out)
    {
        if (!params || index >= 0) {
            out = variable(index);
            return true;
        }
        // Locals lie above the parameters: index -1 is the last local. One
        // is read only to fail (it is undefined at the call): such a function
        // is called instead.
        const int64_t k = -index - nlocals;
        if (k <= 0 || k > nparams)
            return false;
        const auto j = static_cast<int32_t>(k - 1);  // (the arguments as pushed, the last parameter first)
        out = params[j];
        const bool first = !seen[j];
        seen[j] = true;
        // A read behind the function's own "&&" or "||" may not happen,
        // where the cells always evaluate the argument.
        if (nesting == entrynesting)
            used[j] = true;
        if (first && !inorder(j))
            return false;
        return first || out.k != knode;
    }
    // The cells evaluate the arguments before the function, the one pushed
    // first first; read in place, an argument is evaluated where the
    // function first reads it. Where an element is made (on first use) in
    // place before an argument the cells evaluate earlier, and that argument
    // fails, the segment would leave an element the cells never made: an
    // argument that can fail must come before every element of the
    // function's own and every argument pushed after it that may make one.
    bool inorder(int32_t j)
    {
        const value& x = params[j];
        if (x.k == kconst || x.k == kint)
            return true;  // it can neither fail nor make an element
        if (bodymakes || madeby > j)
            return false;
        if ((x.k == knode || x.k == kref) && x.o.n->makes)
            madeby = std::max(madeby, j);
        return true;
    }
    bool bodymakes = false;  // an element of the function's own was read
    int32_t madeby = -1;     // the last argument read (as pushed) that may make an element
    // Whether every argument that could fail was read, whatever the
    // function's "&&" and "||" give: one left unread would not fail where
    // the cells fail.
    bool allread() const
    {
        for (int32_t j = 0; j < nparams; ++j)
            if (params[j].k != kconst && params[j].k != kint && !used[j])
                return false;
        return true;
    }
    bool seen[maxpend] = {};  // read at all
    bool used[maxpend] = {};  // read where the function always reads it
    int32_t entrynesting = 0;

    // A new node of two numeric operands, `a` and `b`.
    node& pairnode(value a, value b)
    {
        a = num(a);
        b = num(b);
        node& n = newnode();
        n.a = a.o;
        n.ka = a.k;
        n.b = b.o;
        n.kb = b.k;
        return n;
    }
    value binary(int op, value l, value rr)
    {
        node& n = pairnode(l, rr);
        n.bop = static_cast<int8_t>(op);
        n.eval = seg::binary(op, n.ka, n.kb);
        n.test = binarytest(op, n.ka, n.kb);
        return made(n);
    }
    value unary(int op, value a)
    {
        a = num(a);
        node& n = newnode();
        n.a = a.o;
        n.ka = a.k;
        n.eval = seg::unary(op, a.k);
        n.test = truthtest();
        return made(n);
    }
    value andor(bool isand, value a, value b)
    {
        node& n = pairnode(a, b);
        n.eval = isand ? andvalue() : orvalue();
        n.test = isand ? andtest() : ortest();
        return made(n);
    }
    // arrayindex_run at k: pops its indexes and leaves the element's index.
    void element(int32_t k)
    {
        const int64_t word = v.operand(k + 1);
        const int32_t n = static_cast<int16_t>((word >> 16) & 0xFFFF);
        const int32_t dims = (n == 2 || n == 3) ? n : 1;
        value idx[3] = {};
        for (int32_t j = dims - 1; j >= 0; --j)
            idx[j] = num(pop());
        node& e = newnode();
        e.array = static_cast<int32_t>(word >> 32);
        e.indexcell = k + 2;
        e.a = idx[0].o;
        e.ka = idx[0].k;
        e.b = idx[1].o;
        e.kb = dims >= 2 ? idx[1].k : uint8_t{kconst};
        e.c = idx[2].o;
        e.kc = dims == 3 ? idx[2].k : uint8_t{kconst};
        e.ref = elemref(dims, e.ka, e.kb);
        e.eval = elemeval(dims, e.ka, e.kb);
        e.test = truthtest();
        e.makes = 1;
        bodymakes = true;
        seal(e);
        value x{kref, {}};
        x.o.n = &e;
        push(x);
    }

    bool owns(int32_t k) const { return std::find(owned.begin(), owned.end(), k) != owned.end(); }
    // Whether a segment that began at k0 can take the cell at k.
    bool open(int32_t k, int32_t k0) const
    {
        return v.isop(k) && !v.istaken(k) && (k == k0 || !v.islanding(k) || owns(k));
    }

    // Takes the cells from k on that only compute values, up to `stop`,
    // popping none of the kept(floor) values at the bottom of st: returns
    // the first cell not taken.
    int32_t walk(int32_t k, int32_t k0, int32_t stop, size_t floor)
    {
        const size_t ts0 = ts.size();
        textmark mark;
        while (k < stop && open(k, k0)) {
            // A value as tall as a chain may be ends the walk: any cell could
            // stack one more node on it. (A taller value further down was
            // checked when it stood on top.)
            if ((!st.empty() && heightof(st.back()) >= maxheight) || (calls && --calls->left < 0))
                break;
            const opcode f = v.opat(k);
            if (f == opushint) {
                push(constant(mkint(v.operand(k + 1))));
                k += 2;
            } else if (f == opushnum) {
                datdcell c;
                c.i = v.operand(k + 1);
                c.isint = 0;
                push(constant(c));
                k += 2;
            } else if (f == opushvar || f == opushneg || f == opushnot) {
                value x;
                if (!var(static_cast<int32_t>(v.operand(k + 1)), x))
                    break;
                push(f == opushvar ? x : unary(f == opushneg ? uneg : uinvert, x));
                k += 2;
            } else if (f == ocallargnum || f == ousercall) {
                // A call of a function that is one expression: that expression.
                int32_t n, call;
                value body{};
                if (!callcells(k, k0, n, call) || st.size() < kept(floor) + static_cast<size_t>(n) ||
                    !inlinebody(static_cast<int32_t>(v.operand(call + 1)), &st[st.size() - static_cast<size_t>(n)], n, body))
                    break;
                st.resize(st.size() - static_cast<size_t>(n));
                depth -= n;
                node& c = newnode();
                c.a = body.o;
                c.ka = body.k;
                c.eval = callvalue();
                c.test = truthtest();
                c.incalls = calls ? static_cast<int32_t>(calls->funcs.size()) : 0;
                push(made(c));
                k = call + 2;
            } else if (const int op = binopof(f); op >= 0) {
                if (!has(2, floor))
                    break;
                const value rr = pop();
                const value l = pop();
                push(binary(op, l, rr));
                ++k;
            } else if (f == obnot || f == olnot) {
                if (!has(1, floor))
                    break;
                push(unary(f == obnot ? ubnot : ulnot, pop()));
                ++k;
            } else if (f == oarrayindex) {
                const int32_t n = static_cast<int16_t>((v.operand(k + 1) >> 16) & 0xFFFF);
                if (!has((n == 2 || n == 3) ? n : 1, floor))
                    break;
                element(k);
                k += 2;
            } else if (f == opushvarx || f == opushnegx || f == opushnotx) {
                if (st.size() <= kept(floor) || st.back().k != kref)
                    break;  // an index that did not come from this segment's arrayindex_run
                const value x = pop();
                const value el = ofnode(*x.o.n);
                push(f == opushvarx ? el : unary(f == opushnegx ? uneg : uinvert, el));
                ++k;
            } else if (f == oandjump || f == oorjump) {
                // "l && r" or "l || r" whose value only the cell after r uses:
                // a node of both, when r is a value of its own.
                const int32_t land = static_cast<int32_t>(v.baseof(k) + v.operand(k + 1));
                if (!has(1, floor) || land <= k + 2 || land > stop || !v.onlyfrom(land, k) || nesting >= maxheight)
                    break;
                const std::vector<value> keep = st;
                const int32_t savedpops = pops, saveddepth = depth;
                const size_t nodes = r.nodes.size();
                const value a = pop();
                const size_t base = st.size();
                ++nesting;
                const int32_t end = walk(k + 2, k0, land, base + 1);
                --nesting;
                if (end != land || st.size() != base + 1) {  // (base kept)
                    st = keep;
                    pops = savedpops;
                    depth = saveddepth;
                    r.nodes.resize(nodes);  // made for the operand alone
                    break;
                }
                const value b = pop();
                push(andor(f == oandjump, a, b));
                owned.push_back(land);
                k = land;
            } else if (f == opushstrlit || f == ovar2str || f == opushvarstr) {
                // A text operand: kept aside (its datum would lie on dats)
                // for what takes it, the state before the first one kept
                // should nothing take them.
                const bool elem = f == opushvarstr;
                if (params || (elem && (st.size() <= kept(floor) || st.back().k != kref)))
                    break;
                if (ts.size() == ts0)
                    mark = textmark{k, st, pops, depth, maxdepth};
                value x{kconst, {}};  // a literal: its pool reference
                if (elem) {
                    x = pop();
                    x.k = knode;
                    ++k;
                } else {
                    if (f == ovar2str)
                        x = variable(static_cast<int32_t>(v.operand(k + 1)));
                    else
                        x.o.i = v.operand(k + 1);
                    k += 2;
                }
                ts.push_back({x});
                tsmax = std::max(tsmax, ts.size());
            } else if (f == ostrconcat) {
                if (ts.size() < ts0 + 2 || ts[ts.size() - 2].size() + ts.back().size() > static_cast<size_t>(maxpend))
                    break;
                const std::vector<value> right = ts.back();
                ts.pop_back();
                ts.back().insert(ts.back().end(), right.begin(), right.end());
                ++k;
            } else if (f == ostrlen || f == ostrstr || f == ostrcmp) {
                // A number of single texts: strlen of one, strstr or strpbrk
                // of two (with or without a start, pushed before them) and
                // strcmp without a count of two.
                const int64_t word = f == ostrlen ? 0 : v.operand(k + 1);
                const size_t n = f == ostrlen ? 1 : 2;
                const int64_t args = (word >> 16) & 0xFFFF;
                const bool from = f == ostrstr && args == 3;
                if ((f == ostrstr && args != 2 && !(from && st.size() > kept(floor))) ||
                    (f == ostrcmp && word != 2) || ts.size() < ts0 + n || !single(ts.size() - 1, ts0) ||
                    !single(ts.size() - n, ts0))
                    break;
                // The datum pushed last is popped first: the haystack, or
                // strcmp's first text.
                const value last = ts.back()[0];
                const value first = ts[ts.size() - n][0];
                ts.resize(ts.size() - n);
                node& q = newnode();
                q.texts = static_cast<int32_t>(ts.size() + n);  // string datums on dats at this cell
                q.a = last.o;
                q.ka = last.k;
                q.test = truthtest();
                if (f == ostrlen) {
                    q.eval = textlength(last.k);
                    ++k;
                } else {
                    q.b = first.o;
                    q.kb = first.k;
                    q.pbrk = static_cast<int32_t>(word >> 32) != 0 ? 1 : 0;
                    q.eval = f == ostrstr ? textfind(last.k, first.k) : textcompare(last.k, first.k);
                    if (from) {
                        const value start = num(pop());
                        q.c = start.o;
                        q.kc = start.k;
                        q.eval = textfindfrom(last.k, first.k);
                    }
                    k += 2;
                }
                push(made(q));
            } else if (f == ocutstr) {
                // A piece of a single text, the start pushed after the end
                // and both before the text: a text that only joins take.
                const bool hasend = v.operand(k + 1) == 3;
                if (!single(ts.size() - 1, ts0) || !has(hasend ? 2 : 1, floor))
                    break;
                const value text = ts.back()[0];
                const value start = num(pop());
                const value end = hasend ? num(pop()) : value{kconst, {}};
                node& q = newnode();
                q.a = text.o;
                q.ka = text.k;
                q.b = start.o;
                q.kb = start.k;
                q.c = end.o;
                q.kc = end.k;
                q.hasend = hasend ? 1 : 0;
                seal(q);
                value piece{kcut, {}};
                piece.o.n = &q;
                ts.back() = {piece};
                k += 2;
            } else if (f == ogetc) {
                // getc of a single text at a position pushed before it.
                if (!single(ts.size() - 1, ts0) || st.size() <= kept(floor))
                    break;
                const value at = num(pop());
                const value text = ts.back()[0];
                ts.pop_back();
                node& q = newnode();
                q.texts = static_cast<int32_t>(ts.size() + 1);
                q.a = text.o;
                q.ka = text.k;
                q.b = at.o;
                q.kb = at.k;
                q.test = truthtest();
                q.eval = textchar(text.k);
                ++k;
                push(made(q));
            } else if (f == oidiv && v.operand(k + 1) == 2) {
                // idiv of two numbers, the dividend pushed last (its other
                // forms take a sign flag and a high half).
                if (!has(2, floor))
                    break;
                const value x = pop();
                node& q = pairnode(x, pop());
                q.eval = quotient(q.ka, q.kb);
                q.test = truthtest();
                q.sets = 1;
                push(made(q));
                k += 2;
            } else if (f == onoop) {
                ++k;
            } else {
                break;
            }
        }
        // Texts left that no cell here takes: the segment ends before the
        // first of them, unless they are one text that the assignment at k
        // takes (only a segment's own walk ends in an assignment; the walk
        // of an "&&" operand must leave nothing kept).
        if (ts.size() > ts0 && !(ts0 == 0 && floor == 0 && texteffect(k, k0))) {
            ts.resize(ts0);
            st = mark.st;
            pops = mark.pops;
            depth = mark.depth;
            maxdepth = mark.maxdepth;
            k = mark.k;
        }
        return k;
    }

    // A string assignment without a result at k that takes the one text
    // kept: into a variable, or into an element (its index the one value
    // of the segment) with the copy that strassignx_exec leaves dropped.
    bool texteffect(int32_t k, int32_t k0) const
    {
        if (ts.size() != 1 || !open(k, k0))
            return false;
        const opcode f = v.opat(k);
        if (f == ostrassign)
            return packed(v.operand(k + 1)).noresult && st.empty();
        return f == ostrassignx && st.size() == 1 && st[0].k == kref && open(k + 1, -1) &&
               v.opat(k + 1) == odatsdrop;
    }

    // Whether datum j of ts, a walk's own (from ts0 on), is one text that a
    // node may read (a cut piece only joins take).
    bool single(size_t j, size_t ts0) const
    {
        return j >= ts0 && j < ts.size() && ts[j].size() == 1 && ts[j][0].k != kcut;
    }

    // The segment that begins at k0, or null when it would take no cell.
    segment* build(int32_t k0)
    {
        st.clear();
        owned.clear();
        pops = depth = maxdepth = 0;
        segment s;
        s.cell = k0;
        ts.clear();
        tsmax = 0;
        int32_t k = walk(k0, k0, v.end, 0);
        int32_t jumpcell = -1;
        if (open(k, k0))
            k = effect(k, s, jumpcell);
        if (k == k0 || st.size() > static_cast<size_t>(maxpend))
            return nullptr;
        if (s.what != ttext) {  // (whose pend holds its texts)
            s.npend = static_cast<uint8_t>(st.size());
            for (size_t j = 0; j < st.size(); ++j) {
                const value x = num(st[j]);
                s.pend[j] = x.o;
                s.pendk[j] = x.k;
            }
        }
        s.pops = pops;
        s.room = maxdepth;
        s.popbytes = sizeof(datdcell) * static_cast<uint32_t>(pops);
        s.roombytes = sizeof(datdcell) * static_cast<uint32_t>(maxdepth);
        s.orig = v.fnat(k0);
        size_t ordinal;
        segment* made = &r.segments.make(ordinal);
        *made = s;
        ends.push_back({made, k, jumpcell, ordinal});
        return made;
    }

    // The packed word's operation, where the segment's term reads one.
    static void operation(segment& s, uint32_t sub)
    {
        if (s.what == tincdec)
            s.mode = sub;
        else if (s.what == tcompound)
            s.op = sub;
    }

    // The effect at k that ends a segment, taken into `s`: returns the cell
    // after it, or k when it is not one a segment takes.
    int32_t effect(int32_t k, segment& s, int32_t& jumpcell)
    {
        const opcode f = v.opat(k);
        auto target = [&](const value& t) {
            s.target = t.o;
            s.tkind = t.k == kref ? uint8_t{knode} : t.k;
        };
        auto val = [&](const value& x) {
            const value n = num(x);
            s.value = n.o;
            s.vkind = n.k;
        };
        auto topisref = [&] { return !st.empty() && st.back().k == kref; };
        if (texteffect(k, k)) {
            // An empty literal adds nothing: joins of two variables hold one
            // ("r = r "" x"), and without it the join is one text shorter
            // and may append in place. At least one text stays.
            std::vector<value> texts;
            for (const value& x : ts.back())
                if (x.k != kconst || *v.e.strlittext(x.o.i) != 0)
                    texts.push_back(x);
            if (texts.empty())
                texts.push_back(ts.back()[0]);
            ts.clear();
            s.what = ttext;
            s.npend = static_cast<uint8_t>(texts.size());
            for (size_t j = 0; j < texts.size(); ++j) {
                s.pend[j] = texts[j].o;
                s.pendk[j] = texts[j].k;
            }
            s.texts = static_cast<uint32_t>(tsmax);
            // strassign_exec and its word, or strassignx_exec and datsdrop.
            target(f == ostrassign ? variable(packed(v.operand(k + 1)).index) : pop());
            return k + 2;
        }
        if (f == oassignnum || f == ocompoundassign || f == oincdec) {
            const packed w(v.operand(k + 1));
            if (!w.noresult)
                return k;
            s.what = f == oassignnum ? tassign : f == oincdec ? tincdec : tcompound;
            operation(s, w.sub);
            if (f != oincdec)
                val(pop());
            target(variable(w.index));
            return k + 2;
        }
        if (f == osetintconst || f == osetnumconst) {
            const packed w(v.operand(k + 2));
            if (!w.noresult)
                return k;
            datdcell c;
            c.i = v.operand(k + 1);
            c.isint = f == osetintconst ? 1 : 0;
            s.what = tassign;
            val(constant(c));
            target(variable(w.index));
            return k + 3;
        }
        if (f == ostorenum || f == ocompoundassignx || f == oincdecx) {
            const bool hasword = f != ostorenum;
            const packed w(hasword ? v.operand(k + 1) : 0);
            if ((hasword && !w.noresult) || !topisref())
                return k;
            const value t = pop();
            s.what = f == ostorenum ? tassign : f == oincdecx ? tincdec : tcompound;
            operation(s, w.sub);
            if (f != oincdecx)
                val(pop());
            target(t);
            return k + (hasword ? 2 : 1);
        }
        if (f == ojumpiffalse || f == ojumpiftrue) {
            s.what = tcjump;
            s.ontrue = f == ojumpiftrue ? 1 : 0;
            val(pop());
            jumpcell = static_cast<int32_t>(v.baseof(k) + v.operand(k + 1));
            return k + 2;
        }
        if (f == oswitch) {
            // Its targets are relative to the unit, as a jump's are.
            if (st.size() > 1)
                return k;
            s.what = tswitch;
            val(pop());
            s.casetable = static_cast<uint32_t>(v.operand(k + 1));
            s.unitbase = static_cast<int32_t>(v.baseof(k));
            return k + 2;
        }
        if (f == ojump) {
            s.what = tjump;
            jumpcell = static_cast<int32_t>(v.baseof(k) + v.operand(k + 1));
            return k + 2;
        }
        if (f == odatddrop) {
            s.what = tdrop;
            val(pop());
            return k + 1;
        }
        if (f == ocallargnum || f == ousercall) {
            int32_t n, call;
            if (!callcells(k, k, n, call))
                return k;
            // The first parameter is on top: the arguments in the cells' order.
            s.what = tcall;
            s.nargs = static_cast<uint8_t>(n);
            value args[maxpend];
            for (int32_t j = n - 1; j >= 0; --j) {
                args[j] = num(pop());
                s.args[j] = args[j].o;
                s.argk[j] = args[j].k;
            }
            s.callcell = call;
            s.func = static_cast<int32_t>(v.operand(call + 1));
            return call + 2;
        }
        return k;
    }

    // The cells of a call at k (n callargnum_exec, then usercall_exec at
    // `call`), none entered from elsewhere but k itself when it is k0.
    bool callcells(int32_t k, int32_t k0, int32_t& n, int32_t& call) const
    {
        n = 0;
        while (n < maxpend && v.opat(k + n) == ocallargnum)
            ++n;
        call = k + n;
        if (v.opat(call) != ousercall)
            return false;
        for (int32_t j = k; j <= call; ++j)
            if (v.istaken(j) || (j != k0 && v.islanding(j)))
                return false;
        return true;
    }

    // A function whose calls the pass may read in place: numeric parameters
    // (and locals it never reads, which cost nothing there), no file pointers
    // or directory handles, its cells in this range, and not being read
    // already (a recursion).
    const funcrec* readable(int32_t func, int32_t n) const
    {
        const ExeScr& e = v.e;
        if (func < 0 || static_cast<size_t>(func) >= e.functable.size())
            return nullptr;
        const funcrec& f = e.functable[static_cast<size_t>(func)];
        if (f.functstr || f.paramcount != static_cast<uint32_t>(n) || f.localnames.count() < n || f.fpnames.base ||
            f.dirnames.base || !v.isop(f.codestart))
            return nullptr;
        for (int32_t k = 0; k < n; ++k)
            if (f.localnames.base[k].kind != 1)
                return nullptr;
        if (calls && (calls->funcs.size() >= 8 || spent() ||
                      std::find(calls->funcs.begin(), calls->funcs.end(), func) != calls->funcs.end()))
            return nullptr;
        return &f;
    }

    // Reads cells of function `f` from k with the arguments in place of the
    // parameters, up to a cell that is not a value's (returned), the value
    // they leave in `out`; `deepest` grows by the datd entries they push.
    int32_t readin(const funcrec& f, int32_t k, const value* args, int32_t n, value& out, int32_t& deepest, bool& one)
    {
        reading outermost;
        builder sub(v, r);
        sub.params = args;
        sub.nparams = n;
        sub.nlocals = f.localnames.count() - n;
        sub.nesting = nesting;
        sub.entrynesting = nesting;
        sub.calls = calls ? calls : &outermost;
        sub.calls->funcs.push_back(static_cast<int32_t>(&f - v.e.functable.data()));
        const int32_t end = sub.walk(k, f.codestart, v.end, 0);
        sub.calls->funcs.pop_back();
        one = sub.st.size() == 1 && sub.pops == 0 && sub.allread() && !sub.spent();
        if (one) {
            out = sub.num(sub.st[0]);
            bodymakes = bodymakes || sub.bodymakes;  // made where the call's value is read
        }
        deepest = std::max(deepest, sub.maxdepth);
        return end;
    }

    // The body of function `func` as one value of the arguments (the last
    // parameter first), when the function is "return(expression)".
    bool inlinebody(int32_t func, const value* args, int32_t n, value& out)
    {
        const funcrec* f = readable(func, n);
        if (!f)
            return false;
        // The cells evaluate every argument before the function: one that
        // sets idivrem must keep its place before the function's own idivs
        // and after the other arguments, which reading in place would not.
        for (int32_t j = 0; j < n; ++j)
            if (args[j].k == knode && args[j].o.n->sets)
                return false;
        int32_t deepest = 0;
        bool one;
        const size_t nodes = r.nodes.size();
        const int32_t end = readin(*f, f->codestart, args, n, out, deepest, one);
        if (!one || v.opat(end) != oend) {
            // Not a value, then the end cell (or past the budget): what the
            // reading made goes, so that failed reads cost no memory.
            r.nodes.resize(nodes);
            return false;
        }
        // At the call its arguments are gone; the function's cells push on.
        maxdepth = std::max(maxdepth, depth - n + deepest);
        return true;
    }

    // Where each segment goes on: filled when every segment is built.
    struct pending {
        segment* s;
        int32_t next, jump;
        size_t ordinal;  // its place in the range's order of making
    };
    std::vector<pending> ends;
};

}  // namespace

// What a call segment knows of its function: its first segment, when the
// function starts in segments and has no file pointers or directory handles,
// and whether it begins "if (test) return(value)".
static void callee(ExeScr& e, segment& s)
{
    if (s.func < 0 || static_cast<size_t>(s.func) >= e.functable.size())
        return;
    const funcrec& f = e.functable[static_cast<size_t>(s.func)];
    if (f.fpnames.base || f.dirnames.base || f.codestart < 0 || static_cast<size_t>(f.codestart) >= e.segat.size() ||
        !e.segat[static_cast<size_t>(f.codestart)])
        return;
    const segment* first = e.segat[static_cast<size_t>(f.codestart)];
    s.callee = first;
    s.calleebase = f.codestart;
    s.calleelocals = f.localnames.count();
    s.calleeparams = static_cast<int32_t>(f.paramcount);
    if (first->what != tcjump || first->npend || first->pops)
        return;
    auto returns = [](const segment* r) {
        return r && r->what == tnone && r->npend == 1 && r->pops == 0 && r->next && r->next->run == returnrun();
    };
    if (returns(first->jump)) {
        s.quick = first->jump;
        s.past = first->next;
    } else if (returns(first->next)) {
        s.quick = first->next;
        s.past = first->jump;
    }
    // The datum stack room of the test's cells and of the value's, checked
    // once for both.
    if (s.quick)
        s.quickroom = std::max(first->roombytes, s.quick->roombytes);
}

// Whether a segment leaves datd as it found it, once its room is checked:
// it pushes and pops nothing there and hands control to segments of this
// range and frame only (a call, a switch or an end cell goes where the build
// does not follow).
static bool keepsdatd(const segment& s)
{
    if (s.run == returnrun())
        return false;  // an end cell: it may leave the frame for the caller's segments
    switch (s.what) {
    case tnone:  // an exit, or a segment whose cells leave nothing
    case tassign:
    case tcompound:
    case tincdec:
    case tcjump:
    case tjump:
    case tdrop:
        return s.pops == 0 && s.npend == 0;
    case ttext:  // its pending values are texts, on dats
        return s.pops == 0;
    default:
        return false;
    }
}

// The most segments a chained change's round is followed through: a longer
// round is not steady.
constexpr size_t steadymax = 64;

// Follows the ways a chained change's round can go, from its test's ways
// back into the loop up to the change again.
struct roundwalk {
    const segment& change;
    std::vector<const segment*> open, done;  // on the way being followed; followed to its end
    uintptr_t room = 0;

    static bool in(const std::vector<const segment*>& list, const segment* x)
    {
        return std::find(list.begin(), list.end(), x) != list.end();
    }
    // False where a segment does not keep datd, or a way comes round again
    // without passing the change (an inner loop: its rounds would go by
    // without the checks the change makes once a round), or there are too
    // many.
    bool follow(const segment* x)
    {
        if (!x || x == &change || in(done, x))
            return true;
        if (in(open, x) || open.size() + done.size() >= steadymax || !keepsdatd(*x))
            return false;
        room = std::max(room, x->roombytes);
        open.push_back(x);
        bool ok = true;
        if (x->what == tcjump || x->what == tjump)
            ok = follow(x->jump);
        if (ok && x->what != tjump)
            ok = follow(x->next);
        open.pop_back();
        done.push_back(x);
        return ok;
    }
};

// Marks a chained change steady when no segment its rounds can run calls,
// moves datd or comes twice in a round: its rounds then need datd's room
// found once (`roundroom`, the most any of them needs), and the segment
// loop's checks once a round.
static void steadyround(segment& s)
{
    const segment& test = *s.next;
    if (!keepsdatd(s) || !keepsdatd(test))
        return;
    roundwalk w{s, {}, {}, std::max(s.roombytes, test.roombytes)};
    if (((s.chained & 1) && !w.follow(test.jump)) || ((s.chained & 2) && !w.follow(test.next)))
        return;
    s.steady = 1;
    s.roundroom = w.room;
}

void buildsegments(segview& v)
{
    ExeScr& e = v.e;
    auto rg = std::make_unique<range>();
    rg->from = v.from;
    builder b(v, *rg);
    if (e.segat.size() < static_cast<size_t>(v.end))
        e.segat.resize(static_cast<size_t>(v.end));
    for (int32_t k = v.from; k < v.end;) {
        if (!v.isop(k) || v.istaken(k)) {
            ++k;
            continue;
        }
        segment* s = b.build(k);
        if (!s) {
            ++k;
            continue;
        }
        e.segat[static_cast<size_t>(k)] = s;
        k = b.ends.back().next;
    }
    // Where control goes from each segment: past plain jumps and landing
    // cells that do nothing, to the segment there, or back to the code loop.
    std::map<int32_t, segment*> exits;
    auto chase = [&](int32_t c) {
        for (int steps = 0; steps < 16 && v.isop(c); ++steps) {
            const opcode f = v.opat(c);
            if (f == ojump)
                c = static_cast<int32_t>(v.baseof(c) + v.operand(c + 1));
            else if (f == onoop)
                ++c;
            else
                break;
        }
        return c;
    };
    auto at = [&](int32_t c) -> const segment* {
        c = chase(c);
        if (c >= v.from && c < v.end && e.segat[static_cast<size_t>(c)])
            return e.segat[static_cast<size_t>(c)];
        segment*& x = exits[c];
        if (!x) {
            x = &rg->segments.make();
            x->cell = c;
            x->run = v.opat(c) == oend ? returnrun() : exitrun();
        }
        return x;
    };
    for (size_t j = 0; j < b.ends.size(); ++j) {
        const builder::pending& p = b.ends[j];
        p.s->next = at(p.next);
        if (p.jump >= 0)
            p.s->jump = at(p.jump);
        p.s->adjacent = j + 1 < b.ends.size() && p.s->next == b.ends[j + 1].s &&
                        range::segments_type::adjacent(p.ordinal, b.ends[j + 1].ordinal);
    }
    // Once every segment knows where it goes: a run may look at the next.
    for (const builder::pending& p : b.ends) {
        p.s->run = runner(*p.s);
        v.replace(p.s->cell, &E::segment_exec);
    }
    for (const builder::pending& p : b.ends) {
        if (!runswithtest(*p.s))
            continue;
        // Its test's ways back into the loop (to a cell before the change),
        // whose rounds runstep runs on itself; no such change begins them.
        const segment& test = *p.s->next;
        auto back = [&](const segment* to) {
            return to && to->cell <= p.s->cell && (to == p.s || !runswithtest(*to));
        };
        p.s->chained = static_cast<uint8_t>((back(test.jump) ? 1 : 0) | (back(test.next) ? 2 : 0));
        // One room check for both, which the change makes: what both pop,
        // and the room of either. Stricter than each alone, it only sends
        // their cells to run a little more often, and they do the same.
        p.s->popbytes += test.popbytes;
        p.s->roombytes = std::max(p.s->roombytes, test.roombytes);
        p.s->bound = test.value.n->b;
    }
    // Once every change's room covers its test's, so that a round's room is
    // read from rooms that are final.
    for (const builder::pending& p : b.ends)
        if (p.s->chained)
            steadyround(*p.s);
    for (const builder::pending& p : b.ends)
        if (p.s->what == tcall)
            callee(e, *p.s);
    e.segranges.push_back(std::move(rg));
}
