// The program generator of the both-ways fuzzer (support/progen.h): that its
// programs compile, end, and reach the forms the segment pass reads. A change
// that loses a form, or starts making programs that do not compile or do not
// end, shows here rather than as a fuzzer that silently finds less.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "compiler/scriptsource.h"
#include "runtime/exescr.h"
#include "runtime/numrules.h"
#include "segments/segments.h"
#include "support/bothways.h"
#include "support/progen.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

namespace {

using namespace seg;

struct compilefailed {};
void throwfatal(ExeScr&, const wchar_t*)
{
    throw compilefailed{};
}

// Counts of the forms built, by name.
using tally = std::map<std::string, int>;

const char* const termnames[] = {"none", "assign", "compound", "incdec", "cjump",
                                 "jump", "call",   "drop",     "text",   "switch"};

// Every node function the pass can place, by the form it computes.
std::map<evalfn, std::string> nodeforms()
{
    static const char* const ops[] = {"+", "-", "*", "/", "%", "==", "!=", "<", ">", "<=", ">=", "&", "|", "^", "<<", ">>"};
    static const char* const unops[] = {"neg", "invert", "bnot", "lnot"};
    std::map<evalfn, std::string> f;
    for (int a = 0; a < kinds; ++a) {
        for (int b = 0; b < kinds; ++b) {
            for (int op = 0; op < numrules::bopcount; ++op)
                f[binary(op, a, b)] = std::string("binary ") + ops[op];
            f[quotient(a, b)] = "idiv";
            for (int d = 1; d <= 3; ++d)
                f[elemeval(d, a, b)] = "element of " + std::to_string(d);
        }
        for (int op = 0; op < 4; ++op)
            f[unary(op, a)] = std::string("unary ") + unops[op];
    }
    for (int a = 0; a < 4; ++a) {
        f[textlength(a)] = "strlen";
        f[textchar(a)] = "getc";
        for (int b = 0; b < 4; ++b) {
            f[textfind(a, b)] = "strstr";
            f[textfindfrom(a, b)] = "strstr from";
            f[textcompare(a, b)] = "strcmp";
        }
    }
    f[elemindex()] = "element index";
    f[callvalue()] = "call read in place";
    f[andvalue()] = "&&";
    f[orvalue()] = "||";
    return f;
}

// The run functions of the tables that compute an operator inline, asked of
// the pass's own choice (seg::runner) for a segment of each shape, by the
// forms each counts as: "x = a OP b" into a global or a local of variables
// and literals, and "x += v", "x -= v", "x *= v" by a variable or a literal.
std::map<runfn, std::vector<std::string>> inlineruns()
{
    static const char* const ops[] = {"+", "-", "*", "/", "%", "==", "!=", "<", ">", "<=", ">=", "&", "|", "^", "<<", ">>"};
    const struct {
        int kind;
        const char* name;
    } targets[] = {{kglobal, "a global"}, {klocal, "a local"}},
      operands[] = {{kglobal, "a global"}, {klocal, "a local"}, {kconst, "a literal"}, {kint, "an integer literal"}};
    std::map<runfn, std::vector<std::string>> runs;
    size_t probes = 0;
    for (const auto& t : targets) {
        for (int op = 0; op < numrules::bopcount; ++op) {
            for (const auto& l : operands) {
                for (const auto& r : operands) {
                    node n;
                    n.bop = static_cast<int8_t>(op);
                    n.ka = static_cast<uint8_t>(l.kind);
                    n.kb = static_cast<uint8_t>(r.kind);
                    segment g;
                    g.what = tassign;
                    g.tkind = static_cast<uint8_t>(t.kind);
                    g.vkind = knode;
                    g.value.n = &n;
                    runs[runner(g)] = {std::string("x = a OP b into ") + t.name, std::string("x = a ") + ops[op] + " b",
                                       std::string("x = a OP b, a: ") + l.name, std::string("x = a OP b, b: ") + r.name};
                    ++probes;
                }
            }
        }
        const struct {
            uint32_t token;
            const char* name;
        } compounds[] = {{numrules::tokpluseq, "+="}, {numrules::tokminuseq, "-="}, {numrules::tokmuleq, "*="}};
        for (const auto& c : compounds) {
            for (const auto& v : operands) {
                segment g;
                g.what = tcompound;
                g.tkind = static_cast<uint8_t>(t.kind);
                g.op = c.token;
                g.vkind = static_cast<uint8_t>(v.kind);
                runs[runner(g)] = {std::string("x OP= v into ") + t.name, std::string("x ") + c.name + " v",
                                   std::string("x OP= v by ") + v.name};
                ++probes;
            }
        }
    }
    // A run function of each shape its own: else the pass chose a general
    // one for some, and the counts below would count what is not inline.
    EXPECT_EQ(runs.size(), probes) << "shapes that share a run function";
    return runs;
}

std::vector<execfn> loopfns()
{
    std::vector<execfn> s;
    for (int rk = 0; rk < ExeScr::rightkinds; ++rk)
        for (int op = numrules::bopeq; op <= numrules::bopge; ++op)
            for (int crk = 0; crk < ExeScr::rightkinds; ++crk)
                for (int jt = 0; jt < 2; ++jt)
                    s.push_back(ExeScr::segloopfn(rk, op, crk, jt != 0));
    return s;
}

// Compiles one program with the pass and counts what the pass built.
bool count(const std::wstring& text, tally& t, const std::map<evalfn, std::string>& forms,
           const std::map<runfn, std::vector<std::string>>& inlines, const std::vector<execfn>& loops)
{
    auto* e = new ExeScr();
    qtest::scriptsource src(text);
    void (*const before)(ExeScr&, const wchar_t*) = g_fatalhook;
    g_fatalhook = throwfatal;
    bool ok = true;
    try {
        e->loadscript(src.text());
        e->segpass(0);
    } catch (const compilefailed&) {
        ok = false;
    }
    g_fatalhook = before;
    if (ok) {
        for (const auto& r : e->segranges) {
            for (const segment& s : r->segments) {
                if (!s.run || s.run == exitrun() || s.run == returnrun())
                    continue;
                if (s.what == tnone && s.npend == 0)
                    continue;
                ++t[std::string("segment ") + termnames[s.what]];
                if (s.what == tassign || s.what == tcompound || s.what == tincdec || s.what == ttext)
                    ++t[std::string(termnames[s.what]) + (s.tkind == klocal ? " to a local" : s.tkind == knode ? " to an element" : " to a global")];
                if (s.what == ttext && s.npend > 1 && s.pendk[0] == s.tkind && s.pend[0].i == s.target.i && s.tkind != knode)
                    ++t["text appended to its target"];
                for (int k = 0; k < s.npend; ++k)
                    if (s.pendk[k] == kcut)
                        ++t["cutstr piece"];
                if (s.what == tcall && s.callee)
                    ++t["call into the callee's segments"];
                if (s.quick)
                    ++t["call answered by its first if-return"];
                if (runswithtest(s))
                    ++t["step run with its loop test"];
                if (s.chained) {
                    // The rounds its run runs on: back by the test's jump
                    // (a for loop's test after its step) or by its next (a
                    // while loop's test ahead of the body the step ends).
                    const segment& test = *s.next;
                    ++t[s.steady ? "steady round" : "chained round that is not steady"];
                    if (s.chained & 1)
                        ++t["round back by the test's jump"];
                    if (s.chained & 2)
                        ++t["round back by the test's next"];
                    if (((s.chained & 1) && test.jump == &s) || ((s.chained & 2) && test.next == &s))
                        ++t["round of the change alone"];
                }
                if (const auto f = inlines.find(s.run); f != inlines.end())
                    for (const std::string& form : f->second)
                        ++t[form];
                if (s.pops)
                    ++t["values popped that lay on datd"];
            }
            for (const node& n : r->nodes) {
                if (const auto f = forms.find(n.eval); f != forms.end())
                    ++t[f->second];
                if (n.ka == klocal || n.kb == klocal)
                    ++t["local operand"];
            }
        }
        for (int32_t k = 0; k < e->codecount(); ++k)
            if (e->opmarks[static_cast<size_t>(k)] && std::find(loops.begin(), loops.end(), e->code[k].op) != loops.end())
                ++t["loop superinstruction"];
    }
    // Left as compiled: nothing of it runs.
    return ok;
}

TEST(ProgramGenerator, TheSameSeedMakesTheSamePrograms)
{
    qtest::progen a(17), b(17), c(18);
    const std::wstring first = a.program();
    EXPECT_EQ(qtest::narrow(first), qtest::narrow(b.program()));
    EXPECT_NE(qtest::narrow(first), qtest::narrow(c.program()));
    EXPECT_NE(qtest::narrow(a.program()), qtest::narrow(first));  // the next one is another
}

TEST(ProgramGenerator, ProgramsReachEveryFormOfTheSegmentPass)
{
    const auto forms = nodeforms();
    const auto inlines = inlineruns();
    const auto loops = loopfns();
    tally t;
    int failed = 0;
    qtest::progen gen(20261211);
    const int programs = 300;
    for (int k = 0; k < programs; ++k)
        if (!count(gen.program(), t, forms, inlines, loops))
            ++failed;
    EXPECT_EQ(0, failed) << "generated programs that do not compile";
    std::set<std::string> want = {"segment assign", "segment compound", "segment incdec", "segment cjump",
                                  "segment jump", "segment call", "segment drop", "segment text",
                                  "segment switch", "segment none", "assign to a local", "assign to an element",
                                  "compound to a local", "compound to an element", "incdec to an element",
                                  "text to a local", "text to an element", "text appended to its target",
                                  "cutstr piece", "call into the callee's segments",
                                  "call answered by its first if-return", "step run with its loop test",
                                  "values popped that lay on datd", "local operand", "loop superinstruction",
                                  "idiv", "element of 1", "element of 2", "element of 3", "call read in place",
                                  "&&", "||", "strlen", "getc", "strstr", "strstr from", "strcmp",
                                  "unary neg", "unary invert", "unary bnot", "unary lnot"};
    for (const char* op : {"+", "-", "*", "/", "%", "==", "!=", "<", ">", "<=", ">=", "&", "|", "^", "<<", ">>"}) {
        want.insert(std::string("binary ") + op);
        want.insert(std::string("x = a ") + op + " b");
    }
    // The rounds a loop's change runs on, and the tables of operators inline.
    for (const char* form : {"steady round", "chained round that is not steady", "round back by the test's jump",
                             "round back by the test's next", "round of the change alone"})
        want.insert(form);
    for (const char* where : {"a global", "a local"}) {
        want.insert(std::string("x = a OP b into ") + where);
        want.insert(std::string("x OP= v into ") + where);
    }
    for (const char* operand : {"a global", "a local", "a literal", "an integer literal"}) {
        want.insert(std::string("x = a OP b, a: ") + operand);
        want.insert(std::string("x = a OP b, b: ") + operand);
        want.insert(std::string("x OP= v by ") + operand);
    }
    for (const char* op : {"+=", "-=", "*="})
        want.insert(std::string("x ") + op + " v");
    std::string all;
    for (const auto& [form, n] : t)
        all += "  " + form + ": " + std::to_string(n) + "\n";
    for (const std::string& form : want)
        EXPECT_GE(t[form], 3) << form << " is built too seldom in " << programs << " programs; all:\n" << all;
}

TEST(ProgramGenerator, ProgramsEndAndFewEndInAnError)
{
    int programs = 0, stopped = 0, fatal = 0;
    std::wstring stoppedone;
    qtest::onscriptstack([&] {
        qtest::inprocess runner(qtest::scratchdir() + L"progen.log");
        qtest::progen gen(5150);
        for (; programs < 250; ++programs) {
            const std::wstring text = gen.program();
            // The cells as compiled: what the programs do, whatever the pass does.
            const qtest::runresult r = runner.run(text, false, 5000);
            if (r.stopped) {
                ++stopped;
                stoppedone = text;
            }
            fatal += r.fatal ? 1 : 0;
        }
    });
    EXPECT_EQ(0, stopped) << qtest::narrow(stoppedone);
    // Some end in an error on purpose; most must run to their end, or the
    // statements after an early error are never compared.
    EXPECT_GE(fatal, programs / 40);
    EXPECT_LE(fatal, programs / 4);
}

}  // namespace
