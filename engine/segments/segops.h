// The operations the segment pass reads, by what each means to it. The pass
// never compares an operation's address itself: segview decodes every cell
// through one list (segops.cpp), and the pass reads only the opcode it gives.
//
// A linker that folds identical functions (MSVC's /OPT:ICF, lld's --icf)
// may give two operations one address. Two that mean one thing to the pass
// (jumpiffalse_exec and loopexit_exec) may share one; two that mean
// different things must not, or the pass would read one as the other: the
// decoder checks this once, when it is made, and the pass stays off where it
// fails (`sound`). An operation outside the list that is folded into one
// inside it is the same code, so it does what that one does and is read as
// it rightly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "runtime/codecell.h"

namespace seg {

enum opcode : uint8_t {
    onone,   // not an operation cell (an operand, or outside the cells read)
    oend,    // a null operation: a unit's end
    oother,  // an operation the pass does not read
    // The binary operators, in the order of numrules::binopcode.
    oadd,
    osub,
    omul,
    odiv,
    omod,
    oeq,
    onoteq,
    olt,
    ogt,
    ole,
    oge,
    oband,
    obor,
    obxor,
    oshl,
    oshr,
    // Values.
    opushint,
    opushnum,
    opushvar,
    opushneg,
    opushnot,
    opushvarx,
    opushnegx,
    opushnotx,
    obnot,
    olnot,
    oarrayindex,
    oidiv,
    // Effects.
    oassignnum,
    ocompoundassign,
    oincdec,
    osetintconst,
    osetnumconst,
    ostorenum,
    ocompoundassignx,
    oincdecx,
    odatddrop,
    // Control.
    ojump,
    ojumpiftrue,
    ojumpiffalse,  // and loopexit_exec, which does the same
    oandjump,
    oorjump,
    oswitch,
    onoop,
    ocallargnum,
    ousercall,
    // Texts.
    opushstrlit,
    ovar2str,
    opushvarstr,
    ostrconcat,
    ostrassign,
    ostrassignx,
    odatsdrop,
    ostrlen,
    ostrstr,
    ostrcmp,
    ocutstr,
    ogetc,
    opcodecount
};

// The binary operator (numrules::binopcode) of an opcode, or -1.
constexpr int binopof(opcode o)
{
    return o >= oadd && o <= oshr ? o - oadd : -1;
}

// Whether an opcode jumps by its operand (a switch goes by its case table).
constexpr bool isjump(opcode o)
{
    return o == ojump || o == ojumpiftrue || o == ojumpiffalse || o == oandjump || o == oorjump;
}

// One operation of the list and what it means.
struct opentry {
    opcode o;
    execfn f;
};

// Reads operations as opcodes through a list of entries. Made once for the
// engine's own list (enginedecoder()); a test makes one of a list of its own.
class decoder {
public:
    decoder(const opentry* list, size_t count);
    // False when two entries of different opcodes share one address: the
    // pass must then stay off.
    bool sound() const { return sound_; }
    opcode of(execfn f) const;

private:
    struct slot {
        execfn f;
        opcode o;
        bool used;
    };
    static constexpr size_t slots = 256;  // a power of two, well above the list's length
    static size_t hash(execfn f);
    std::array<slot, slots> table{};
    bool sound_ = true;
};

// The engine's list, every opcode from oadd on in it at least once, and its
// decoder, made and checked at its first use.
const opentry* oplist(size_t& count);
const decoder& enginedecoder();

}  // namespace seg
