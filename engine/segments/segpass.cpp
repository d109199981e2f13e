// The segment pass, run after compilation: it places the loop
// superinstruction of segloop.cpp (a loop whose body is one compound
// assignment), then the segments of everything else that computes numbers or
// joins texts (segbuild.cpp).
// Nothing moves: code positions, jump operands and the line table stay
// valid. A sequence is taken only where every cell the pattern reads as an
// operation was emitted as one, and no jump, case, label or unit start lands
// inside it.
#include <vector>

#include "segments/segview.h"
#include "runtime/numrules.h"

using namespace numrules;

void buildsegments(segview& v);

namespace {

using E = ExeScr;
using namespace seg;

// The kind of a right-operand push, or -1.
int rightkind(opcode o)
{
    if (o == opushint)
        return E::rightint;
    if (o == opushnum)
        return E::rightnum;
    if (o == opushvar)
        return E::rightvar;
    return -1;
}

// 0 a jump taken on false, 1 on true, -1 not a conditional jump.
int condjumpof(opcode o)
{
    if (o == ojumpiffalse)
        return 0;
    if (o == ojumpiftrue)
        return 1;
    return -1;
}

struct pass {
    segview& v;

    // The parameters of a loop head at k (pushvar v; R; compare; conditional
    // jump) whose outcome that stays in the loop goes to `body`: false when
    // the cells there are not one. A head that goes on to other statements
    // first leaves the loop's rounds to the segments: run here, each round
    // would go through the code loop between the two.
    bool loophead(int64_t k, int32_t body, int& op, int& rk, int& jt) const
    {
        if (k < v.from || k >= v.end || v.opat(static_cast<int32_t>(k)) != opushvar)
            return false;
        const auto at = static_cast<int32_t>(k);
        rk = rightkind(v.opat(at + 2));
        op = rk < 0 ? -1 : binopof(v.opat(at + 4));
        jt = op < 0 ? -1 : condjumpof(v.opat(at + 5));
        if (jt < 0 || op < bopeq || op > bopge || !v.closed(at, 7))
            return false;
        return v.baseof(at + 5) + v.operand(at + 6) == body || at + 7 == body;
    }

    // The superinstruction for the sequence at k and its length in cells, or
    // nullptr.
    execfn match(int32_t k, int32_t& len) const
    {
        // R; compound assignment; the step of a loop to its head.
        if (const int rk = rightkind(v.opat(k)); rk >= 0 && v.opat(k + 2) == ocompoundassign) {
            int op, crk, jt;
            if (v.opat(k + 4) == oincdec && packed(v.operand(k + 5)).noresult &&
                v.opat(k + 6) == ojump && loophead(v.baseof(k + 6) + v.operand(k + 7), k, op, crk, jt)) {
                len = 8;
                return E::segloopfn(rk, op, crk, jt == 1);
            }
        }
        return nullptr;
    }

};

}  // namespace

// Whether the cells of `v` can run more than once for each time they are
// loaded (exeline, call): a jump among them goes back, or a function among
// them calls itself, directly or through others among them (a recursion runs
// the same cells again without a loop). Calls that only go down (main calls
// f, f calls g twice) run a function's cells once or a few times a load:
// too few to pay for their segments.
static bool runsmany(const segview& v)
{
    const ExeScr& e = v.e;
    const size_t funcs = e.functable.size();
    // Calls between the functions whose cells lie here, by the caller's index.
    std::vector<std::vector<int32_t>> calls(funcs);
    auto here = [&](int64_t f) {
        return f >= 0 && static_cast<size_t>(f) < funcs && e.functable[static_cast<size_t>(f)].codestart >= v.from &&
               e.functable[static_cast<size_t>(f)].codestart < v.end;
    };
    int32_t caller = -1;  // the function whose unit holds k
    int64_t unit = -1;
    for (int32_t k = v.from; k + 1 < v.end; ++k) {
        const opcode o = v.opat(k);
        // Jump operands count from their unit's first cell, which is `from`
        // or after it: counted from `from`, a target can only come out lower,
        // so no jump back is missed. A switch's cases lie after it.
        if (isjump(o) && v.from + v.operand(k + 1) <= k)
            return true;
        if (o != ousercall)
            continue;
        if (const int64_t base = v.baseof(k); base != unit) {
            unit = base;
            caller = -1;
            for (size_t f = 0; f < funcs; ++f)
                if (e.functable[f].codestart == base)
                    caller = static_cast<int32_t>(f);
        }
        const int64_t callee = v.operand(k + 1);
        if (caller >= 0 && here(callee))
            calls[static_cast<size_t>(caller)].push_back(static_cast<int32_t>(callee));
    }
    // A recursion is a cycle of calls: what no order of callers before their
    // callees can place (functions taken off while nothing calls them).
    std::vector<int32_t> callers(funcs), free;
    for (const auto& c : calls)
        for (int32_t f : c)
            ++callers[static_cast<size_t>(f)];
    for (size_t f = 0; f < funcs; ++f)
        if (!callers[f])
            free.push_back(static_cast<int32_t>(f));
    size_t placed = 0;
    while (!free.empty()) {
        const int32_t f = free.back();
        free.pop_back();
        ++placed;
        for (int32_t g : calls[static_cast<size_t>(f)])
            if (--callers[static_cast<size_t>(g)] == 0)
                free.push_back(g);
    }
    return placed < funcs;
}

void ExeScr::segpass(int32_t from, bool once)
{
    const int32_t end = codecount();
    dropsegments(from);
    if (!segon || !segdecoder->sound() || from < 0 || from >= end)
        return;
    segview v(*this, from, end);
    v.marklandings();
    if (once && !runsmany(v))
        return;
    pass p{v};
    for (int32_t k = from; k < end;) {
        int32_t len = 0;
        const execfn s = v.isop(k) ? p.match(k, len) : nullptr;
        if (s && k + len <= end && v.closed(k, len)) {
            v.replace(k, s);
            v.take(k, len);
            k += len;
        } else {
            ++k;
        }
    }
    buildsegments(v);
}
