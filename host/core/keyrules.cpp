#include "core/keyrules.h"

#include <cwchar>

namespace host {

bool hotkeyrefused(int m, uint32_t k, int runmod, wchar_t runletter)
{
    if (m == 0 && k < 0x80 && k != 0 && wcschr(L"DKLMNOPRST", static_cast<wchar_t>(k)))
        return true;
    return m == runmod && k == static_cast<uint32_t>(runletter);
}

bool runkeyrefused(int m, wchar_t l, int hotmod, uint32_t hotcode)
{
    if (m == 0 && l != 0 && wcschr(L"DEKOPQRTW", l))
        return true;
    return m == hotmod && static_cast<uint32_t>(l) == hotcode;
}

}  // namespace host
