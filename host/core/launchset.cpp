#include "core/launchset.h"

namespace host {

wchar_t slotchar(int slot)
{
    return slot < 10 ? static_cast<wchar_t>(L'0' + slot) : static_cast<wchar_t>(L'a' + slot - 10);
}

int keyslot(unsigned key)
{
    if (key >= L'0' && key <= L'9')
        return static_cast<int>(key - L'0');
    if (key >= L'A' && key <= L'Z')
        return 10 + static_cast<int>(key - L'A');
    return -1;
}

std::wstring slotkey(int set, int slot, int field)
{
    std::wstring k = set == 2 ? L"s_" : L"";
    k += slotchar(slot);
    k += static_cast<wchar_t>(L'0' + field);
    return k;
}

namespace {

bool findin(const std::vector<const std::wstring*>& section, const std::wstring& key, std::wstring& value)
{
    std::wstring k;
    for (const std::wstring* line : section)
        if (inikeyline(*line, k, value) && k == key)
            return true;
    return false;
}

}  // namespace

std::vector<launchentry> loadlaunchset(const iniimage& ini, int set)
{
    std::vector<const std::wstring*> section;
    bool in = false, seen = false;
    std::wstring name;
    for (const std::wstring& line : ini.lines) {
        if (iniheader(line, name)) {
            if (in)
                break;
            in = !seen && name == L"script";
            seen = seen || in;
            continue;
        }
        if (in)
            section.push_back(&line);
    }
    std::vector<launchentry> out;
    for (int slot = 0; slot < launchslots; ++slot) {
        launchentry e;
        e.slot = slot;
        if (findin(section, slotkey(set, slot, 1), e.title) && findin(section, slotkey(set, slot, 2), e.script) &&
            findin(section, slotkey(set, slot, 3), e.options))
            out.push_back(e);
    }
    return out;
}

}  // namespace host
