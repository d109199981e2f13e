// What the ViewBox keeps beside its text, free of windows: the coloured marks
// by line, the pair positions, the colour stacks that marks drive while the
// text is painted, and the visual selection with the text it copies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "windows/vblayout.h"

namespace vbmarks {

constexpr uint32_t keepcolour = 0xFFFFFFFF;  // a mark colour that keeps the one in force
constexpr uint32_t markend = 1;              // record flags: an end record (else a start)
constexpr uint32_t markfill = 2;             // the record pushes or pops a fill brush

// One record: where it applies and what it does (16 bytes).
struct markrec {
    int32_t column;
    uint32_t flags;
    uint32_t text;
    uint32_t back;
};

struct linemarks {
    uint32_t line;
    std::vector<markrec> recs;  // sorted by column
};

// The marks of a box, one entry per line, sorted by line.
class markstore {
public:
    // Flags bit 0: an end record at `end`; bit 1: a start record at `start`;
    // bit 2: both with the fill bit. A start goes after the records of its
    // column, an end before them. Negative lines or columns are refused (0).
    bool add(int32_t line, int32_t start, int32_t end, uint32_t text, uint32_t back, uint32_t flags);
    // Removes the first record at `end` and then the last of the first run of
    // records at `start`; 1 when both were found.
    int32_t remove(int32_t line, int32_t start, int32_t end);
    const linemarks* find(uint32_t line) const;
    const std::vector<linemarks>& all() const { return lines; }

private:
    linemarks& entry(uint32_t line);
    std::vector<linemarks> lines;
};

// A pair position and its partner (16 bytes).
struct pairrec {
    int32_t line, column, pline, pcolumn;
};

// The pairs, sorted by (line, column); every pair is held in both directions.
class pairstore {
public:
    void add(int32_t line1, int32_t column1, int32_t line2, int32_t column2);
    const pairrec* at(int32_t line, int32_t column) const;
    size_t size() const { return pairs.size(); }

private:
    void insert(const pairrec& r);
    std::vector<pairrec> pairs;
};

// The configured colours the stacks fall back to.
struct colours {
    uint32_t text;
    uint32_t back;
};

// The colours in force while a text is painted: the device context's text and
// background colours, the fill brush (by its colour), and the three stacks
// that start records push and end records pop. A stack holds at most 64
// entries; a push beyond overwrites the slot above them, and a pop of an empty
// stack gives the configured colour (or no brush).
class markstate {
public:
    explicit markstate(const colours& c) : cfg(c), text(c.text), back(c.back) {}
    void apply(const markrec& r);
    // A line's number is drawn: its colours go back to the configured ones.
    void numberreset();
    // Applies the records of a line that lie within it (up to its length),
    // stopping at the first beyond.
    void applyline(const linemarks* lm, uint32_t len);

    colours cfg;
    uint32_t text, back;
    bool brush = false;
    uint32_t brushcolour = 0;

private:
    static void push(uint32_t* stack, int32_t& count, uint32_t v);
    uint32_t pop(uint32_t* stack, int32_t& count, uint32_t empty);
    uint32_t texts[65] = {}, backs[65] = {}, brushes[65] = {};
    bool brushset[65] = {};
    int32_t ntext = 0, nback = 0, nbrush = 0;
};

// A position in the text.
struct textpos {
    int32_t line;
    int32_t column;
};
inline bool operator<(const textpos& a, const textpos& b)
{
    return a.line < b.line || (a.line == b.line && a.column < b.column);
}

// The visual selection: from the anchor to the caret, by characters or by
// whole lines.
struct selection {
    bool on = false;
    bool linewise = false;
    textpos anchor = {-1, -1};
    textpos caret = {0, 0};

    textpos first() const { return caret < anchor ? caret : anchor; }
    textpos last() const { return caret < anchor ? anchor : caret; }
    bool holds(int32_t line, int32_t column) const;
    // Whether the break that ends `line` (of length len) is selected.
    bool holdsbreak(int32_t line, uint32_t len) const;
    // The selected text as the buffer holds it, breaks included: by characters
    // up to and with the last position's character; by lines from the first
    // line's start to the last line's last character.
    std::wstring text(const std::vector<vblayout::lineentry>& lines, uint32_t count) const;
};

}  // namespace vbmarks
