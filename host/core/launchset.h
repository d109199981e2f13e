// The Launch Menu's entries: two sets of up to 36 slots kept in [script] of the
// settings ("%c1" title, "%c2" script, "%c3" options; "s_%c1"... for set 2).
#pragma once

#include <string>
#include <vector>

#include "core/iniimage.h"

namespace host {

constexpr int launchslots = 36;

struct launchentry {
    int slot = 0;  // 0 to 35
    std::wstring title, script, options;
};

// "0".."9" for slots 0 to 9, "a".."z" for 10 to 35.
wchar_t slotchar(int slot);
// The slot a pressed key names: "0".."9" and "A".."Z" (10 onwards); -1 for others.
int keyslot(unsigned key);
// The settings key of a slot's field (1 title, 2 script, 3 options) in a set.
std::wstring slotkey(int set, int slot, int field);

// The entries of one set in slot order; a slot lacking one of its three keys
// is left out. Only the first [script] section counts.
std::vector<launchentry> loadlaunchset(const iniimage& ini, int set);

}  // namespace host
