// Helpers of the segment tests: scripts run with and without the segment
// pass, and a script compiled and passed through it.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "compiler/scriptsource.h"
#include "runtime/exescr.h"
#include "support/lineends.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

namespace segtest {

using E = ExeScr;

struct segpassoff {
    segpassoff() { qtest::segpasson = false; }
    ~segpassoff() { qtest::segpasson = true; }
};

using qtest::crlf;

// The log of a script run with the segment pass, checked against the same
// run without it and against what it must be.
inline void expectboth(const std::wstring& text, const std::wstring& want)
{
    const std::wstring withpass = qtest::runscript(L"segments", crlf(text));
    std::wstring plain;
    {
        segpassoff off;
        plain = qtest::runscript(L"segments", crlf(text));
    }
    EXPECT_EQ(qtest::narrow(plain), qtest::narrow(withpass)) << qtest::narrow(text);
    EXPECT_EQ(qtest::narrow(want), qtest::narrow(withpass)) << qtest::narrow(text);
}

// Helpers that call helpers: f1 to f{levels - 1} each the sum of four calls
// of the next, the last "n + 1" (f1(1) is 2 * 4^(levels - 1)).
inline std::wstring helperchain(int levels)
{
    std::wstring text;
    for (int k = 1; k < levels; ++k) {
        const std::wstring next = L"f" + std::to_wstring(k + 1) + L"(n)";
        text += L"function f" + std::to_wstring(k) + L"(n)\n{\n    return(" + next + L" + " + next + L" + " + next +
                L" + " + next + L")\n}\n";
    }
    return text + L"function f" + std::to_wstring(levels) + L"(n)\n{\n    return(n + 1)\n}\n";
}

// A script that ends in a run-time error: the same "Exiting..." line both ways.
inline void expecterror(const std::wstring& text, const std::wstring& message)
{
    expectboth(text, L"Exiting... " + message + L"\n");
}

// A script compiled and passed through the segment pass, the cells as
// compiled kept beside it.
struct compiled {
    ExeScr& e = *new ExeScr();
    qtest::scriptsource& src;
    std::vector<codecell> before;
    explicit compiled(const std::wstring& text) : src(*new qtest::scriptsource(crlf(text)))
    {
        e.loadscript(src.text());
        before.assign(e.code, e.codeend);
        e.segpass(0);
    }
    // The cells whose operation the pass replaced.
    std::vector<int32_t> replacedcells() const
    {
        std::vector<int32_t> at;
        for (int32_t k = 0; k < e.codecount(); ++k)
            if (std::memcmp(&before[static_cast<size_t>(k)], &e.code[k], sizeof(codecell)) != 0)
                at.push_back(k);
        return at;
    }
    // The segments that begin at replaced cells, in code order.
    std::vector<const seg::segment*> segments() const
    {
        std::vector<const seg::segment*> segs;
        for (int32_t k : replacedcells())
            if (e.code[k].op == &E::segment_exec)
                segs.push_back(e.segat[static_cast<size_t>(k)]);
        return segs;
    }
    // Whether a node of the segments computes with `f`.
    bool hasnode(seg::evalfn f) const
    {
        for (const auto& r : e.segranges)
            for (const seg::node& n : r->nodes)
                if (n.eval == f)
                    return true;
        return false;
    }
    bool has(execfn f) const
    {
        for (int32_t k = 0; k < e.codecount(); ++k)
            if (e.opmarks[static_cast<size_t>(k)] && e.code[k].op == f)
                return true;
        return false;
    }
};

// Hand-built code with the emitter's marks, so the pass can read it.
struct handcode {
    ExeScr e;
    std::vector<codecell> cells;
    handcode& put(const codecell& c, uint8_t isop)
    {
        cells.push_back(c);
        e.opmarks.push_back(isop);
        return *this;
    }
    handcode& op(execfn f)
    {
        codecell c = {};
        c.op = f;
        return put(c, 1);
    }
    handcode& i(int64_t v)
    {
        codecell c = {};
        c.i = v;
        return put(c, 0);
    }
    int64_t here() const { return static_cast<int64_t>(cells.size()); }
    void pass()
    {
        op(nullptr);
        e.code = cells.data();
        e.codeend = e.code + cells.size();
        e.segpass(0);
    }
    ~handcode() { e.code = e.codeend = nullptr; }
};

}  // namespace segtest
