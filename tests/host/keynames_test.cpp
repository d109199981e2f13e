#include <gtest/gtest.h>

#include "core/keynames.h"
#include "core/keyrules.h"

using namespace host;

TEST(KeyNames, TableHas65UniqueRowsAndAnEndRow)
{
    int rows = 0;
    for (const keyname* k = keynametable; k->name; ++k, ++rows)
        for (const keyname* o = k + 1; o->name; ++o) {
            EXPECT_NE(std::wstring(k->name), o->name);
            EXPECT_NE(k->code, o->code) << k->name << " " << o->name;
        }
    EXPECT_EQ(rows, 65);
    EXPECT_EQ(keynametable[65].name, nullptr);
}

TEST(KeyNames, CodesToTextAndBack)
{
    EXPECT_EQ(keytext(0x41), L"A");
    EXPECT_EQ(keytext(0x39), L"9");
    EXPECT_EQ(keytext(0x08), L"BACK");
    EXPECT_EQ(keytext(0x10), L"SFT");
    EXPECT_EQ(keytext(0xDF), L"OEM_8");
    EXPECT_EQ(keytext(0x5B), L"");  // no row
    EXPECT_EQ(keyshown(0x5B, L"UNKNOWN"), L"UNKNOWN");
    EXPECT_EQ(keyshown(0x74, L"UNKNOWN"), L"F5");

    EXPECT_EQ(keycode(L"A"), 0x41u);
    EXPECT_EQ(keycode(L"a"), 0u);  // a lower-case letter is not a key
    EXPECT_EQ(keycode(L"F10"), 0x79u);
    EXPECT_EQ(keycode(L"F11"), 0x7Au);
    EXPECT_EQ(keycode(L"F12"), 0x7Bu);
    EXPECT_EQ(keycode(L"F1"), 0x70u);
    EXPECT_EQ(keycode(L"NUM_+"), 0x6Bu);
    EXPECT_EQ(keycode(L"F13"), 0u);
    EXPECT_EQ(keycode(L""), 0u);
    EXPECT_EQ(keycode(L"AB"), 0u);
    for (const keyname* k = keynametable; k->name; ++k)
        EXPECT_EQ(keycode(keytext(k->code)), k->code) << k->name;
}

TEST(KeyNames, ModifierTable)
{
    EXPECT_STREQ(modtable[0].name, L"CTRL");
    EXPECT_EQ(modtable[0].flags, 2u);
    EXPECT_STREQ(modtable[3].name, L"SHIFT+CTRL");
    EXPECT_EQ(modtable[3].flags, 6u);
    EXPECT_EQ(modtable[5].flags, 0u);
    EXPECT_TRUE(validmod(0));
    EXPECT_TRUE(validmod(5));
    EXPECT_FALSE(validmod(-1));
    EXPECT_FALSE(validmod(6));
}

TEST(KeyRules, TheHostsOwnShortcutsAndTheOtherKeyAreRefused)
{
    // Main hotkey against the run key Ctrl+S.
    EXPECT_TRUE(hotkeyrefused(0, 'S', 0, L'S'));
    EXPECT_TRUE(hotkeyrefused(0, 'D', 1, L'S'));
    EXPECT_FALSE(hotkeyrefused(0, 'Z', 0, L'S'));
    EXPECT_FALSE(hotkeyrefused(1, 'S', 0, L'S'));  // ALT+S is free while the run key is Ctrl+S
    EXPECT_TRUE(hotkeyrefused(1, 'R', 1, L'R'));   // the run key itself
    EXPECT_FALSE(hotkeyrefused(0, 0x74, 1, L'S')); // F5
    // Run key against the main hotkey ALT+X.
    EXPECT_FALSE(runkeyrefused(0, L'S', 1, 'X'));  // S is not among the run key's refused letters
    EXPECT_TRUE(runkeyrefused(0, L'E', 1, 'X'));
    EXPECT_FALSE(runkeyrefused(0, L'Z', 1, 'X'));
    EXPECT_TRUE(runkeyrefused(1, L'X', 1, 'X'));
}
