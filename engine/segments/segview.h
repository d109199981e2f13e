// The segment pass's view of a range of cells (segpass.cpp, segbuild.cpp):
// which cells the emitter placed as operations, each read as its opcode
// (segops.h), where control can arrive other than from the cell before, and
// the operations as compiled where the pass has already put its own in their
// place.
#pragma once

#include <algorithm>
#include <vector>

#include "runtime/exescr.h"
#include "segments/segops.h"

class segview {
public:
    ExeScr& e;
    int32_t from, end;

    segview(ExeScr& engine, int32_t first, int32_t last)
        : e(engine), from(first), end(last), ops(static_cast<size_t>(last - first), seg::onone),
          landing(static_cast<size_t>(last - first)), source(static_cast<size_t>(last - first), nosource),
          replaced(static_cast<size_t>(last - first)), taken(static_cast<size_t>(last - first))
    {
        const seg::decoder& d = *e.segdecoder;
        for (int32_t k = from; k < end; ++k)
            if (isop(k))
                ops[at(k)] = d.of(e.code[k].op);
    }

    bool isop(int32_t k) const
    {
        return k >= from && k < end && static_cast<size_t>(k) < e.opmarks.size() &&
               e.opmarks[static_cast<size_t>(k)] == 1;
    }
    // What the operation the compiler placed at k is, onone where there is none.
    seg::opcode opat(int32_t k) const { return k >= from && k < end ? ops[at(k)] : seg::onone; }
    // That operation itself.
    execfn fnat(int32_t k) const
    {
        if (!isop(k))
            return nullptr;
        const execfn r = replaced[at(k)];
        return r ? r : e.code[k].op;
    }
    void replace(int32_t k, execfn s)
    {
        replaced[at(k)] = e.code[k].op;
        e.code[k].op = s;
    }
    // The cells a superinstruction stands for, from k on: no segment takes them.
    void take(int32_t k, int32_t len)
    {
        for (int32_t j = k; j < k + len && j < end; ++j)
            taken[at(j)] = 1;
    }
    bool istaken(int32_t k) const { return k >= from && k < end && taken[at(k)]; }
    // The first cell of the unit that holds k: jump operands count from it.
    int64_t baseof(int32_t k) const
    {
        const auto it = std::upper_bound(units.begin(), units.end(), k);
        return it == units.begin() ? from : *(it - 1);
    }
    int64_t operand(int32_t k) const { return k < end ? e.code[k].i : 0; }
    bool islanding(int32_t k) const { return k >= from && k < end && landing[at(k)]; }
    // Whether control arrives at k only from the cell before and from the
    // jump at `jump`.
    bool onlyfrom(int32_t k, int32_t jump) const { return k >= from && k < end && source[at(k)] == jump; }
    // No cell strictly after `k` and before `k + len` is entered from elsewhere.
    bool closed(int32_t k, int32_t len) const
    {
        for (int32_t j = k + 1; j < k + len; ++j)
            if (islanding(j))
                return false;
        return true;
    }

    // Where control can arrive other than from the cell before.
    void marklandings()
    {
        units.push_back(from);
        for (const funcrec& f : e.functable)
            if (f.codestart >= from && f.codestart < end)
                units.push_back(f.codestart);
        std::sort(units.begin(), units.end());
        for (int32_t u : units)
            land(u, manysources);
        size_t unit = 0;
        for (int32_t k = from; k < end; ++k) {
            while (unit + 1 < units.size() && units[unit + 1] <= k)
                ++unit;
            const seg::opcode o = opat(k);
            if (k + 1 >= end)
                continue;
            const int64_t base = units[unit];
            if (seg::isjump(o)) {
                land(base + e.code[k + 1].i, k);
            } else if (o == seg::oswitch) {
                const int64_t t = e.code[k + 1].i;
                if (t < 0 || t >= e.casetables.count())
                    continue;
                const looprec& table = e.casetables.base[t];
                for (const caseentry* c = table.cases; c && c < table.cursor; ++c)
                    land(base + c->target, manysources);
                land(base + table.defaulttarget, manysources);
                land(base + table.endtarget, manysources);
            }
        }
        for (const labelrec* l = e.labels.base; l && l < e.labels.top; ++l)
            land(static_cast<int64_t>(l->unit) + l->codeidx, manysources);
    }

private:
    static constexpr int32_t nosource = -1, manysources = -2;
    // Each by index - from.
    std::vector<seg::opcode> ops;
    std::vector<uint8_t> landing;  // where control can arrive other than from the cell before
    std::vector<int32_t> source;   // the one jump that lands there, else nosource or manysources
    std::vector<execfn> replaced;  // the operation a superinstruction took the place of
    std::vector<uint8_t> taken;
    std::vector<int32_t> units;    // first cells of the units, ascending

    size_t at(int32_t k) const { return static_cast<size_t>(k - from); }
    void land(int64_t k, int32_t jump)
    {
        if (k < from || k >= end)
            return;
        const size_t j = at(static_cast<int32_t>(k));
        landing[j] = 1;
        source[j] = source[j] == nosource && jump >= 0 ? jump : manysources;
    }
};

