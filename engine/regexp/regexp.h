// The engine's own regular expressions. A pattern is compiled in two levels:
// level 1 (tokenizer.cpp) turns its text into 32-bit tokens and class records,
// level 2 (compiler.cpp) turns the tokens into a node program, after group
// calls have been expanded; matcher.cpp runs the program with a backtracker
// inside fixed limits; substitution.cpp rewrites a copy of the subject. No
// window is touched: the object needs only its engine
// for tracked blocks, log lines and the fatal exit.
#pragma once

#include <cstdint>
#include <cwchar>

#include "regexp/classrec.h"
#include "runtime/scriptobjects.h"
#include "runtime/utf16.h"

class ExeScr;


// ---- tokens of level 1 (a sequence ends with 0)
// 1 to 0x2FFFF: a literal code point; "$ ( ) * + . ? ^ |" are operators to level 2.
constexpr uint32_t tokclass = 0x100000;        // + class record index
constexpr uint32_t tokcount = 0x200000;        // + m * 256 + n: {m,n}, n 255 unbounded, n 0 exactly m
constexpr uint32_t tokbackref = 0x400000;      // + reference number
constexpr uint32_t tokboundary = 0x800000;     // + index of a "\w" record
constexpr uint32_t toknotboundary = 0x1000000; // + index of a "\w" record

// ---- node kinds of level 2
enum : uint32_t {
    ndempty = 0,     // never run; ends the program
    ndliteral = 1,   // a: code point
    ndclass = 2,     // a: class record
    ndend = 3,       // the subject ends here
    ndsuccess = 4,   // ends a match or a lookaround body
    ndjump = 5,      // b: target
    ndsplit = 6,     // b: first choice, c: second choice; a: splitlazyloop or 0
    ndcapture = 7,   // a: group number, b: 0 opening / 1 closing
    ndboundary = 8,  // a: "\w" record
    ndnotboundary = 9,
    ndbackref = 10,  // a: capture record number
    ndlookahead = 11,   // a: 0 positive / 1 negative, b: node after the body
    ndlookbehind = 12,  // as ndlookahead
    ndstart = 13,    // at the start of the subject
    ndany = 14,      // any code point
    ndcall = 15,     // a: group number, 0 the whole pattern; not expanded yet
    ndloopback = 16, // possessive loop: a: its split, b: body, c: exit
};

// A lazy loop's split tries its exit (b) first: met again at the same
// position, the loop leaves through b instead of entering its body once more.
constexpr uint32_t splitlazyloop = 1;

struct rxnode {
    uint32_t kind, a, b, c;
};

// One capture record: the captured text in the subject and the group it closed.
struct rxcapture {
    const wchar_t* text;
    uint32_t len;
    uint32_t group;
};

// Token indexes of a "(" and its ")".
struct rxpair {
    uint32_t open, close;
};

// ---- results of regexmatch and regexrun
enum : int {
    rxmatched = 1,
    rxnomatch = 0,
    rxcallmet = -1,    // the backtracker met a group call (internal)
    rxdeep = -2,       // group calls nested too deeply, or their expansion failed
    rxanchor = -4,     // a pattern starting with "^" did not match at the start
    rxbad1 = -100,     // level 1 refused the pattern
    rxbad2 = -200,     // level 2 refused it, or the program is too large
    rxfatal = -1000,   // a fatal limit was reported to a handler that returned
};

// Fatal limit errors go to this handler with their message. The engine's own
// handler is the fatal exit and never returns; a handler that returns (a
// test's) makes the running call give up and return rxfatal.
using rxfatalfn = void (*)(void* ctx, const wchar_t* msg);

// Fixed limits.
constexpr uint32_t rxmaxgroups = 255;    // "(" pairs of a pattern and of its expansion
constexpr uint32_t rxmaxcaptures = 255;  // capture records of one match
constexpr uint32_t rxmaxstack = 2000;    // backtrack entries of one run
constexpr uint32_t rxmaxvisits = 1999;   // visited splits of one run
constexpr uint32_t rxmaxexpand = 16;     // expansion levels
// Caps on what one pattern may build, so that no pattern exhausts memory.
constexpr uint32_t rxmaxnodes = 1u << 18;
constexpr uint32_t rxmaxclasses = 256;
constexpr uint32_t rxmaxtokens = 1u << 18;
// A replacement template keeps at most this many units.
constexpr uint32_t rxmaxtemplate = 256;
// A result text longer than this cannot be built: it fails as an allocation
// would (the fatal "malloc failure").
constexpr uint64_t rxmaxresult = 1ull << 30;

// A growable array that starts in storage inside the object and moves to a
// tracked block (allocation id `id`) when it grows.
template <class T, uint32_t N>
struct rxarray {
    T inl[N];
    T* base = inl;
    uint32_t cap = N;
    uint32_t count = 0;
    int32_t id;
    explicit rxarray(int32_t allocid) : id(allocid) {}
    T& operator[](uint32_t i) { return base[i]; }
    const T& operator[](uint32_t i) const { return base[i]; }
};

// A growable array held only in a tracked block.
template <class T>
struct rxheap {
    T* base = nullptr;
    uint32_t cap = 0;
    uint32_t count = 0;
    int32_t id;
    explicit rxheap(int32_t allocid) : id(allocid) {}
    T& operator[](uint32_t i) { return base[i]; }
    const T& operator[](uint32_t i) const { return base[i]; }
};

// Allocation id under which a regular-expression object is tracked.
constexpr int32_t regexpobjid = 1400;

class RegExp : public scriptobject {
public:
    explicit RegExp(ExeScr& engine);
    ~RegExp() override;
    RegExp(const RegExp&) = delete;
    RegExp& operator=(const RegExp&) = delete;

    // An object in a plain heap block, entered in the engine's tracked list
    // with size 0 and id 1400, as a script's named objects are; the run's end
    // (or destroy) gives it back through the deleting destructor.
    static RegExp* make(ExeScr& engine);
    static void destroy(ExeScr& engine, RegExp* rx);
    // Gives back every tracked block; the object starts again uncompiled.
    void regexp_release();

    // ---- level 1 (tokenizer.cpp)
    // 1 valid; 0 invalid; rxdeep when the first expansion of group calls
    // overflows the group table; rxbad2 when the pattern needs too much.
    int regextokens(const wchar_t* pattern);
    // Reads "{hex}" after "\u"; p is left past "}". 1 or 0 (message logged).
    int parsehexchar(const wchar_t*& p, uint32_t& cp);
    // Reads a bracket expression after its "[" into class record k and leaves
    // p past its "]". 1 or 0.
    int parsebracket(uint32_t k, const wchar_t*& p);
    // Class records by index.
    void clsadd(uint32_t k, uint32_t cp);
    void clsaddrange(uint32_t k, uint32_t first, uint32_t last);
    classrec& cls(uint32_t k) { return classes[k]; }

    // ---- level 2 (compiler.cpp)
    // Compiles the working copy into the node program (without its success
    // node). 1 or 0.
    int regexcompile();
    // One level of group-call expansion on the working copy: 1 done; 0 stopped
    // at a call it cannot expand; rxdeep when the groups would pass 255;
    // rxbad2 when the working copy would pass its cap.
    int regexexpand();

    // ---- matching (matcher.cpp)
    // flags bit 0: use the program compiled before. start: where the search
    // begins, 0xFFFFFFFF to compile only; end: where the subject is cut,
    // 0xFFFFFFFF for none. Searches the current subject.
    int regexmatch(uint32_t flags, const wchar_t* pattern, uint32_t start, uint32_t end);
    // Both compilation levels, the success node and the strategy: 1, or the
    // refusal code (rxbad1, rxbad2, rxdeep, rxfatal). Logs nothing.
    int regexbuild(const wchar_t* pattern);
    // The search driver over the current subject: 1, 0, rxdeep, rxanchor,
    // rxbad2 (a larger expansion refused) or rxfatal.
    int regexrun(uint32_t start, uint32_t end);
    // One run of the backtracker from node `first` at pos over the current
    // search: 1 (pos = match end), 0, rxcallmet, rxanchor or rxfatal.
    int regexbacktrack(uint32_t first, const wchar_t*& pos);

    // ---- substitution (substitution.cpp)
    // flags: bit 0 the program compiled before, bit 1 the template kept, bit 2
    // the current subject, bit 4 (16) the first match only. start: where the
    // search begins, 0xFFFFFFFF to compile only (0, or the refusal code).
    // Otherwise 1 when something was replaced, else the first search's result
    // (0 as well after a failed compilation), or rxfatal.
    int regexsubs(uint32_t flags, const wchar_t* pattern, const wchar_t* replacement,
                  const wchar_t* subjecttext, uint32_t start);
    // The replacement loop over the current subject with the current program
    // and template: 1, the first search's result, or rxfatal.
    int regexreplace(uint32_t start, bool all);
    // The template: the text's first rxmaxtemplate units (never half a pair).
    void settemplate(const wchar_t* text);
    // The result of the last substitution that replaced something ("" before).
    const wchar_t* resulttext() const { return result.count ? result.base : L""; }
    uint32_t resultlength() const { return result.count; }

    // The subject: a copy held by the object, or a text used in place. A new
    // subject drops the match and captures found in the old one.
    void setsubject(const wchar_t* text);
    void usesubject(const wchar_t* text)
    {
        subject = text;
        subjectlen = static_cast<uint32_t>(wcslen(text));
        mstart = mend = nullptr;
        ncaps = 0;
    }

    // ---- the state a caller reads
    ExeScr& eng;
    rxfatalfn onfatal;
    void* fatalctx;

    const wchar_t* subject = nullptr;
    uint32_t subjectlen = 0;  // measured once: a replacement searches it once per match
    const wchar_t* mstart = nullptr;  // match start
    const wchar_t* mend = nullptr;    // match end; null until a match succeeds
    rxcapture caps[rxmaxcaptures + 1];
    uint32_t ncaps = 0;
    // 0 never compiled, 1 the program is valid, else the code of the failed compilation.
    int progstate = 0;
    uint32_t explevel = 0;

    enum : uint32_t { general = 0, simplerestart = 1, quicksearch = 2 };
    uint32_t strategy = general;

    // ---- level 1 state
    rxarray<uint32_t, 256> tokens{1850};
    rxarray<uint32_t, 256> work{1840};  // the working copy, expanded
    uint32_t altflag = 0;
    rxpair pairs1[rxmaxgroups] = {};    // of the level-1 tokens
    uint32_t npairs1 = 0;
    rxpair pairsw[rxmaxgroups] = {};    // of the working copy
    uint32_t npairsw = 0;
    struct cacheent {
        uint32_t key;  // a code point, or cachetable + a predefined table
        uint32_t cls;
    };
    static constexpr uint32_t cachetable = 0x80000000;
    cacheent cache[64] = {};
    uint32_t ncache = 0;
    rxheap<classrec> classes{1870};

    // ---- level 2 state
    rxarray<rxnode, 256> nodes{1900};
    uint32_t overflow = 0;  // a cap was reached during this compilation

    // ---- matcher state
    rxarray<wchar_t, 256> subjbuf{1890};
    const wchar_t* sstart = nullptr;  // the subject of the search under way
    const wchar_t* send = nullptr;    // its end (the terminator or the cut)
    uint32_t groupopen[256] = {};     // capture count at a group's latest opening
    uint32_t groupstart[256][256] = {};  // its start offset, by that count
    // The quick search: its literal and class nodes (program indexes) and the
    // shift for the code point past its window, count - k for the last listed
    // node k that accepts it, else count + 1. A table holds the shifts below
    // quicklow; above it the nodes are asked from the last, which stops after
    // as many nodes as the shift it finds is long: never more work than the
    // steps the search then takes. A compile fills nothing of the code space.
    static constexpr uint32_t quicklow = 0x100;
    uint32_t quickcount = 0;
    uint32_t quicknodes[256] = {};
    uint16_t lowshift[quicklow] = {};
    uint32_t shiftof(uint32_t cp) const
    {
        if (cp < quicklow)
            return lowshift[cp];
        const uint32_t m = quickcount;
        if (cp < cplimit) {
            for (uint32_t k = m; k-- > 0;) {
                const rxnode& n = nodes[quicknodes[k]];
                if (n.kind == ndliteral ? n.a == cp : classes[n.a].has(cp))
                    return m - k;
            }
        }
        return m + 1;  // no node accepts a code point from 0x30000 on
    }

    // The backtrack stack and the visited splits of the runs under way: a
    // lookaround's run works above its parent's, so nothing lives on the
    // native stack but one small frame per nested lookaround.
    struct rxentry {
        uint32_t node, off, ncap, split;
    };
    struct rxseen {
        uint32_t stamp, node, off;
    };
    static constexpr uint32_t seenslots = 4096;  // per nesting level, more than twice the visits
    rxheap<rxentry> stack{1810};
    rxheap<rxseen> seen{1820};   // seenslots per nesting level
    uint32_t stamps = 0;
    uint32_t fatalseen = 0;

    // ---- substitution state
    wchar_t templ[rxmaxtemplate + 1] = {};
    rxheap<wchar_t> result{1895};  // NUL-terminated; count excludes the NUL
    uint32_t afterpos = 0;         // in the result, behind a first-only replacement

private:
    template <class T, uint32_t N>
    void grow(rxarray<T, N>& a, uint32_t need);
    template <class T>
    void grow(rxheap<T>& a, uint32_t need, uint32_t first);
    template <class T, uint32_t N>
    void release(rxarray<T, N>& a);
    template <class T>
    void release(rxheap<T>& a);

    int fatal(const wchar_t* msg);
    bool logging() const;

    // level 1
    void tok(uint32_t t);
    int newclass();
    int cachedclass(uint32_t key);
    int bracketmember(const wchar_t*& p, uint32_t& cp);
    int bracketset(const wchar_t*& p, uint32_t k, bool subtract);
    int buildpairs(const rxarray<uint32_t, 256>& t, rxpair* pairs, uint32_t& npairs);

    // level 2
    struct rxitem;
    int compileseq(uint32_t i, uint32_t iend, bool possessive, uint32_t look);
    int compileitem(const rxitem& it, uint32_t look);
    int quantify(const rxitem& it, uint32_t q, bool lazy, bool possessive, uint32_t look);
    uint32_t emit(uint32_t kind, uint32_t a = 0, uint32_t b = 0, uint32_t c = 0);
    uint32_t findbar(uint32_t i, uint32_t iend) const;
    int pairof(uint32_t open) const;

    // matcher
    // Appends the success and end nodes: 1, or 0 when they do not fit.
    int finishprogram();
    void choosestrategy();
    void buildshift();
    // One start position of the search: the backtracker's result, with the
    // match start and end set.
    int tryat(const wchar_t* p);
    int backtrack(uint32_t first, const wchar_t*& pos, const wchar_t* end, uint32_t depth);
    uint32_t newstamp(uint32_t depth);
    bool visit(uint32_t depth, uint32_t stamp, uint32_t node, uint32_t off);
    int expandagain();
    // The driver proper; regexrun leaves no capture records after a failure.
    int search(uint32_t start, uint32_t end);

    // substitution
    void resultappend(const wchar_t* text, uint64_t len);
    int expandtemplate();
};
