// How the segment pass reads operations: through one list, each operation
// to the opcode it means, and the pass left off where the linker gave two
// operations of different meanings one address.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "segments/segops.h"
#include "segments/segtest.h"

using namespace segtest;

namespace {

std::vector<seg::opentry> enginelist()
{
    size_t n = 0;
    const seg::opentry* l = seg::oplist(n);
    return {l, l + n};
}

TEST(SegmentOps, EveryOperationOfTheListReadsAsItsOpcode)
{
    const seg::decoder& d = seg::enginedecoder();
    EXPECT_TRUE(d.sound());
    bool reached[seg::opcodecount] = {};
    for (const seg::opentry& x : enginelist()) {
        EXPECT_EQ(d.of(x.f), x.o);
        reached[x.o] = true;
    }
    for (int o = seg::oadd; o < seg::opcodecount; ++o)
        EXPECT_TRUE(reached[o]) << "opcode " << o << " has no operation";
    // What the pass does not read, and a unit's end.
    EXPECT_EQ(d.of(&E::printstr_exec), seg::oother);
    EXPECT_EQ(d.of(&E::segment_exec), seg::oother);
    EXPECT_EQ(d.of(nullptr), seg::oend);
    // loopexit does what jumpiffalse does, and is read so.
    EXPECT_EQ(d.of(&E::loopexit_exec), seg::ojumpiffalse);
}

// A list as a folding linker would leave it: one address for two opcodes.
// The decoder finds it, and the pass leaves the code as compiled, where the
// engine's own list gives it segments.
TEST(SegmentOps, TwoOpcodesAtOneAddressTurnThePassOff)
{
    std::vector<seg::opentry> folded = enginelist();
    folded.push_back({seg::opushint, &E::noop_exec});
    const seg::decoder bad(folded.data(), folded.size());
    EXPECT_FALSE(bad.sound());
    // Two entries of one opcode at one address (loopexit folded into
    // jumpiffalse) mean one thing: sound.
    std::vector<seg::opentry> same = enginelist();
    same.push_back({seg::ojumpiffalse, &E::jumpiffalse_exec});
    EXPECT_TRUE(seg::decoder(same.data(), same.size()).sound());

    const wchar_t* text = L"s = 0\nfor (i = 0; i < 10; i++)\n    s += i\nt = s * 2 + 1\n";
    for (const bool sound : {true, false}) {
        qtest::scriptsource src(crlf(text));
        ExeScr e;
        if (!sound)
            e.segdecoder = &bad;
        e.loadscript(src.text());
        const std::vector<codecell> before(e.code, e.codeend);
        e.segpass(0);
        EXPECT_EQ(e.segranges.empty(), !sound);
        EXPECT_EQ(std::memcmp(before.data(), e.code, before.size() * sizeof(codecell)) == 0, !sound)
            << "sound " << sound;
    }
}

}  // namespace
