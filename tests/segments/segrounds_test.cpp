// How deep loops' rounds run on the C stack: a round that reaches another
// loop's change hands it back to the segment loop, so however many rounds
// run, and however they leave their loops (a break, a return, a goto), the
// changes that run them begin at one depth.
#include <cwchar>

#include "segments/segtest.h"
#include "support/bothways.h"

namespace {

using namespace segtest;

// Three ways of leaving one loop for another's change, N rounds each: a
// round of a switch and an inner loop left by break; a loop calling a
// function whose loop returns; a goto loop over two loops left by break.
const wchar_t* const shapes[] = {
    L"s = 0\nfor (k = 0; k < N; k++) {\n    switch (k % 3) {\n    case 0:\n        s += 1\n        break\n"
    L"    default:\n        s += 2\n    }\n    for (j = 0; j < 10; j++) {\n        if (j == 2)\n            break\n"
    L"        s++\n    }\n}\n",
    L"function f(n)\n{\n    localvar(i)\n    for (i = 0; i < 10; i++)\n        if (i == n)\n            return(i)\n"
    L"    return(0)\n}\nmain\n{\n    s = 0\n    for (k = 0; k < N; k++)\n        s += f(3)\n}\n",
    L"s = 0\nn = 0\n:top\nfor (i = 0; i < 10; i++)\n    if (i == 3)\n        break\nfor (j = 0; j < 10; j++)\n"
    L"    if (j == 4)\n        break\ns = s + i + j\nn++\nif (n < N)\n    goto(top)\n",
};

// What each shape leaves in s after n rounds.
int64_t sumafter(int shape, int64_t n)
{
    switch (shape) {
    case 0:
        return (n + 2) / 3 * 1 + (n - (n + 2) / 3) * 2 + n * 2;
    case 1:
        return n * 3;
    default:
        return n * 7;
    }
}

std::wstring withrounds(const wchar_t* shape, int64_t n)
{
    std::wstring t = shape;
    t.replace(t.find(L"N"), 1, std::to_wstring(n));
    return t;
}

struct probe {
    uintptr_t spread = 0;  // bytes between the deepest and the shallowest change
    bool ran = false;      // some change ran rounds
    int64_t s = -1;
};

// Runs the script with the pass on a script thread's stack, the probe armed.
probe measure(const std::wstring& text)
{
    compiled c(text);
    ExeScr& e = c.e;
    e.curfunc = static_cast<int32_t>(e.functable.size() - 1);
    e.unitbase = static_cast<uint32_t>(e.functable.back().codestart);
    e.roundstacklow = ~uintptr_t{0};
    e.roundstackhigh = 0;
    qtest::onscriptstack([&] { e.runentry(); });
    probe p;
    p.ran = e.roundstackhigh != 0;
    p.spread = p.ran ? e.roundstackhigh - e.roundstacklow : 0;
    for (int32_t k = 0; k < e.globals.count(); ++k) {
        const varrec* v = e.globals.base + k;
        if (std::wcscmp(e.varname(v), L"s") == 0)
            p.s = v->isint ? v->i : static_cast<int64_t>(v->d);
    }
    return p;
}

TEST(SegmentRounds, ALoopLeftForAnothersChangeHandsItBack)
{
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const probe few = measure(withrounds(shapes[k], 1000));
        const probe many = measure(withrounds(shapes[k], 300000));
        ASSERT_TRUE(few.ran && many.ran) << "the loops' rounds must be run by their changes";
        EXPECT_EQ(few.s, sumafter(k, 1000));
        EXPECT_EQ(many.s, sumafter(k, 300000));
        // Rounds that nested would stand a frame deeper each time.
        EXPECT_EQ(many.spread, few.spread);
        EXPECT_LT(many.spread, 4096u);
    }
}

TEST(SegmentRounds, RoundsHandedBackGiveWhatTheirCellsGive)
{
    for (int k = 0; k < 3; ++k) {
        // The sum logged at the end of the entry unit (main's closing brace for the second).
        std::wstring t = withrounds(shapes[k], 40);
        t.insert(k == 1 ? t.size() - 2 : t.size(), L"    s + 0\n");
        expectboth(t, L"\t" + std::to_wstring(sumafter(k, 40)) + L"\n");
    }
}

}  // namespace
