// Random programs for the both-ways fuzzer (tools/fuzz): scripts in the
// engine's language that reach the forms the segment pass reads (integer and
// double arithmetic, elements of one to three indexes, texts and their
// numbers, calls, loops, switch), each run with the pass and without it and
// compared. Every program ends by construction: a loop's counter is written
// by its own header (or its first statement) alone, its count is small, a
// recursion goes down a depth parameter no other statement writes, and a
// budget of statements run bounds the work and the length of texts. Some
// programs end in a run-time error on purpose, so that the error and its
// line are compared too. No command acts outside the run.
//
// Header-only, like rxgen.h: the in-process fuzzer links no test library.
#pragma once

#include <cstdint>
#include <cwctype>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace qtest {

class progen {
public:
    explicit progen(uint32_t seed) : rng(seed) {}

    // One program, with CR LF line ends as the engine reads a file.
    std::wstring program()
    {
        funcs.clear();
        work = 0;
        maxwork = chance(20) ? 20000 : 3000;
        errors = chance(18);
        errordone = false;
        names = 0;
        exelines = false;
        qcs = 0;
        std::wstring functions;
        const size_t nfuncs = chance(25) ? 0 : 1 + pick(5);
        for (size_t k = 0; k < nfuncs; ++k)
            functions += function();
        const bool toplevel = chance(15);
        scope s;
        s.nums = {L"n0", L"n1", L"n2", L"n3", L"n4", L"n5"};
        s.strs = {L"s0", L"s1", L"s2", L"s3"};
        body.clear();
        ind = toplevel ? 0 : 1;
        if (!toplevel && chance(20)) {
            line(L"localvar(m0, m1)");
            line(L"m0 = " + literal());
            line(L"m1 = " + literal());
            s.nums.push_back(L"m0");
            s.nums.push_back(L"m1");
        }
        preamble(s);
        block(s, 4 + pick(10));
        ending(s);
        std::wstring out;
        if (toplevel)
            out = body + functions;
        else
            out = functions + L"main\r\n{\r\n" + body + L"}\r\n";
        return out;
    }

    std::mt19937 rng;

private:
    size_t pick(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(rng) : 0; }
    bool chance(int percent) { return int(pick(100)) < percent; }
    template <size_t N>
    const wchar_t* oneof(const wchar_t* const (&list)[N])
    {
        return list[pick(N)];
    }
    static std::wstring num(long long v) { return std::to_wstring(v); }

    // A loop counter or a recursion's depth: read anywhere, written only by
    // its own loop; lo and hi bound the values it takes.
    struct counter {
        std::wstring name;
        long long lo, hi;
    };
    struct fn {
        std::wstring name;
        std::vector<bool> textparam;  // per parameter, the first first
        bool text = false;            // functstr
        bool depth = false;           // its first parameter is a recursion's depth
        bool twice = false;           // it calls itself twice a level
        long cost = 1;                // statements a call runs (a level of a recursion)
    };
    struct scope {
        std::vector<std::wstring> nums;  // numbers to read and write
        std::vector<std::wstring> strs;  // texts to read and write
        std::vector<counter> counters;
        long mult = 1;       // runs of a statement here per run of its unit
        int loops = 0;       // loops around it
        int depth = 0;       // blocks around it
        bool infunc = false;
        bool textfunc = false;
        bool locals = false;              // counters are locals of a function
        // The loop's change ends its body, before its test: a continue
        // there would pass the change, so its body has none.
        bool changelast = false;
        std::vector<std::wstring>* declared = nullptr;  // its function's locals
    };

    std::vector<fn> funcs;
    long work = 0, maxwork = 0;
    bool errors = false, errordone = false;
    int names = 0;
    bool exelines = false;
    int qcs = 0;
    std::wstring body;   // the unit being written
    std::wstring saved;  // the outer unit's, while a function is written
    int ind = 0;

    void line(const std::wstring& t)
    {
        body.append(static_cast<size_t>(4 * ind), L' ');
        body += t;
        body += L"\r\n";
    }
    bool affords(const scope& s, long units) const { return work + s.mult * units <= maxwork; }
    void spend(const scope& s, long units = 1) { work += s.mult * units; }

    // ---- numbers

    std::wstring literal()
    {
        static const wchar_t* const small[] = {L"0", L"1", L"2", L"3", L"5", L"7", L"10", L"100", L"-1", L"-3", L"4"};
        static const wchar_t* const odd[] = {
            L"0.5",  L"2.5", L"-1.25", L"1.5", L"0.1", L"3037000500", L"4611686018427387904", L"9223372036854775807",
            L"LLONG_MAX", L"LLONG_MIN", L"INT_MAX", L"0x7fffffff", L"123456789.5", L"0.0", L"-2.5", L"1000000007",
            L"-9223372036854775807", L"65535", L"3037000499", L"UINT_MAX"};
        return chance(70) ? oneof(small) : oneof(odd);
    }
    // Not 0, also as an integer (idiv and %= on a double take one).
    std::wstring nonzero()
    {
        static const wchar_t* const list[] = {L"1", L"2", L"3", L"7", L"-1", L"-4", L"10", L"1.5", L"2.5", L"-2",
                                              L"3037000500", L"LLONG_MAX", L"16"};
        return oneof(list);
    }

    const counter* anycounter(const scope& s)
    {
        return s.counters.empty() ? nullptr : &s.counters[pick(s.counters.size())];
    }
    // A number that reads a variable.
    std::wstring numvar(const scope& s)
    {
        if (!s.strs.empty() && chance(3))
            return s.strs[pick(s.strs.size())];  // a text read as a number
        return number(s);
    }
    // A variable that holds a number, or a counter.
    std::wstring number(const scope& s)
    {
        if (const counter* c = anycounter(s); c && chance(30))
            return c->name;
        return s.nums[pick(s.nums.size())];
    }
    // An index below `size` (a power of two), or any index of `wide` writes.
    std::wstring index(const scope& s, long long size, bool wide = false)
    {
        if (errors && !errordone && chance(2)) {
            errordone = true;
            return chance(50) ? L"-1" : L"-2 - (" + expr(s, 1) + L" & 7)";
        }
        if (const counter* c = anycounter(s); c && chance(40)) {
            if (c->lo >= 0 && c->hi < size)
                return c->name;
            if (c->lo >= 0 && c->hi + 1 < size)
                return c->name + L" + 1";
            return c->name + L" & " + num(size - 1);
        }
        if (chance(5))
            return chance(50) ? L"1.5" : L"0.5 + " + num(static_cast<long long>(pick(static_cast<size_t>(size - 1))));
        if (chance(40))
            return num(static_cast<long long>(pick(static_cast<size_t>(size))));
        return L"(" + expr(s, 1) + L") & " + num((wide ? 2 * size : size) - 1);
    }
    // An element holding a number: ar is 0..9 and more where written, mx
    // 4 by 4, cu 4 by 4 by 4, qc the counters of loops.
    std::wstring element(const scope& s, bool wide = false)
    {
        switch (pick(10)) {
        case 0:
        case 1:
        case 2:
        case 3:
            return L"ar[" + index(s, 8, wide) + L"]";
        case 4:
        case 5:
            return L"mx[" + index(s, 4) + L"][" + index(s, 4) + L"]";
        case 6:
        case 7:
            return L"cu[" + index(s, 4) + L"][" + index(s, 4) + L"][" + index(s, 4) + L"]";
        case 8:
            if (errors && !errordone && chance(10)) {
                errordone = true;
                return L"mx[" + index(s, 4) + L"]";  // an array used with another count of indexes
            }
            return L"ar[" + index(s, 8) + L"]";
        default:
            return L"tx[" + index(s, 4) + L"]";  // a text read as a number
        }
    }

    std::wstring divisor(const scope& s)
    {
        if (errors && !errordone && chance(20)) {
            errordone = true;
            return chance(50) ? L"0" : L"(" + numvar(s) + L" - " + numvar(s) + L")";
        }
        if (chance(60))
            return nonzero();
        if (chance(90))
            return L"(" + expr(s, 1) + L" | 1)";
        return L"(" + expr(s, 1) + L")";  // may be 0: the run ends there
    }

    // A call of a user function: its text or its number.
    std::wstring call(const scope& s, bool text)
    {
        std::vector<size_t> fit;
        for (size_t k = 0; k < funcs.size(); ++k)
            if (funcs[k].text == text && affords(s, funcs[k].cost * (funcs[k].depth ? 2 : 1)))
                fit.push_back(k);
        if (fit.empty())
            return {};
        const fn& f = funcs[fit[pick(fit.size())]];
        std::wstring t = f.name + L"(";
        long levels = 1;
        for (size_t k = 0; k < f.textparam.size(); ++k) {
            if (k)
                t += L", ";
            if (k == 0 && f.depth) {
                // The depth: as many levels as the budget allows, and now and
                // then past the engine's depth limit where a level is cheap.
                long d = static_cast<long>(pick(f.twice ? 8 : 9));
                while (d > 0 && !affords(s, f.cost * (f.twice ? (2L << d) : d + 1)))
                    --d;
                if (errors && !errordone && !f.twice && f.cost <= 4 && chance(30)) {
                    errordone = true;
                    d = 2100;
                }
                levels = f.twice ? (2L << d) : d + 1;
                if (d > 2000)
                    levels = 2001;
                t += num(d);
            } else if (f.textparam[k]) {
                t += text1(s);
            } else {
                t += expr(s, 1);
            }
        }
        spend(s, f.cost * levels);
        return t + L")";
    }

    // A number of texts: strlen, getc, strstr, strpbrk, strcmp.
    std::wstring textnumber(const scope& s)
    {
        switch (pick(7)) {
        case 0:
            return L"strlen(" + text1(s) + L")";
        case 1:
        case 2:
            return L"getc(" + text1(s) + L", " + small(s) + L")";
        case 3:
            return L"strstr(" + text1(s) + L", " + needle(s) + L")";
        case 4:
            return L"strstr(" + text1(s) + L", " + needle(s) + L", " + small(s) + L")";
        case 5:
            return std::wstring(L"strpbrk(") + text1(s) + L", " + needle(s) + (chance(40) ? L", " + small(s) : L"") + L")";
        default:
            return L"strcmp(" + text1(s) + L", " + text1(s) + L")";
        }
    }
    // A small number: a position, a count, a start.
    std::wstring small(const scope& s)
    {
        if (const counter* c = anycounter(s); c && chance(50))
            return c->name;
        if (chance(15))
            return L"-1";
        if (chance(20))
            return L"strlen(" + text1(s) + L")";
        return num(static_cast<long long>(pick(6)));
    }

    std::wstring operand(const scope& s)
    {
        switch (pick(20)) {
        case 0:
        case 1:
        case 2:
            return literal();
        case 3:
            if (chance(8))
                return deep(s);
            return literal();
        case 4:
        case 5:
            return element(s);
        case 6:
            if (std::wstring c = call(s, false); !c.empty())
                return c;
            return numvar(s);
        case 7:
            return textnumber(s);
        case 8:
            if (chance(70))
                return L"-" + numvar(s);
            return L"~" + numvar(s);
        case 9:
            if (chance(25))
                return chance(70) ? L"idivrem()" : L"eflags()";
            return L"idiv(" + expr(s, 1) + L", " + divisor(s) + L")";
        default:
            return numvar(s);
        }
    }

    // A chain nested to the right, each operand waiting on the datum stack
    // for the one after it: past the stack's first block, and now and then
    // past its limit (256).
    std::wstring deep(const scope& s)
    {
        static const wchar_t* const ops[] = {L"+", L"-", L"*", L"^", L"|"};
        const size_t n = chance(90) ? 8 + pick(40) : 250 + pick(20);
        std::wstring t, close;
        for (size_t k = 0; k < n; ++k) {
            t += (k % 3 ? number(s) : literal()) + L" " + oneof(ops) + L" (";
            close += L")";
        }
        return L"(" + t + number(s) + close + L")";
    }

    std::wstring expr(const scope& s, int depth)
    {
        if (depth <= 0 || chance(30))
            return operand(s);
        static const wchar_t* const ops[] = {L"+",  L"+",  L"-",  L"-", L"*", L"*", L"/", L"%",  L"==", L"!=", L"<",
                                             L">",  L"<=", L">=", L"&", L"|", L"^", L"<<", L">>", L"&&", L"||"};
        switch (pick(12)) {
        case 0:
            return L"(" + expr(s, depth - 1) + L")";
        case 1:
            return (chance(50) ? L"!(" : L"~(") + expr(s, depth - 1) + L")";
        case 2:
            if (chance(40))
                return L"(" + cond(s, depth - 1) + L" ? " + expr(s, depth - 1) + L" : " + expr(s, depth - 1) + L")";
            return L"(" + expr(s, depth - 1) + L")";
        default: {
            const std::wstring op = oneof(ops);
            const std::wstring l = expr(s, depth - 1);
            const std::wstring r = op == L"/" || op == L"%" ? divisor(s) : expr(s, depth - 1);
            const std::wstring t = l + L" " + op + L" " + r;
            return chance(50) ? L"(" + t + L")" : t;
        }
        }
    }

    std::wstring cond(const scope& s, int depth)
    {
        static const wchar_t* const cmps[] = {L"==", L"!=", L"<", L">", L"<=", L">="};
        switch (pick(8)) {
        case 0:
            return expr(s, depth);
        case 1:
            return L"!" + numvar(s);
        case 2:
            return cond(s, 0) + (chance(50) ? L" && " : L" || ") + cond(s, 0);
        default:
            return expr(s, depth) + L" " + oneof(cmps) + L" " + expr(s, depth);
        }
    }

    // ---- texts

    std::wstring textliteral(const scope& s)
    {
        static const wchar_t* const list[] = {L"\"\"",      L"\"a\"",   L"\"ab\"",     L"\"xyz\"", L"\"0\"",
                                              L"\"42\"",    L"\"-7\"",  L"\"3.5\"",    L"\" \"",   L"\"12abc\"",
                                              L"\"b,c\"",   L"'q'",     L"\"hello\"",  L"\"\\t\"", L"\"ba\""};
        if (s.mult <= 8 && chance(12)) {
            // Lengths where a variable's text moves (23, 24, 128, 129), where
            // a datum's does (64, 65), and joins of two near the longest a
            // segment makes (256).
            static const size_t lens[] = {23, 24, 60, 64, 65, 127, 128, 129, 200, 256, 257};
            const size_t n = lens[pick(std::size(lens))];
            std::wstring t(n, L'a');
            for (size_t k = 0; k < n; ++k)
                t[k] = static_cast<wchar_t>(L'a' + k % 26);
            return L"\"" + t + L"\"";
        }
        return oneof(list);
    }
    std::wstring textvar(const scope& s) { return s.strs[pick(s.strs.size())]; }
    // One text as a single operand: what the segments read in place.
    std::wstring text1(const scope& s)
    {
        switch (pick(10)) {
        case 0:
        case 1:
            return textliteral(s);
        case 2:
            return L"tx[" + index(s, 4) + L"]";
        case 3:
            return numvar(s);  // a number's text
        case 4:
            if (chance(30))
                return L"\"\" " + textvar(s) + L" " + textliteral(s);  // a joined text: the cells
            return textvar(s);
        default:
            return textvar(s);
        }
    }
    std::wstring needle(const scope& s)
    {
        static const wchar_t* const list[] = {L"\"a\"", L"\"b\"", L"\"c\"", L"\"ab\"", L"\"\"", L"\"2\"", L"\"lo\""};
        return chance(70) ? oneof(list) : text1(s);
    }
    // A part of a join. `var` allows a text variable (or what holds one).
    std::wstring part(const scope& s, bool var, bool& isvar)
    {
        isvar = false;
        const int k = static_cast<int>(pick(10));
        if (k < 3 || (!var && k >= 6))
            return textliteral(s);
        if (k < 5)
            return number(s);  // its text
        if (k == 5)
            return L"ar[" + index(s, 8) + L"]";
        isvar = true;
        switch (k) {
        case 6:
            return L"tx[" + index(s, 4) + L"]";
        case 7:
            if (std::wstring c = call(s, true); !c.empty())
                return c;
            return textvar(s);
        case 8:
            return L"cutstr(" + text1(s) + L", " + small(s) + (chance(60) ? L", " + small(s) : L"") + L")";
        default:
            return textvar(s);
        }
    }
    // Whether a part is a variable or an element (not a literal or a call).
    static bool isname(const std::wstring& p)
    {
        size_t k = 0;
        while (k < p.size() && (iswalnum(p[k]) || p[k] == L'_'))
            ++k;
        return k > 0 && (k == p.size() || p[k] != L'(');
    }
    // A string expression. In loops and functions a join holds one text
    // variable at most, so that texts grow by a bounded step a run.
    std::wstring textexpr(const scope& s, const std::wstring& first = {})
    {
        const bool once = s.mult == 1 && !s.infunc;
        const size_t n = 1 + pick(4);
        std::vector<std::wstring> parts;
        std::vector<bool> literal;
        bool vars = false;
        if (!first.empty()) {
            parts.push_back(first);
            literal.push_back(false);
            vars = true;
        }
        for (size_t k = 0; k < n; ++k) {
            bool isvar;
            parts.push_back(part(s, once || !vars, isvar));
            vars = vars || isvar;
            literal.push_back(parts.back()[0] == L'"' || parts.back()[0] == L'\'');
        }
        // A variable or an element followed by anything but a literal, or
        // alone, is a number expression: a literal goes first.
        std::wstring t;
        if (isname(parts[0]) && (parts.size() == 1 || !literal[1]))
            t = L"\"\" ";
        for (size_t k = 0; k < parts.size(); ++k)
            t += (k ? L" " : L"") + parts[k];
        return t;
    }

    // ---- statements

    std::wstring target(const scope& s)
    {
        if (chance(25))
            return element(s, true);
        return s.nums[pick(s.nums.size())];
    }
    // A target that must hold a number already (compound, increment).
    std::wstring numtarget(const scope& s)
    {
        if (chance(25)) {
            std::wstring e = element(s);
            return e[0] == L't' ? L"ar[" + index(s, 8) + L"]" : e;
        }
        if (errors && !errordone && chance(3)) {
            errordone = true;
            return textvar(s);  // a text incremented: the run ends there
        }
        return s.nums[pick(s.nums.size())];
    }

    // A variable or a literal: an operand no node computes.
    std::wstring plain(const scope& s)
    {
        static const wchar_t* const doubles[] = {L"0.5", L"2.5", L"-1.25", L"1.5", L"0.1"};
        const size_t k = pick(10);
        return k < 3 ? literal() : k < 5 ? oneof(doubles) : number(s);
    }
    // A change of counter `c` by one, as an increment, a compound assignment
    // or an assignment: the three changes a loop's step runs with its test.
    std::wstring stepone(const std::wstring& c)
    {
        switch (pick(3)) {
        case 0:
            return c + L"++";
        case 1:
            return c + L" += 1";
        default:
            return c + L" = " + c + L" + 1";
        }
    }

    void assignment(scope& s)
    {
        static const wchar_t* const compounds[] = {L"+=", L"-=", L"*=", L"/=", L"%=", L"&=", L"|=", L"^=", L"<<=", L">>="};
        switch (pick(10)) {
        case 0:
        case 1:
        case 2:
            line(target(s) + L" = " + expr(s, 3));
            break;
        case 3:
            line(target(s) + L" = " + literal());
            break;
        case 4:
        case 5: {
            // By a variable or a literal now and then, as the segments
            // compute +=, -= and *= of such a value inline.
            const std::wstring op = oneof(compounds);
            line(numtarget(s) + L" " + op + L" " +
                 (op == L"/=" || op == L"%=" ? divisor(s) : chance(35) ? plain(s) : expr(s, 2)));
            break;
        }
        case 6: {
            static const wchar_t* const forms[] = {L"%s++", L"++%s", L"%s--", L"--%s"};
            std::wstring f = oneof(forms);
            f.replace(f.find(L"%s"), 2, numtarget(s));
            line(f);
            break;
        }
        case 7:
            // A value used by the expression around it: no segment effect.
            if (chance(50))
                line(target(s) + L" = " + s.nums[pick(s.nums.size())] + L"++ + " + expr(s, 1));
            else
                line(target(s) + L" = (" + s.nums[pick(s.nums.size())] + L" = " + expr(s, 1) + L") * 2");
            break;
        case 8:
            line(target(s) + L" = " + expr(s, 1) + L" " + (chance(50) ? L"&&" : L"||") + L" " + expr(s, 1));
            break;
        default: {
            // One operator of two variables or literals into a variable: the
            // assignments the segments compute with the operator inline. A
            // divisor is a literal that is not 0.
            static const wchar_t* const ops[] = {L"+", L"-", L"*", L"/",  L"%",  L"==", L"!=", L"<",
                                                 L">", L"<=", L">=", L"&", L"|",  L"^",  L"<<", L">>"};
            const std::wstring op = oneof(ops);
            const std::wstring a = plain(s);
            const std::wstring b = op == L"/" || op == L"%" ? nonzero() : plain(s);
            line(s.nums[pick(s.nums.size())] + L" = " + a + L" " + op + L" " + b);
            break;
        }
        }
    }

    void textassignment(scope& s)
    {
        const bool element = chance(25);
        const std::wstring t = element ? L"tx[" + index(s, 4, true) + L"]" : textvar(s);
        if (!element && chance(35)) {
            // Appended in place: the target first, a literal after it.
            line(t + L" = " + t + L" " + textliteral(s) + (chance(50) ? L" " + number(s) : L""));
            return;
        }
        if (!element && s.mult == 1 && !s.infunc && chance(10)) {
            line(t + L" = " + t + L" \"\" " + t);  // doubled, once
            return;
        }
        line(t + L" = " + textexpr(s));
    }

    void print(scope& s)
    {
        // Long texts are printed where a statement runs once.
        const std::wstring text = s.mult > 4 ? L"cutstr(" + text1(s) + L", 0, 12)" : text1(s);
        switch (pick(7)) {
        case 0:
            line(L"printf(\"%D\\n\", " + expr(s, 2) + L")");
            break;
        case 1:
            line(L"printf(\"%D %D\\n\", " + expr(s, 2) + L", " + expr(s, 2) + L")");
            break;
        case 2:
            line(L"printf(\"%d|%x\\n\", " + expr(s, 1) + L", " + expr(s, 1) + L")");
            break;
        case 3:
            line(L"printf(\"[%s] %D\\n\", " + text + L", " + expr(s, 1) + L")");
            break;
        case 4:
            // A sum as a statement writes its value.
            line(L"(" + expr(s, 2) + L") + " + literal());
            break;
        case 5:
            line(L"\"<\" " + (s.mult > 4 ? text : textexpr(s)) + L" \">\"");
            break;
        default:
            line(numvar(s) + L" * " + literal());
            break;
        }
    }

    // The counter of a new loop: a global in main, a local in a function, or
    // an element of qc.
    std::wstring countername(scope& s, wchar_t kind, bool element)
    {
        if (element)
            return L"qc[" + num(qcs++) + L"]";  // each loop its own
        const std::wstring n = (s.locals ? std::wstring(1, L'k') : std::wstring(1, kind)) + num(names++);
        if (s.locals)
            s.declared->push_back(n);
        return n;
    }

    void loop(scope& s)
    {
        long count = static_cast<long>(pick(7));
        while (count > 1 && !affords(s, 2 * count))
            --count;
        scope in = s;
        in.mult = s.mult * (count > 0 ? count : 1);
        in.changelast = false;
        ++in.loops;
        ++in.depth;
        switch (pick(4)) {
        case 0:
        case 1: {
            const bool elem = chance(15);
            const std::wstring c = countername(s, L'i', elem);
            // Counters stay at 0 and above: "signmode(0)" compares them unsigned.
            const long long lo = chance(70) ? 0 : 1;
            const std::wstring from = chance(10) ? num(lo) + L".5" : num(lo);  // a double counter now and then
            if (count == 0)
                count = 1;
            std::wstring head;
            long long hi = lo + count;
            switch (pick(6)) {
            case 0:
                head = c + L" = " + from + L"; " + c + L" < " + num(hi) + L"; " + c + L"++";
                break;
            case 1:
                head = c + L" = " + from + L"; " + c + L" <= " + num(hi - 1) + L"; ++" + c;
                break;
            case 2:
                head = c + L" = " + from + L"; " + c + L" < " + num(lo + 2 * count) + L"; " + c + L" += 2";
                hi = lo + 2 * count;
                break;
            case 3:
                head = c + L" = " + num(hi) + L"; " + c + L" > " + num(lo) + L"; " + c + L"--";
                break;
            case 4:
                head = c + L" = " + from + L"; " + c + L" < " + num(hi) + L"; " + c + L" = " + c + L" + 1";
                break;
            default:
                // A bound that is a variable's, and a test with more in it.
                head = c + L" = " + from + L"; " + c + L" < " + num(hi) + L" && (" + cond(s, 0) + L"); " + c + L"++";
                break;
            }
            if (!elem)
                in.counters.push_back({c, lo, hi});
            if (chance(25)) {
                // One compound assignment as the body: the loop superinstruction.
                static const wchar_t* const ops[] = {L"+=", L"-=", L"*=", L"|=", L"^="};
                const std::wstring r = chance(40) ? c : chance(50) ? literal() : s.nums[pick(s.nums.size())];
                std::wstring t = s.nums[pick(s.nums.size())];
                if (errors && !errordone && chance(10)) {
                    errordone = true;
                    t = textvar(s);  // a text's compound assignment: the run ends there
                }
                spend(in, 2);
                if (chance(50))
                    line(L"for (" + head + L") " + t + L" " + oneof(ops) + L" " + r);
                else
                    line(L"for (" + head + L") {"), ++ind, line(t + L" " + oneof(ops) + L" " + r), --ind, line(L"}");
                return;
            }
            line(L"for (" + head + L") {");
            break;
        }
        case 2: {
            const std::wstring c = countername(s, L'w', false);
            if (chance(20)) {
                // The change alone as the body: its test's way back leads
                // to it again, and its run runs the rounds by itself.
                spend(in, 2);
                line(c + L" = 0");
                line(L"while (" + c + L" < " + num(count) + L") " + stepone(c));
                return;
            }
            if (chance(50)) {
                line(c + L" = 0");
                line(L"while (" + c + L"++ < " + num(count) + L") {");
                in.counters.push_back({c, 1, count + 1});
            } else if (chance(50)) {
                line(c + L" = 0");
                line(L"while (" + c + L" < " + num(count) + L") {");
                body.append(static_cast<size_t>(4 * (ind + 1)), L' ');
                body += c + (chance(50) ? L"++" : L" += 1") + L"\r\n";
                in.counters.push_back({c, 0, count});
            } else {
                line(c + L" = " + num(count));
                line(L"while (" + c + L" > 0) {");
                body.append(static_cast<size_t>(4 * (ind + 1)), L' ');
                body += c + L"--\r\n";
                in.counters.push_back({c, 0, count});
            }
            break;
        }
        default: {
            // do ... while: continue goes to the test, which steps.
            const std::wstring c = countername(s, L'd', false);
            line(c + L" = 0");
            line(L"do {");
            ++ind;
            if (chance(30)) {
                // The change last, then its test: the test's jump goes back
                // into the loop, and the change's run runs the rounds.
                in.changelast = true;
                in.counters.push_back({c, 0, count > 0 ? count : 1});
                block(in, pick(3));
                spend(in);
                line(stepone(c));
                --ind;
                line(L"} while (" + c + L" < " + num(count) + L")");
                return;
            }
            in.counters.push_back({c, 0, count + 1});
            block(in, 1 + pick(3));
            --ind;
            line(L"} while (" + c + L"++ < " + num(count > 0 ? count - 1 : 0) + L")");
            return;
        }
        }
        inner(in, 1 + pick(3));
        line(L"}");
    }

    void branch(scope& s)
    {
        scope in = s;
        ++in.depth;
        if (chance(25)) {
            line(L"if (" + cond(s, 2) + L") " + simple(in));
            return;
        }
        line(L"if (" + cond(s, 2) + L") {");
        inner(in, 1 + pick(3));
        while (chance(30)) {
            line(L"} else if (" + cond(s, 1) + L") {");
            inner(in, 1 + pick(2));
        }
        if (chance(40)) {
            line(L"} else {");
            inner(in, 1 + pick(2));
        }
        line(L"}");
    }

    // A statement of one line for an if without braces.
    std::wstring simple(scope& s)
    {
        if (s.loops && chance(30))
            return chance(50) || s.changelast ? L"break" : L"continue";
        if (s.infunc && chance(20))
            return s.textfunc ? L"retstr(" + textexpr(s) + L")" : L"return(" + expr(s, 2) + L")";
        switch (pick(3)) {
        case 0:
            return s.nums[pick(s.nums.size())] + L" = " + expr(s, 2);
        case 1:
            return numtarget(s) + L" += " + expr(s, 1);
        default:
            return textvar(s) + L" = " + textexpr(s);
        }
    }

    void selection(scope& s)
    {
        scope in = s;
        ++in.depth;
        const std::wstring value = chance(50) ? L"(" + expr(s, 1) + L") & 3" : expr(s, 2);
        line(L"switch (" + value + L") {");
        static const wchar_t* const cases[] = {L"0", L"1", L"2", L"3", L"7", L"2.9", L"100"};
        const size_t n = 1 + pick(4);
        for (size_t k = 0; k < n; ++k) {
            line(std::wstring(L"case ") + oneof(cases) + L":");
            ++ind;
            if (chance(80))
                block(in, 1 + pick(2));
            if (chance(60))
                line(L"break");
            --ind;
        }
        if (chance(50)) {
            line(L"default:");
            inner(in, 1 + pick(2));
        }
        line(L"}");
    }

    // Code compiled while the script runs; its names are e0..e2 and the
    // globals, never a counter.
    void exeline(scope& s)
    {
        static const wchar_t* const texts[] = {
            L"e0 = e0 + n0 * 2",
            L"for (e1 = 0; e1 < 4; e1++) e0 += e1",
            L"e2 = \\\"ab\\\" e0",
            L"e0 = idiv(e0, 3) + ar[2]",
            L"n1 = n1 * 2\\ne0++",
            L"e1 = 0\\nwhile (e1 < 3) {\\ne1++\\ne0 -= e1\\n}",
            L"e0 + 1",
            L"e1 = strlen(s0) + getc(s0, 1)",
            L"switch (e0 & 1) {\\ncase 0:\\ne0 += 3\\nbreak\\ndefault:\\ne0--\\n}",
        };
        exelines = true;
        spend(s, 6);
        if (chance(15))
            line(L"exeline(\"e0 = \" " + s.nums[pick(s.nums.size())] + L")");
        else
            line(std::wstring(L"exeline(\"") + oneof(texts) + L"\")");
    }

    // A statement that ends the run with an error, once per program.
    void failure(scope& s)
    {
        errordone = true;
        switch (pick(6)) {
        case 0:
            line(s.nums[pick(s.nums.size())] + L" = " + expr(s, 1) + L" / 0");
            break;
        case 1:
            line(s.nums[pick(s.nums.size())] + L" = undefd + " + expr(s, 1));
            break;
        case 2:
            line(L"undef(" + s.nums[0] + L")");
            break;
        case 3:
            line(L"ar[-1 - (" + expr(s, 1) + L" & 7)] = 1");
            break;
        case 4:
            line(L"n0 = idiv(" + expr(s, 1) + L", 0)");
            break;
        default:
            line(textvar(s) + L"++");
            break;
        }
    }

    void statement(scope& s)
    {
        if (!affords(s, 1))
            return;
        spend(s);
        if (errors && !errordone && chance(3)) {
            failure(s);
            return;
        }
        const bool nest = s.depth < 4 && affords(s, 4);
        int k = static_cast<int>(pick(100));
        if (k < 30) {
            assignment(s);
        } else if (k < 42) {
            textassignment(s);
        } else if (k < 52) {
            if (s.mult <= 8 || chance(30))
                print(s);
            else
                assignment(s);
        } else if (k < 62 && nest) {
            branch(s);
        } else if (k < 73 && nest && s.loops < 3) {
            loop(s);
        } else if (k < 78 && nest) {
            selection(s);
        } else if (k < 84 && !funcs.empty()) {
            if (std::wstring c = call(s, chance(25)); !c.empty())
                line(c[0] != L'h' ? c : L"\"\" " + c);
            else
                assignment(s);
        } else if (k < 89 && s.loops) {
            line(L"if (" + cond(s, 1) + L") " + (chance(50) || s.changelast ? L"break" : L"continue"));
        } else if (k < 91) {
            exeline(s);
        } else if (k < 92) {
            line(chance(70) ? L"signmode(0)" : L"signmode(1)");
        } else if (k < 95 && s.infunc) {
            line(L"if (" + cond(s, 1) + L") " +
                 (s.textfunc ? L"retstr(" + textexpr(s) + L")" : L"return(" + expr(s, 2) + L")"));
        } else if (k < 96 && !s.infunc && chance(30)) {
            line(L"if (" + cond(s, 1) + L") " + (chance(50) ? L"exit" : L"return"));
        } else {
            assignment(s);
        }
    }

    // n statements one level in, as the body of what the last line opened.
    void inner(scope& s, size_t n)
    {
        ++ind;
        block(s, n);
        --ind;
    }

    void block(scope& s, size_t n)
    {
        for (size_t k = 0; k < n; ++k)
            statement(s);
    }

    // ---- units

    // Values for every global the statements use, the arrays filled.
    void preamble(scope& s)
    {
        if (chance(10))
            line(L"signmode(0)");
        for (const std::wstring& n : s.nums) {
            if (n[0] == L'm')
                continue;
            if (errors && !errordone && chance(4)) {
                errordone = true;  // left undefined: its first read ends the run
                continue;
            }
            line(n + L" = " + (n == L"n0" && chance(40) ? L"3" : literal()));
        }
        static const wchar_t* const texts[] = {L"\"abc\"", L"\"hello world\"", L"\"\"", L"\"12\"", L"\"b,a,c\"",
                                               L"\"0123456789012345678901234\"", L"\"-3.5x\"", L"\"0x1f\"", L"\" 42\"",
                                               L"\"1e3\""};
        for (const std::wstring& t : s.strs)
            line(t + L" = " + oneof(texts));
        line(L"e0 = 0");
        line(L"e1 = 0");
        line(L"e2 = \"\"");
        line(L"for (i99 = 0; i99 < 8; i99++) {");
        line(L"    ar[i99] = i99 * " + literal() + L" - 3");
        line(L"    qc[i99] = 0");
        line(L"}");
        line(L"for (i98 = 0; i98 < 4; i98++) {");
        line(L"    tx[i98] = \"t\" i98 \"ab\"");
        line(L"    for (i97 = 0; i97 < 4; i97++) {");
        line(L"        mx[i98][i97] = i98 * 4 + i97");
        line(L"        for (i96 = 0; i96 < 4; i96++)");
        line(L"            cu[i98][i97][i96] = i98 - i97 * i96");
        line(L"    }");
        line(L"}");
        spend(s, 100);
    }

    void ending(scope& s)
    {
        line(L"printf(\"%D %D %D %D\\n\", n0, n1, n2, n3)");
        line(L"printf(\"%D %D %D\\n\", ar[1], mx[2][3], cu[1][2][3])");
        line(L"printf(\"%D|%s|%s\\n\", strlen(s0), cutstr(s1, 0, 40), cutstr(s2, 0, 40))");
        if (exelines)
            line(L"printf(\"%D %D [%s]\\n\", e0, e1, cutstr(e2, 0, 40))");
        (void)s;
    }

    // One function, its text: any of the forms the pass reads, or none.
    std::wstring function()
    {
        fn f;
        const size_t id = funcs.size();
        scope s;
        s.infunc = true;
        s.locals = true;
        std::vector<std::wstring> locals;
        s.declared = &locals;
        s.nums = {L"n0", L"n1", L"n2"};
        s.strs = {L"s0", L"s1"};
        const long savedwork = work, savedmax = maxwork;
        work = 0;
        maxwork = maxwork / 10;
        std::swap(body, saved);
        body.clear();
        const int savedind = ind;
        ind = 1;
        std::wstring params;
        const auto param = [&](const std::wstring& name, bool text) {
            params += (params.empty() ? L"" : L", ") + std::wstring(text ? L"str " : L"") + name;
            f.textparam.push_back(text);
            (text ? s.strs : s.nums).push_back(name);
        };
        const int kind = static_cast<int>(pick(7));
        std::wstring ret;
        switch (kind) {
        case 0: {
            // One expression of numeric parameters: read in place of its call.
            f.name = L"f" + num(static_cast<long long>(id));
            const size_t n = pick(4);
            for (size_t k = 0; k < n; ++k)
                param(L"p" + num(static_cast<long long>(k)), false);
            if (chance(70))
                s.nums.erase(s.nums.begin(), s.nums.begin() + 3);  // its parameters alone
            if (s.nums.empty())
                s.nums.push_back(L"n0");
            line(L"return(" + expr(s, 3) + L")");
            break;
        }
        case 1:
        case 2: {
            // Statements; "if (test) return(value)" first, now and then.
            f.name = L"f" + num(static_cast<long long>(id));
            const size_t n = 1 + pick(3);
            for (size_t k = 0; k < n; ++k)
                param(L"p" + num(static_cast<long long>(k)), false);
            if (chance(50))
                line(L"if (" + cond(s, 1) + L") return(" + expr(s, 1) + L")");
            locals = {L"l0", L"l1"};
            line(L"l0 = " + expr(s, 1));
            line(L"l1 = " + literal());
            s.nums.push_back(L"l0");
            s.nums.push_back(L"l1");
            block(s, 1 + pick(5));
            line(L"return(" + expr(s, 2) + L")");
            break;
        }
        case 3:
        case 4: {
            // A recursion down its depth parameter.
            f.name = L"r" + num(static_cast<long long>(id));
            f.depth = true;
            f.twice = kind == 4;
            f.textparam.push_back(false);
            params = L"dn";
            // It goes down to 0, never below: "signmode(0)" compares unsigned.
            s.counters.push_back({L"dn", 0, 2100});
            const size_t n = pick(3);
            for (size_t k = 0; k < n; ++k)
                param(L"p" + num(static_cast<long long>(k)), false);
            const bool first = chance(60);
            const std::wstring base = f.twice ? L"dn < 2" : chance(50) ? L"dn < 1" : L"dn <= 0";
            if (first)
                line(L"if (" + base + L") return(" + expr(s, 1) + L")");
            if (chance(50)) {
                locals = {L"l0"};
                line(L"l0 = " + expr(s, 1));
                s.nums.push_back(L"l0");
            }
            if (!first)
                line(L"if (" + base + L") return(" + expr(s, 1) + L")");
            if (chance(50))
                block(s, 1 + pick(2));
            std::wstring args;
            for (size_t k = 0; k < n; ++k)
                args += L", " + expr(s, 1);
            const std::wstring down = f.name + L"(dn - 1" + args + L")";
            if (f.twice)
                line(L"return(" + down + L" + " + f.name + L"(dn - 2" + args + L"))");
            else if (chance(50))
                line(L"return(" + down + L" " + (chance(50) ? L"+" : L"*") + L" " + expr(s, 1) + L")");
            else
                line(L"return(" + expr(s, 1) + L" - " + down + L")");
            break;
        }
        case 5: {
            // A text parameter read in place: getc, strlen, strstr, cutstr.
            f.name = L"g" + num(static_cast<long long>(id));
            param(L"p0", true);
            param(L"p1", false);
            locals = {L"l0"};
            s.nums.push_back(L"l0");
            line(L"l0 = 0");
            const std::wstring k = L"k" + num(names++);
            locals.push_back(k);
            line(L"for (" + k + L" = 0; " + k + L" < strlen(p0) && " + k + L" < 6; " + k + L"++)");
            line(L"    l0 += getc(p0, " + k + L") * " + literal());
            block(s, pick(3));
            line(L"return(l0 + strstr(p0, " + needle(s) + L"))");
            break;
        }
        default: {
            // A string function.
            f.name = L"h" + num(static_cast<long long>(id));
            f.text = true;
            s.textfunc = true;
            param(L"p0", true);
            param(L"p1", false);
            locals = {L"ls0"};
            s.strs.push_back(L"ls0");
            line(L"ls0 = \"\" p0 " + textliteral(s));
            block(s, pick(3));
            line(L"retstr(" + textexpr(s) + L")");
            break;
        }
        }
        std::wstring text = std::wstring(f.text ? L"functstr " : L"function ") + f.name + L"(" + params + L")\r\n{\r\n";
        if (!locals.empty()) {
            std::wstring decl;
            for (const std::wstring& l : locals)
                decl += (decl.empty() ? L"" : L", ") + l;
            text += L"    localvar(" + decl + L")\r\n";
        }
        text += body + L"}\r\n";
        f.cost = work > 0 ? work : 1;
        std::swap(body, saved);
        ind = savedind;
        work = savedwork;
        maxwork = savedmax;
        funcs.push_back(f);
        return text;
    }
};

}  // namespace qtest
