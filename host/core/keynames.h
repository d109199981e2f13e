// Key names and modifiers as the host shows and stores them: the fixed table
// of named virtual keys, the modifier table (stored by row index), and the
// lookups both ways. Digits and capital letters are written as themselves.
#pragma once

#include <cstdint>
#include <string>

namespace host {

struct keyname {
    const wchar_t* name;
    uint32_t code;
};

struct modname {
    const wchar_t* name;
    uint32_t flags;  // MOD_ flags
};

// 65 named keys, then a row with no name that ends the table.
extern const keyname keynametable[66];
// Rows 0 to 5: "CTRL", "ALT", "CTRL+ALT", "SHIFT+CTRL", "SHIFT+ALT", "NONE".
extern const modname modtable[6];
constexpr int modcount = 6;

// A modifier index that may index modtable.
inline bool validmod(int m)
{
    return m >= 0 && m < modcount;
}

// Whether the code is written as its own character ("0".."9", "A".."Z").
bool charkey(uint32_t code);
// The key's text: the character, the table name, or empty when it has none.
std::wstring keytext(uint32_t code);
// The code of a key text; 0 when the text is not a key.
uint32_t keycode(const std::wstring& text);

// The key as the hotkey log lines and the title show it: its text (a digit or
// letter reads the same whether written with "%c" or "%s"), else `unknown`.
std::wstring keyshown(uint32_t code, const wchar_t* unknown);

}  // namespace host
