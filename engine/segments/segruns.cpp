// Running segments (segments.h): the loop that goes from segment to
// segment without coming back to the code loop, and the run function of each
// kind of segment. A run first reads and checks everything its cells would
// (datd's room, every operand, the target), in the order they would, and
// only then commits: pops, values left on datd, the effect. When a check
// fails the segment's cells run as compiled; what it left behind is only
// what segments.h allows (an element made where it was located, an idiv's
// idivrem and eflags), which the cells leave again the same.
#include <iterator>

#include "segments/segrules.h"

using namespace numrules;

void ExeScr::segment_exec()
{
    runsegments(segat[static_cast<size_t>(ip - 1 - code)]);
}

void ExeScr::runsegments(const seg::segment* s)
{
    const int32_t floor = framefloor;
    framefloor = nframes;
    for (;;) {
        s = seg::stackfits(*this, *s) ? s->run(*this, *s) : segbail(*s);
        if (!s) {
            // The cells go on at ip. In a function called by a segment they
            // run in a nested code loop up to its end, and the call ends.
            if (!inframe() || stopflag == 1)
                break;
            runcode(static_cast<uint32_t>(ip - code));
            if (!(s = endframe()))
                break;
        }
        // What the code loop does between two cells.
        if (stopflag == 1) {
            ip = code + s->cell;
            break;
        }
        if (--pollcountdown == 0) {
            // What the window queue hears may end the script: its line is
            // the next segment's, as the code loop would stand there.
            pollcountdown = pollinterval;
            ip = code + s->cell;
            pollmessages();
        }
    }
    // A stop inside called functions: their frames go, and ip returns after
    // the outermost call, as their nested code loops would leave it.
    while (inframe())
        endframe();
    framefloor = floor;
}

// Inlined into each call segment's run: a recursion spends most of its time
// here, and the calls between these small steps cost as much as the steps.
NUMRULES_INLINE const seg::segment* ExeScr::callfast(const seg::segment& s)
{
    const seg::segment* go = s.callee;
    if (!go || calldepth >= maxcalldepth) {
        calluser();  // or its error, as its own call reports it
        return seg::nextof(s);
    }
    // The locals made inline, as cheap as the parameters; pushframe where the
    // stack must grow first.
    if (const int32_t extra = s.calleelocals - s.calleeparams; extra > 0 && !pushblanklocals(extra, true))
        pushframe(functable[static_cast<size_t>(s.func)], s.calleeparams, true);
    ++calldepth;  // the callee's own calls are one deeper
    if (s.quick && seg::stackroom(datd, 0, s.quickroom)) {
        // The test at the start of the callee, made here; where it returns
        // at once, its value is the call's.
        const int t = seg::testany(*this, go->vkind, go->value);
        if (t >= 0) {
            if ((t == static_cast<int>(go->ontrue)) == (s.quick == go->jump)) {
                datdcell v;
                if (seg::fetchany(*this, s.quick->pendk[0], s.quick->pend[0], v)) {
                    stackdd.top -= s.calleelocals;  // numbers and undefined records: no texts
                    --calldepth;
                    putcell(*datd.top++, v);
                    return seg::nextof(s);
                }
            } else {
                go = s.past;
            }
        }
    }
    if (!fastframes)
        fastframes = std::make_unique<fastframe[]>(maxcalldepth + 1);
    fastframe& f = fastframes[nframes++];
    f.next = s.next;
    f.back = s.callcell + 2;
    f.savedbase = unitbase;
    f.savedfunc = curfunc;
    f.locals = s.calleelocals;
    curfunc = s.func;
    unitbase = static_cast<uint32_t>(s.calleebase);
    return go;
}

NUMRULES_INLINE const seg::segment* ExeScr::endframe()
{
    // Read by fields: a copy of the whole record, written by fields just
    // before, would stall.
    const fastframe& f = fastframes[--nframes];
    const seg::segment* next = f.next;
    const int32_t back = f.back;
    unitbase = f.savedbase;
    curfunc = f.savedfunc;
    const int32_t locals = f.locals;
    poplocals(locals);
    --calldepth;
    if (stopflag == 1) {
        ip = code + back;
        return nullptr;
    }
    return next;  // (which sets ip where it leaves the segments)
}

const seg::segment* ExeScr::segbail(const seg::segment& s)
{
    ip = code + s.cell + 1;
    (this->*(s.orig))();
    return nullptr;
}

void ExeScr::dropsegments(int32_t from)
{
    if (segat.size() > static_cast<size_t>(from))
        segat.resize(static_cast<size_t>(from));
    while (!segranges.empty() && segranges.back()->from >= from)
        segranges.pop_back();
}

namespace seg {
namespace {

// x op= v by compound(), the common sums and products inline; false for a
// zero divisor, which the cells report.
NUMRULES_INLINE bool compounded(ExeScr& e, uint32_t op, const datdcell& x, const datdcell& v, datdcell& out)
{
    switch (op) {
    case tokpluseq:
        return fastbin<bopadd>(e, x, v, out);
    case tokminuseq:
        return fastbin<bopsub>(e, x, v, out);
    case tokmuleq:
        return fastbin<bopmul>(e, x, v, out);
    default:
        if (divides(op) && asdbl(v) == 0.0)
            return false;
        out = compound(e, x, v, op);
        return true;
    }
}

// Modes: 0 and 1 increment, 2 and 3 decrement; the kind stays.
NUMRULES_INLINE datdcell stepped(const datdcell& x, uint32_t mode)
{
    if (x.isint)
        return mkint(mode < 2 ? wrapadd(x.i, 1) : wrapsub(x.i, 1));
    return mkdbl(x.d + (mode < 2 ? 1.0 : -1.0));
}

// As callargnum_exec for each argument, and usercall_exec; `x` holds the
// arguments as the cells pushed them (the last parameter first).
template <int N>
NUMRULES_INLINE const segment* callnow(ExeScr& e, const segment& s, const datdcell* x)
{
    e.ip = e.code + s.callcell + 1;  // at the call's operand, as usercall_exec finds it
    const int n = N >= 0 ? N : s.nargs;
    for (int k = n - 1; k >= 0; --k)
        e.pushlocalnum(x[k]);
    return e.callfast(s);
}

// Any segment: every operand's kind read at run time, values left on datd.
const segment* rungeneric(ExeScr& e, const segment& s)
{
    datdcell pv[maxpend], av[maxpend], v{};
    for (int k = 0; k < s.npend; ++k)
        if (!fetchany(e, s.pendk[k], s.pend[k], pv[k]))
            return e.segbail(s);
    int t = 0;
    varrec* target = nullptr;
    switch (s.what) {
    case tassign:
    case tcompound:
    case tdrop:
        if (!fetchany(e, s.vkind, s.value, v))
            return e.segbail(s);
        break;
    case tcjump:
        t = testany(e, s.vkind, s.value);
        if (t < 0)
            return e.segbail(s);
        break;
    case tcall:
        for (int k = 0; k < s.nargs; ++k)
            if (!fetchany(e, s.argk[k], s.args[k], av[k]))
                return e.segbail(s);
        break;
    default:
        break;
    }
    if (s.what == tassign || s.what == tcompound || s.what == tincdec) {
        if (!targetany(e, s, target))
            return e.segbail(s);
        if (s.what != tassign) {
            datdcell x;
            if (!readvar(target, x))
                return e.segbail(s);
            if (s.what == tincdec)
                v = stepped(x, s.mode);
            else if (!compounded(e, s.op, x, v, v))
                return e.segbail(s);
        }
    }
    popcells(e, s);
    for (int k = 0; k < s.npend; ++k)
        putcell(*e.datd.top++, pv[k]);
    switch (s.what) {
    case tassign:
    case tcompound:
    case tincdec:
        storevar(target, v);
        return nextof(s);
    case tcjump:
        return branchto(s, t == static_cast<int>(s.ontrue));
    case tjump:
        return s.jump;
    case tcall:
        return callnow<-1>(e, s, av);
    default:
        return nextof(s);
    }
}

// ---- the common segments, with nothing left on datd, by operand kinds

template <int TK, int VK>
const segment* runassign(ExeScr& e, const segment& s)
{
    datdcell v;
    varrec* t;
    if (!fetch<VK>(e, s.value, v) || !targetof<TK>(e, s, t))
        return e.segbail(s);
    popcells(e, s);
    storevar(t, v);
    return nextof(s);
}

// An assignment of a binary operator's value whose operands are variables or
// constants ("x = k + 1"): the operator inline, by its operands' kinds,
// where runassign would call the node. Read in the node's order.
template <int TK, int OP, int LK, int RK>
const segment* runassignbin(ExeScr& e, const segment& s)
{
    const node& n = *s.value.n;
    datdcell l, r, v;
    varrec* t;
    if (!fetch<LK>(e, n.a, l) || !fetch<RK>(e, n.b, r) || !fastbin<OP>(e, l, r, v) ||
        !targetof<TK>(e, s, t))
        return e.segbail(s);
    popcells(e, s);
    storevar(t, v);
    return nextof(s);
}

template <int TK, int VK>
const segment* runcompound(ExeScr& e, const segment& s)
{
    datdcell v, x, r;
    varrec* t;
    if (!fetch<VK>(e, s.value, v) || !targetof<TK>(e, s, t) || !readvar(t, x) ||
        !compounded(e, s.op, x, v, r))
        return e.segbail(s);
    popcells(e, s);
    storevar(t, r);
    return nextof(s);
}

// A compound assignment that compounded() computes inline (+=, -=, *=),
// its operator OP inline by the value's kind, where runcompound would choose
// it at run time and call out for the others. Read as runcompound reads.
template <int TK, int OP, int VK>
const segment* runcompoundbin(ExeScr& e, const segment& s)
{
    datdcell v, x, r;
    varrec* t;
    if (!fetch<VK>(e, s.value, v) || !targetof<TK>(e, s, t) || !readvar(t, x) || !fastbin<OP>(e, x, v, r))
        return e.segbail(s);
    popcells(e, s);
    storevar(t, r);
    return nextof(s);
}

template <int TK>
const segment* runincdec(ExeScr& e, const segment& s)
{
    datdcell x;
    varrec* t;
    if (!targetof<TK>(e, s, t) || !readvar(t, x))
        return e.segbail(s);
    popcells(e, s);
    storevar(t, stepped(x, s.mode));
    return nextof(s);
}

template <int OP, int LK, int RK, int JT>
const segment* runcmpjump(ExeScr& e, const segment& s)
{
    const node& n = *s.value.n;
    datdcell l, r;
    if (!fetch<LK>(e, n.a, l) || !fetch<RK>(e, n.b, r))
        return e.segbail(s);
    popcells(e, s);
    return branchto(s, compare<OP>(e, l, r) == (JT != 0));
}

// The checks the segment loop makes between two segments, made by a loop's
// change between its own: true where a stop or the next message poll is the
// segment loop's to see to, else one step counted.
NUMRULES_INLINE bool handback(ExeScr& e)
{
    if (e.stopflag == 1 || e.pollcountdown <= 1)
        return true;
    --e.pollcountdown;
    return false;
}

// A change of a variable (W: tassign, tcompound or tincdec) whose next
// segment tests that variable against an operand of kind RK, as a loop's
// step and its head do: both in one run, the change as runassign,
// runcompound or runincdec makes it. When the test cannot be made here, its
// own segment runs it.
//
// Where the test goes back into its loop (`chained`), the loop's rounds go
// on here: the segments of each round run from here, with the checks the
// segment loop makes between two segments, up to this change again. What
// those checks or the segments ask for besides (a stop, a message poll, the
// cells, a way out of the loop) is handed to the segment loop as it would
// have found it. A round that comes to another chained change (an inner
// loop's, or an outer one's after a break or a return) ends there and hands
// it to the segment loop, so these runs never nest: only the segment loop
// calls a chained change's run. Steady rounds (segbuild.cpp) have datd's
// room checked once, for all their segments.
template <int W, int TK, int OP, int RK, int JT>
const segment* runstep(ExeScr& e, const segment& s)
{
    // The change's room check covers the test's, and the change holds what
    // the test compares with (segbuild.cpp). The first round's room was
    // checked by the caller.
    const segment& test = *nextof(s);
    if (e.roundstacklow) [[unlikely]] {
        const char here = 0;
        const auto at = reinterpret_cast<uintptr_t>(&here);
        e.roundstacklow = std::min(e.roundstacklow, at);
        e.roundstackhigh = std::max(e.roundstackhigh, at);
    }
    const bool steady = s.steady && stackroom(e.datd, 0, s.roundroom);
    for (bool checked = true;; checked = steady) {
        datdcell v, x, y;
        varrec* t;
        if (!checked && !stackfits(e, s))
            return e.segbail(s);
        if constexpr (W == tassign) {
            if (!fetchany(e, s.vkind, s.value, v) || !targetof<TK>(e, s, t))
                return e.segbail(s);
        } else if constexpr (W == tcompound) {
            if (!fetchany(e, s.vkind, s.value, y) || !targetof<TK>(e, s, t) || !readvar(t, x) ||
                !compounded(e, s.op, x, y, v))
                return e.segbail(s);
        } else {
            if (!targetof<TK>(e, s, t) || !readvar(t, x))
                return e.segbail(s);
            v = stepped(x, s.mode);
        }
        popcells(e, s);
        storevar(t, v);
        datdcell r;
        if (!fetch<RK>(e, s.bound, r))
            return &test;
        const bool jumps = compare<OP>(e, v, r) == (JT != 0);
        const segment* go = branchto(test, jumps);
        if (!(s.chained & (jumps ? 1 : 2)))
            return go;
        // The round's segments up to this change again, with the checks the
        // segment loop makes between two: the change and its test make no
        // call and cannot stop the run, so none is missed before the first.
        // What they find is the segment loop's to see to (and to count down).
        if (go == &s) {  // the change is the loop's one statement
            if (handback(e))
                return go;
            continue;
        }
        // Another loop's change ends the round as well: it goes back to the
        // segment loop, which runs its rounds at the depth of this one.
        if (steady) {
            // Segments that make no call and none of which comes twice in a
            // round: the checks are made once a round, as between the loop
            // superinstruction's rounds.
            do
                go = go->run(e, *go);
            while (go && !go->chained);
            if (go != &s || handback(e))
                return go;
            continue;
        }
        do {
            go = stackfits(e, *go) ? go->run(e, *go) : e.segbail(*go);
            if (!go || handback(e))
                return go;
        } while (!go->chained);
        if (go != &s)
            return go;
    }
}

template <int JT>
const segment* runtestjump(ExeScr& e, const segment& s)
{
    const int t = testany(e, s.vkind, s.value);
    if (t < 0)
        return e.segbail(s);
    popcells(e, s);
    return branchto(s, t == JT);
}

// A switch goes to the segment at its case's cell, or to the cells there.
const segment* runswitch(ExeScr& e, const segment& s)
{
    datdcell v;
    if (!fetchany(e, s.vkind, s.value, v))
        return e.segbail(s);
    popcells(e, s);
    const size_t cell = static_cast<size_t>(s.unitbase + e.casetarget(s.casetable, intof(v)));
    if (cell < e.segat.size() && e.segat[cell])
        return e.segat[cell];
    e.ip = e.code + cell;
    return nullptr;
}

template <int N>
const segment* runcall(ExeScr& e, const segment& s)
{
    datdcell x[N > 0 ? N : 1];
    if constexpr (N == 0)
        x[0] = datdcell{};
    for (int k = 0; k < N; ++k)
        if (!fetchany(e, s.argk[k], s.args[k], x[k]))
            return e.segbail(s);
    popcells(e, s);
    return callnow<N>(e, s, x);
}

// Leaves a segment's one value on datd; false when its cells must run.
template <int K>
NUMRULES_INLINE bool pushone(ExeScr& e, const segment& s)
{
    datdcell v;
    if (!fetch<K>(e, s.pend[0], v))
        return false;
    popcells(e, s);
    putcell(*e.datd.top++, v);
    return true;
}

// One value left on datd.
template <int K>
const segment* runpush(ExeScr& e, const segment& s)
{
    if (pushone<K>(e, s))
        return nextof(s);
    return e.segbail(s);
}

// The same, where the end cell comes next: "return(x)".
template <int K>
const segment* runpushreturn(ExeScr& e, const segment& s)
{
    if (!pushone<K>(e, s))
        return e.segbail(s);
    if (e.inframe())
        return e.endframe();
    e.ip = e.code + s.next->cell;
    return nullptr;
}

const segment* runexit(ExeScr& e, const segment& s)
{
    e.ip = e.code + s.cell;
    return nullptr;
}

// An end cell: the end of a function called by a segment, or of the unit.
const segment* runreturn(ExeScr& e, const segment& s)
{
    if (e.inframe())
        return e.endframe();
    e.ip = e.code + s.cell;
    return nullptr;
}

// The kinds of target the tables are made for, by their row: a global, a
// local, an element, and an element of one index that is a global or a
// local.
constexpr int targetkinds[] = {kglobal, klocal, knode, kelemglobal, kelemlocal};
constexpr int targets = static_cast<int>(std::size(targetkinds));
constexpr int targetrow(int tk) { return rowin(targetkinds, tk); }
// The targets of the forms made for variables alone, by their row.
constexpr int varkinds[] = {kglobal, klocal};
constexpr int variables = static_cast<int>(std::size(varkinds));
constexpr int varrow(int tk) { return rowin(varkinds, tk); }

// The six comparisons, from bopeq on; a jump's two senses (on false, on true).
constexpr int comparisons = bopge - bopeq + 1;
constexpr int senses = 2;
// The changes runstep makes, by their row.
constexpr int stepterms[] = {tassign, tcompound, tincdec};
constexpr int changes = static_cast<int>(std::size(stepterms));

// Operands read without a node: a variable or a constant, by their row.
constexpr int simplekinds[] = {kglobal, klocal, kconst, kint};
constexpr int simples = static_cast<int>(std::size(simplekinds));
constexpr int simplerow(int k) { return rowin(simplekinds, k); }

// The compound assignments compounded() computes inline, by their row: the
// token and the binary operator it applies.
constexpr int inlinetokens[] = {tokpluseq, tokminuseq, tokmuleq};
constexpr int inlineops[] = {bopadd, bopsub, bopmul};
static_assert(std::size(inlinetokens) == std::size(inlineops));
constexpr int inlinecompounds = static_cast<int>(std::size(inlinetokens));

// Calls of up to this many arguments have a run function each; more take
// the generic one.
constexpr int fastargs = 4;

// Each table's parameters, in the order of its template's.
using targetvalue = grid<targets, kinds>;                                  // target, value kind
using assignbingrid = grid<variables, bopcount, simples, simples>;        // target, operator, operands' rows
using compoundbingrid = grid<variables, inlinecompounds, simples>;        // target, operator's row, value's row
using cmpjumpgrid = grid<comparisons, kinds, kinds, senses>;              // comparison, left, right, sense
using stepgrid = grid<changes, variables, comparisons, kinds, senses>;    // change, target, comparison, bound, sense

constexpr auto assigntable =
    maketable<targetvalue>(&runfails, []<int T, int V>() -> runfn { return &runassign<targetkinds[T], V>; });
constexpr auto assignbintable = maketable<assignbingrid>(&runfails, []<int T, int OP, int L, int R>() -> runfn {
    return &runassignbin<varkinds[T], OP, simplekinds[L], simplekinds[R]>;
});
constexpr auto compoundtable =
    maketable<targetvalue>(&runfails, []<int T, int V>() -> runfn { return &runcompound<targetkinds[T], V>; });
constexpr auto compoundbintable = maketable<compoundbingrid>(&runfails, []<int T, int OP, int V>() -> runfn {
    return &runcompoundbin<varkinds[T], inlineops[OP], simplekinds[V]>;
});
constexpr auto incdectable =
    maketable<grid<targets>>(&runfails, []<int T>() -> runfn { return &runincdec<targetkinds[T]>; });
constexpr auto cmpjumptable = maketable<cmpjumpgrid>(
    &runfails, []<int C, int L, int R, int J>() -> runfn { return &runcmpjump<bopeq + C, L, R, J>; });
constexpr auto steptable = maketable<stepgrid>(&runfails, []<int W, int T, int C, int R, int J>() -> runfn {
    return &runstep<stepterms[W], varkinds[T], bopeq + C, R, J>;
});
constexpr auto testjumptable = maketable<grid<senses>>(&runfails, []<int J>() -> runfn { return &runtestjump<J>; });
constexpr auto calltable = maketable<grid<fastargs + 1>>(&runfails, []<int N>() -> runfn { return &runcall<N>; });
constexpr auto pushtable = maketable<grid<kinds>>(&runfails, []<int K>() -> runfn { return &runpush<K>; });
constexpr auto pushreturntable =
    maketable<grid<kinds>>(&runfails, []<int K>() -> runfn { return &runpushreturn<K>; });

// The row of a segment's target in the tables above.
int targetslot(const segment& s)
{
    if (s.tkind != knode)
        return targetrow(s.tkind);
    const reffn ref = s.target.n->ref;
    return targetrow(ref == elemref(1, kglobal, kconst) ? kelemglobal : ref == elemref(1, klocal, kconst) ? kelemlocal : knode);
}

// The comparison of the segment after a change of a variable (an
// assignment, a compound assignment, an increment), when it compares that
// variable with an operand and does nothing else.
const node* steptest(const segment& s)
{
    if ((s.what != tassign && s.what != tcompound && s.what != tincdec) || varrow(s.tkind) < 0 || s.npend || !s.next)
        return nullptr;
    const segment& t = *s.next;
    if (t.what != tcjump || t.npend || t.pops || t.vkind != knode || !t.jump || !t.next)
        return nullptr;
    const node* n = t.value.n;
    return n->bop >= bopeq && n->bop <= bopge && n->ka == s.tkind && n->a.i == s.target.i && n->kb < kinds ? n : nullptr;
}

}  // namespace

const segment* runfails(ExeScr& e, const segment& s)
{
    failedcheck();
    return e.segbail(s);
}

runfn runner(const segment& s)
{
    if (s.what == ttext)
        return textjoin(s.tkind);
    if (s.what == tswitch)
        return &runswitch;
    if (s.what == tnone && s.npend == 1)
        return s.next && s.next->run == &runreturn ? pushreturntable(s.pendk[0]) : pushtable(s.pendk[0]);
    if (s.npend)
        return &rungeneric;
    if (s.what == tcall && s.nargs <= fastargs)
        return calltable(s.nargs);
    if (const node* n = steptest(s))
        return steptable(rowin(stepterms, s.what), varrow(s.tkind), n->bop - bopeq, n->kb, s.next->ontrue ? 1 : 0);
    switch (s.what) {
    case tassign:
        if (const node* n = s.value.n;
            varrow(s.tkind) >= 0 && s.vkind == knode && n->bop >= 0 && simplerow(n->ka) >= 0 && simplerow(n->kb) >= 0)
            return assignbintable(varrow(s.tkind), n->bop, simplerow(n->ka), simplerow(n->kb));
        return assigntable(targetslot(s), s.vkind);
    case tcompound:
        if (const int op = rowin(inlinetokens, static_cast<int>(s.op)); varrow(s.tkind) >= 0 && op >= 0 && simplerow(s.vkind) >= 0)
            return compoundbintable(varrow(s.tkind), op, simplerow(s.vkind));
        return compoundtable(targetslot(s), s.vkind);
    case tincdec:
        return incdectable(targetslot(s));
    case tcjump:
        if (s.vkind == knode && s.value.n->bop >= bopeq && s.value.n->bop <= bopge) {
            const node& n = *s.value.n;
            return cmpjumptable(n.bop - bopeq, n.ka, n.kb, s.ontrue ? 1 : 0);
        }
        return testjumptable(s.ontrue ? 1 : 0);
    default:
        return &rungeneric;
    }
}

bool runswithtest(const segment& s)
{
    return steptable.holds(s.run);
}

runfn exitrun()
{
    return &runexit;
}

runfn returnrun()
{
    return &runreturn;
}

}  // namespace seg
