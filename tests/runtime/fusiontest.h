// Helpers of the fusion tests: scripts run with and without the fused
// segments, and a script compiled and passed through the fusion pass.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "compiler/scriptsource.h"
#include "runtime/exescr.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

namespace fusiontest {

using E = ExeScr;

struct fusionoff {
    fusionoff() { qtest::fusion = false; }
    ~fusionoff() { qtest::fusion = true; }
};

inline std::wstring crlf(const std::wstring& text)
{
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'\n')
            out += L'\r';
        out += c;
    }
    return out;
}

// The log of a script run with the superinstructions, checked against the
// same run without them and against what it must be.
inline void expectboth(const std::wstring& text, const std::wstring& want)
{
    const std::wstring fused = qtest::runscript(L"fusion", crlf(text));
    std::wstring plain;
    {
        fusionoff off;
        plain = qtest::runscript(L"fusion", crlf(text));
    }
    EXPECT_EQ(qtest::narrow(plain), qtest::narrow(fused)) << qtest::narrow(text);
    EXPECT_EQ(qtest::narrow(want), qtest::narrow(fused)) << qtest::narrow(text);
}

// A script that ends in a run-time error: the same "Exiting..." line both ways.
inline void expecterror(const std::wstring& text, const std::wstring& message)
{
    expectboth(text, L"Exiting... " + message + L"\n");
}

// A script compiled and passed through the fusion pass, the cells as
// compiled kept beside it.
struct compiled {
    ExeScr& e = *new ExeScr();
    qtest::scriptsource& src;
    std::vector<codecell> before;
    explicit compiled(const std::wstring& text) : src(*new qtest::scriptsource(crlf(text)))
    {
        e.loadscript(src.text());
        before.assign(e.code, e.codeend);
        e.fusecode(0);
    }
    // The superinstructions now in the list, with their cells.
    std::vector<int32_t> fusedcells() const
    {
        std::vector<int32_t> at;
        for (int32_t k = 0; k < e.codecount(); ++k)
            if (std::memcmp(&before[static_cast<size_t>(k)], &e.code[k], sizeof(codecell)) != 0)
                at.push_back(k);
        return at;
    }
    // The segments that begin at fused cells, in code order.
    std::vector<const seg::segment*> segments() const
    {
        std::vector<const seg::segment*> segs;
        for (int32_t k : fusedcells())
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
    void fuse()
    {
        op(nullptr);
        e.code = cells.data();
        e.codeend = e.code + cells.size();
        e.fusecode(0);
    }
    ~handcode() { e.code = e.codeend = nullptr; }
};

}  // namespace fusiontest
