// Segments: the records of the segment pass. segbuild.cpp reads compiled
// cells into them; segruns.cpp runs them (with the nodes of segnodes.cpp and
// the text forms of segtext.cpp, by the operand rules of segrules.h).
//
// A segment is a run of cells with no jump landing inside it that computes
// values and ends in at most one effect: an assignment, an increment, a
// compound assignment, a store into an element, a jump or conditional jump,
// a switch, a user-function call, a text joined into a string variable, or
// the values left on the datum stack for the cells after it. The values are
// trees of expression nodes whose operands are read where they lie (a
// variable, a constant, an element, another node), so no temporary goes
// through the datum stack.
//
// A segment reads and checks everything its cells would before its effect
// (its commit). Anything out of the common way (a variable that is not a
// number, a division by zero, an index past an array's level, a datum stack
// that the cells would overflow or grow) runs its cells as compiled instead,
// from its first cell (segbail), so messages and lines stay the cells' own.
// The datum stack's room is checked by whatever runs a segment, before its
// run function (runsegments, a chained change's rounds): the run functions
// take it as given.
//
// The rule a reader must keep: a few checks leave a trace before the commit,
// and the fallback makes them harmless only because it runs the same cells in
// the same order. An element used for the first time is made while it is
// located (as arrayindex_run makes it, so the cells find it made); a two-
// number idiv sets idivrem and eflags while it evaluates (the cells set them
// again to the same values). A check that left any other trace, or cells
// that would not redo it identically, would break the fallback. For the same
// reason a call read in place evaluates every argument the cells evaluate,
// and none whose idiv would then run out of the cells' order (segbuild.cpp).
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "runtime/codecell.h"
#include "runtime/datum.h"

class ExeScr;

namespace seg {

// Where an operand comes from: every kind is numbered here, once. The node
// and run functions are made for each of the first `kinds` (their tables are
// indexed by them); the kinds after those belong to one part alone.
enum kind : uint8_t {
    kglobal,  // a global variable: its index
    klocal,   // a local: its index, negative from the top of stackdd
    kconst,   // a constant: the operand holds it as a datum (a literal text: below)
    knode,    // the value of a node
    // An integer constant, its value `i`: known to be an integer where the
    // run is made, so the double paths beside it fall away.
    kint,
    kpop,     // a datum that lay on datd when the segment began: its depth (1: the top)
    kinds,    // how many kinds the tables are made for
    // The pass only: an element's index as arrayindex_run leaves it on datd,
    // its node at hand for what takes it.
    kref = kinds,
    // A join's texts only: a piece cut from a text (cutstr), its node's `a`
    // the text (`ka` its kind), `b` the start and, with `hasend`, `c` the end.
    kcut,
    // The run functions' targets only: an element of one index that is a
    // global or a local, located in place rather than through its node.
    kelemglobal,
    kelemlocal,
};

// Text operands are of the kinds kglobal, klocal, kconst and knode (an
// element): the text forms' tables are made for the first `textkinds`.
constexpr int textkinds = knode + 1;
static_assert(kglobal < textkinds && klocal < textkinds && kconst < textkinds && kint >= textkinds && kpop >= textkinds);

struct node;

// An operand. A constant is laid out as a datum (value, tag). A text operand
// (what var2str, pushvarstr_exec or pushstrlit_exec would push) is a kglobal
// or klocal variable read as text, a knode element (its node's `ref`), or a
// kconst literal whose pool reference `i` holds.
struct opnd {
    union {
        int64_t i;
        double d;
        const node* n;
    };
    uint32_t isint;
};

// 1 or 0 for a truth, -1 when the cells must run instead.
using evalfn = bool (*)(ExeScr& e, const node& n, datdcell& out);
using testfn = int (*)(ExeScr& e, const node& n);
using reffn = bool (*)(ExeScr& e, const node& n, int32_t& global);

// An expression node: `eval` gives its number and `test` its truth (false,
// or -1, when the cells must run instead); an element's `ref` gives the
// index of the global behind it, made on first use.
// What a node holds beyond its operands depends on what it is; each such
// field is named for the one kind of node that sets and reads it.
struct node {
    evalfn eval = nullptr;
    testfn test = nullptr;
    reffn ref = nullptr;
    opnd a{}, b{}, c{};
    uint8_t ka = 0, kb = 0, kc = 0;  // the operands' kinds
    int8_t bop = -1;                 // a binary node's operator (numrules::binopcode)
    union {
        int32_t array = 0;  // an element: its array's number
        int32_t incalls;    // a call read in place: the calls read in place it lies inside
        int32_t texts;      // a text number: the string datums on dats (from the segment's entry) as its cell runs
    };
    union {
        int32_t indexcell = 0;  // an element: its arrayindex_run operand cell
        int32_t pbrk;           // a text search: 1 for strpbrk, 0 for strstr
        int32_t hasend;         // a piece of a text: 1 when cutstr has an end
    };
    uint16_t height = 1;  // levels of nodes from this one down (the pass bounds it)
    // 1 when it or a node below it sets idivrem and eflags (an idiv), or
    // may make an element (one used for the first time is made where it is
    // located): values whose order among others the cells' order fixes.
    uint8_t sets = 0;
    uint8_t makes = 0;
};

// What a segment does at its end.
enum term : uint8_t {
    tnone,      // nothing: its values are left on datd
    tassign,    // number into a variable or an element
    tcompound,  // x op= v
    tincdec,    // ++ / --
    tcjump,     // a conditional jump
    tjump,      // a jump
    tcall,      // a user-function call
    tdrop,      // the value is dropped
    ttext,      // texts joined into a string variable or an element (`pend`: the texts)
    tswitch,    // a switch on the value
};

struct segment;
// Runs a segment: the segment that comes next, or null when the code loop
// goes on from ip (set), the segment's cells having run when it could not.
using runfn = const segment* (*)(ExeScr& e, const segment& s);

// Most values a segment leaves on datd, and most arguments of a call.
constexpr int maxpend = 8;

struct segment {
    runfn run = nullptr;
    int32_t cell = 0;   // its first cell
    int32_t pops = 0;   // datd entries below the entry top that its cells pop
    int32_t room = 0;   // entries its cells push beyond the entry top, at most
    uintptr_t popbytes = 0, roombytes = 0;  // the same in bytes of datd
    execfn orig{};      // the first cell's operation as compiled
    const segment* next = nullptr;  // the segment that comes next
    const segment* jump = nullptr;  // where a taken jump goes
    opnd target{};      // the variable's index, or the element node
    opnd value{};       // the value; the test of a conditional jump
    opnd bound{};       // a change run with the test after it: what the test compares with
    uintptr_t roundroom = 0;  // a steady change: the most datd room its rounds' segments need, in bytes
    uint8_t tkind = 0, vkind = 0;
    uint8_t what = tnone;
    uint8_t npend = 0, nargs = 0;
    // A change run with the test after it (runswithtest): bit 0 when the
    // test's jump, bit 1 when its next, goes back into the loop (to a cell
    // before the change: this change, or no other such change), whose rounds
    // the change's run then runs on.
    uint8_t chained = 0;
    // A chained change whose rounds leave datd as they found it (no segment
    // of theirs pushes, pops or calls): `roundroom` covers every one of
    // them, so a room found once holds for all its rounds.
    uint8_t steady = 0;
    // 1 when `next` was made right after this one (blockstore::adjacent): it
    // lies at this + 1.
    uint8_t adjacent = 0;
    // What the effect needs besides; each named for the one term that sets
    // and reads it.
    union {
        uint32_t op = 0;    // tcompound: the operator's token (numrules::tokpluseq ...)
        uint32_t mode;      // tincdec: 0 and 1 increment, 2 and 3 decrement
        uint32_t ontrue;    // tcjump: 1 when it jumps on true
        uint32_t texts;     // ttext: the most string datums its cells have on dats at once
        uint32_t casetable; // tswitch: its case table
    };
    union {
        int32_t callcell = 0;  // tcall: the usercall_exec cell
        int32_t unitbase;      // tswitch: the first cell of its unit, from which its cases count
    };
    int32_t func = 0;      // tcall: the function it calls
    // The callee's first segment (null: the call is made as usercall_exec
    // makes it), its first cell, and its records (parameters, then locals).
    const segment* callee = nullptr;
    int32_t calleebase = 0, calleelocals = 0, calleeparams = 0;
    // A callee that begins "if (test) return(value)": the segment that
    // pushes that value before the end cell, and the one past the test.
    const segment* quick = nullptr;
    const segment* past = nullptr;
    uintptr_t quickroom = 0;  // the datd room both need, in bytes
    opnd pend[maxpend]{};  // values left on datd, the bottom first
    uint8_t pendk[maxpend]{};
    opnd args[maxpend]{};  // a call's arguments, the first parameter first
    uint8_t argk[maxpend]{};
};

// Records that never move once made, kept N to a block in the order they are
// made, so that a segment made right after another lies right after it in
// memory: a run then finds the next one by its address, without a load that
// the next segment's own loads would have to wait for.
template <class T, size_t N>
class blockstore {
public:
    // A new record, and its place in the order of making.
    T& make(size_t& ordinal)
    {
        if (store.empty() || used == N) {
            store.push_back(std::make_unique<T[]>(N));
            used = 0;
        }
        ordinal = size();
        return store.back()[used++];
    }
    T& make()
    {
        size_t ignored;
        return make(ignored);
    }
    size_t size() const { return store.empty() ? 0 : (store.size() - 1) * N + used; }
    // Whether the records made as `a` and `b` lie side by side in one block.
    static bool adjacent(size_t a, size_t b) { return b == a + 1 && a / N == b / N; }

    class iterator {
    public:
        iterator(const blockstore& s, size_t k) : s_(&s), k_(k) {}
        const T& operator*() const { return s_->store[k_ / N][k_ % N]; }
        iterator& operator++()
        {
            ++k_;
            return *this;
        }
        bool operator!=(const iterator& o) const { return k_ != o.k_; }

    private:
        const blockstore* s_;
        size_t k_;
    };
    iterator begin() const { return iterator(*this, 0); }
    iterator end() const { return iterator(*this, size()); }

private:
    std::vector<std::unique_ptr<T[]>> store;
    size_t used = 0;
};

// The segments and nodes built for the cells from `from` on; they go when
// those cells are compiled again (exeline reuses the end of the code list).
struct range {
    using segments_type = blockstore<segment, 32>;
    int32_t from = 0;
    segments_type segments;
    std::deque<node> nodes;
};

// The run functions and node functions the pass places, by operand kinds.
evalfn binary(int op, int lk, int rk);
testfn binarytest(int op, int lk, int rk);
// Unary forms: pushneg, pushnot (a variable's bits), bnot, lnot.
enum unop { uneg, uinvert, ubnot, ulnot, unops };
evalfn unary(int op, int k);
evalfn quotient(int ak, int bk);  // idiv of a dividend `a` and a divisor `b`
evalfn elemeval(int dims, int k1, int k2);
reffn elemref(int dims, int k1, int k2);
evalfn elemindex();  // the element's global index as a number
evalfn callvalue();  // a call answered by its function's one expression
evalfn andvalue();
testfn andtest();
evalfn orvalue();
testfn ortest();
testfn truthtest();  // the truth of `eval`
// Numbers of texts: strlen of a text operand, getc, strstr or strpbrk (the
// node's `pbrk`) of a haystack `a` and a needle `b`, strcmp.
evalfn textlength(int k);
evalfn textchar(int k);  // getc: the character of text `a` at the number `b`
evalfn textfind(int hk, int nk);
evalfn textfindfrom(int hk, int nk);  // the same from a start, the number `c`
evalfn textcompare(int ak, int bk);  // strcmp: `a` pushed last, `b` first
runfn textjoin(int tk);          // a ttext segment into a global, a local or an element
runfn runner(const segment& s);  // the run function for a built segment
bool runswithtest(const segment& s);  // whether its run makes the comparison of the segment after it too
runfn exitrun();                 // a segment that only leaves for the cell
runfn returnrun();               // the same at an end cell

// How the pass reads operations (segops.h).
class decoder;
const decoder& enginedecoder();

}  // namespace seg
