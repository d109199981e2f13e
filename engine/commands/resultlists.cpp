// Script arrays that commands fill with their result lists.
#include <string>

#include "runtime/exescr.h"

namespace {

// Result-list keys keep at most this many characters, brackets included.
constexpr size_t listkeymax = 20;

}  // namespace

int32_t ExeScr::listvar(const wchar_t* name, const wchar_t* suffix, int32_t indexes, uint32_t i1, uint32_t i2)
{
    std::wstring key = name;
    key += suffix;
    if (key.size() > listkeymax)
        key.resize(listkeymax);
    return arraytable(arrayfind(key.c_str()), indexes, i1, i2, 0);
}

void ExeScr::storeint(int32_t index, int64_t value)
{
    datdcell c = {};
    c.i = value;
    c.isint = 1;
    setvarnum(index, c);
}

void ExeScr::storedbl(int32_t index, double value)
{
    datdcell c = {};
    c.d = value;
    c.isint = 0;
    setvarnum(index, c);
}

void ExeScr::storestr(int32_t index, const wchar_t* text, size_t len, int32_t id)
{
    varrec* v = varat(index);
    settext(v, text, len, id);
    v->state = varstr;
}
