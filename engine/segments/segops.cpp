// The list of operations the segment pass reads (segops.h) and its decoder.
#include "segments/segops.h"

#include <cstring>
#include <iterator>

#include "runtime/exescr.h"
#include "runtime/numrules.h"

namespace seg {

namespace {

using E = ExeScr;

constexpr opentry engineops[] = {
    {oadd, &E::add_exec},
    {osub, &E::subtract_exec},
    {omul, &E::mul_exec},
    {odiv, &E::div_exec},
    {omod, &E::mod_exec},
    {oeq, &E::eq_exec},
    {onoteq, &E::ne_exec},
    {olt, &E::lt_exec},
    {ogt, &E::gt_exec},
    {ole, &E::le_exec},
    {oge, &E::ge_exec},
    {oband, &E::band_exec},
    {obor, &E::bor_exec},
    {obxor, &E::bxor_exec},
    {oshl, &E::shl_exec},
    {oshr, &E::shr_exec},
    {opushint, &E::pushint_exec},
    {opushnum, &E::pushnum_exec},
    {opushvar, &E::pushvar_exec},
    {opushneg, &E::pushneg_exec},
    {opushnot, &E::pushnot_exec},
    {opushvarx, &E::pushvarx_exec},
    {opushnegx, &E::pushnegx_exec},
    {opushnotx, &E::pushnotx_exec},
    {obnot, &E::bnot_exec},
    {olnot, &E::lnot_exec},
    {oarrayindex, &E::arrayindex_run},
    {oidiv, &E::idiv_exec},
    {oassignnum, &E::assignnum_exec},
    {ocompoundassign, &E::compoundassign_exec},
    {oincdec, &E::incdec_exec},
    {osetintconst, &E::setintconst_exec},
    {osetnumconst, &E::setnumconst_exec},
    {ostorenum, &E::storenum_exec},
    {ocompoundassignx, &E::compoundassignx_exec},
    {oincdecx, &E::incdecx_exec},
    {odatddrop, &E::datddrop},
    {ojump, &E::jump_exec},
    {ojumpiftrue, &E::jumpiftrue_exec},
    {ojumpiffalse, &E::jumpiffalse_exec},
    {ojumpiffalse, &E::loopexit_exec},
    {oandjump, &E::andjump_exec},
    {oorjump, &E::orjump_exec},
    {oswitch, &E::switch_exec},
    {onoop, &E::noop_exec},
    {ocallargnum, &E::callargnum_exec},
    {ousercall, &E::usercall_exec},
    {opushstrlit, &E::pushstrlit_exec},
    {ovar2str, &E::var2str},
    {opushvarstr, &E::pushvarstr_exec},
    {ostrconcat, &E::strconcat},
    {ostrassign, &E::strassign_exec},
    {ostrassignx, &E::strassignx_exec},
    {odatsdrop, &E::datsdrop},
    {ostrlen, &E::strlen_exec},
    {ostrstr, &E::strstr_exec},
    {ostrcmp, &E::strcmp_exec},
    {ocutstr, &E::cutstr_exec},
    {ogetc, &E::getc_exec},
};

// Every opcode the pass reads has an operation, and no operation is listed
// twice. (Here, before linking, distinct functions always compare unequal:
// whether the linker kept them apart only the decoder can tell.)
constexpr bool complete()
{
    for (int o = oadd; o < opcodecount; ++o) {
        bool found = false;
        for (const opentry& x : engineops)
            found = found || x.o == o;
        if (!found)
            return false;
    }
    for (size_t k = 0; k < std::size(engineops); ++k)
        for (size_t j = 0; j < k; ++j)
            if (engineops[j].f == engineops[k].f)
                return false;
    return true;
}
static_assert(complete(), "every opcode from oadd on needs its operation, each listed once");
static_assert(oshr - oadd + 1 == numrules::bopcount && binopof(oshr) == numrules::bopshr,
              "the binary opcodes stand in the order of numrules::binopcode");

}  // namespace

// The first word of a member pointer is the function's address (both where
// it is one word and where it is two): enough to spread the list's entries.
size_t decoder::hash(execfn f)
{
    uint64_t w = 0;
    std::memcpy(&w, &f, sizeof(f) < sizeof(w) ? sizeof(f) : sizeof(w));
    static_assert(slots == 256, "the hash gives 8 bits");
    return static_cast<size_t>((w * 0x9E3779B97F4A7C15ull) >> 56);
}

decoder::decoder(const opentry* list, size_t count)
{
    if (count >= slots) {
        sound_ = false;
        return;
    }
    for (size_t k = 0; k < count; ++k) {
        const opentry& x = list[k];
        for (size_t i = hash(x.f);; i = (i + 1) % slots) {
            slot& s = table[i];
            if (!s.used) {
                s = slot{x.f, x.o, true};
                break;
            }
            if (s.f == x.f) {
                sound_ = sound_ && s.o == x.o;  // one address for two meanings
                break;
            }
        }
    }
}

opcode decoder::of(execfn f) const
{
    if (!f)
        return oend;
    for (size_t i = hash(f);; i = (i + 1) % slots) {
        const slot& s = table[i];
        if (!s.used)
            return oother;
        if (s.f == f)
            return s.o;
    }
}

const opentry* oplist(size_t& count)
{
    count = std::size(engineops);
    return engineops;
}

const decoder& enginedecoder()
{
    static const decoder d(engineops, std::size(engineops));
    return d;
}

}  // namespace seg
