// Marks, pairs, colour stacks and the selection of the ViewBox, window-free.
#include "windows/vbmarks.h"

#include <algorithm>

namespace vbmarks {

linemarks& markstore::entry(uint32_t line)
{
    auto it = std::lower_bound(lines.begin(), lines.end(), line,
                               [](const linemarks& m, uint32_t l) { return m.line < l; });
    if (it == lines.end() || it->line != line)
        it = lines.insert(it, linemarks{line, {}});
    return *it;
}

bool markstore::add(int32_t line, int32_t start, int32_t end, uint32_t text, uint32_t back, uint32_t flags)
{
    // A negative position would be painted before the line it names.
    if (line < 0 || start < 0 || end < 0)
        return false;
    std::vector<markrec>& recs = entry(static_cast<uint32_t>(line)).recs;
    const uint32_t fill = (flags & 4) ? markfill : 0;
    if (flags & 2) {
        auto at = std::upper_bound(recs.begin(), recs.end(), start,
                                   [](int32_t c, const markrec& r) { return c < r.column; });
        recs.insert(at, markrec{start, fill, text, back});
    }
    if (flags & 1) {
        auto at = std::lower_bound(recs.begin(), recs.end(), end,
                                   [](const markrec& r, int32_t c) { return r.column < c; });
        recs.insert(at, markrec{end, markend | fill, 0, 0});
    }
    return true;
}

int32_t markstore::remove(int32_t line, int32_t start, int32_t end)
{
    if (line < 0)
        return 0;
    auto it = std::lower_bound(lines.begin(), lines.end(), static_cast<uint32_t>(line),
                               [](const linemarks& m, uint32_t l) { return m.line < l; });
    if (it == lines.end() || it->line != static_cast<uint32_t>(line))
        return 0;
    std::vector<markrec>& recs = it->recs;
    auto e = std::find_if(recs.begin(), recs.end(), [&](const markrec& r) { return r.column == end; });
    if (e == recs.end())
        return 0;
    recs.erase(e);
    auto s = std::find_if(recs.begin(), recs.end(), [&](const markrec& r) { return r.column == start; });
    if (s == recs.end())
        return 0;
    while (s + 1 != recs.end() && (s + 1)->column == start)
        ++s;
    recs.erase(s);
    return 1;
}

const linemarks* markstore::find(uint32_t line) const
{
    auto it = std::lower_bound(lines.begin(), lines.end(), line,
                               [](const linemarks& m, uint32_t l) { return m.line < l; });
    return it != lines.end() && it->line == line ? &*it : nullptr;
}

void pairstore::insert(const pairrec& r)
{
    auto at = std::lower_bound(pairs.begin(), pairs.end(), r, [](const pairrec& a, const pairrec& b) {
        return a.line < b.line || (a.line == b.line && a.column < b.column);
    });
    pairs.insert(at, r);
}

void pairstore::add(int32_t line1, int32_t column1, int32_t line2, int32_t column2)
{
    insert({line1, column1, line2, column2});
    insert({line2, column2, line1, column1});
}

const pairrec* pairstore::at(int32_t line, int32_t column) const
{
    auto it = std::lower_bound(pairs.begin(), pairs.end(), textpos{line, column},
                               [](const pairrec& a, const textpos& p) {
                                   return a.line < p.line || (a.line == p.line && a.column < p.column);
                               });
    return it != pairs.end() && it->line == line && it->column == column ? &*it : nullptr;
}

void markstate::push(uint32_t* stack, int32_t& count, uint32_t v)
{
    stack[count] = v;
    if (count < 64)
        ++count;
}

uint32_t markstate::pop(uint32_t* stack, int32_t& count, uint32_t empty)
{
    if (count == 0)
        return empty;
    return stack[--count];
}

void markstate::apply(const markrec& r)
{
    if (!(r.flags & markend)) {
        push(texts, ntext, text);
        push(backs, nback, back);
        if (r.text != keepcolour)
            text = r.text;
        if (r.back != keepcolour)
            back = r.back;
        if (r.flags & markfill) {
            brushset[nbrush] = brush;
            push(brushes, nbrush, brushcolour);
            brush = true;
            brushcolour = back;  // the record's background, or the one it kept
        }
        return;
    }
    text = pop(texts, ntext, cfg.text);
    back = pop(backs, nback, cfg.back);
    if (r.flags & markfill) {
        if (nbrush == 0) {
            brush = false;
        } else {
            brushcolour = pop(brushes, nbrush, 0);
            brush = brushset[nbrush];
        }
    }
}

void markstate::numberreset()
{
    text = cfg.text;
    back = cfg.back;
}

void markstate::applyline(const linemarks* lm, uint32_t len)
{
    if (!lm)
        return;
    for (const markrec& r : lm->recs) {
        if (r.column > static_cast<int32_t>(len))
            break;
        apply(r);
    }
}

bool selection::holds(int32_t line, int32_t column) const
{
    if (!on)
        return false;
    const textpos a = first(), b = last();
    if (linewise)
        return line >= a.line && line <= b.line;
    const textpos p{line, column};
    return !(p < a) && !(b < p);
}

bool selection::holdsbreak(int32_t line, uint32_t len) const
{
    if (!on)
        return false;
    const textpos a = first(), b = last();
    if (linewise)
        return line >= a.line && line <= b.line;
    return line < b.line && !(textpos{line, static_cast<int32_t>(len)} < a);
}

std::wstring selection::text(const std::vector<vblayout::lineentry>& lines, uint32_t count) const
{
    if (count == 0)
        return {};
    textpos a = first(), b = last();
    const auto clampline = [&](int32_t l) { return std::clamp<int32_t>(l, 0, static_cast<int32_t>(count) - 1); };
    a.line = clampline(a.line);
    b.line = clampline(b.line);
    const vblayout::lineentry& la = lines[static_cast<size_t>(a.line)];
    const vblayout::lineentry& lb = lines[static_cast<size_t>(b.line)];
    const wchar_t* from;
    const wchar_t* to;  // one past the last character taken
    if (linewise) {
        from = la.start;
        to = lb.start + lb.length;
    } else {
        from = la.start + std::min<uint32_t>(static_cast<uint32_t>(std::max(a.column, 0)), la.length);
        // The last position's character is taken; past a line's end there is none.
        const auto endcol = static_cast<uint32_t>(std::max(b.column, 0));
        to = lb.start + (endcol < lb.length ? endcol + 1 : lb.length);
    }
    return to > from ? std::wstring(from, to) : std::wstring();
}

}  // namespace vbmarks
