// The rows of the three enrolment windows as the settings hold them: what a
// row shows when the window opens, and what saving or deleting it writes.
#pragma once

#include <string>

#include "core/iniimage.h"

namespace host {

// "%02d_<field>", the key of one row's field.
std::wstring rowkey(int row, const wchar_t* field);

// A hotkey launcher row, [hotkeylauncher] 00 to 29.
struct ehrowtext {
    std::wstring title, script, options = L"/quit /hide";
    int mod = 1;  // modtable row; "ALT" in an empty row
    std::wstring key;
};
// The row as stored, or the empty row when a key is missing or empty or the
// modifier is not "0".."5".
ehrowtext ehreadrow(const iniimage& ini, int row);
void ehwriterow(iniimage& ini, int row, const ehrowtext& r);
// Removes the row's five keys and logs "Delete %02d key.".
void ehdeleterow(iniimage& ini, int row);

// A resident script row, [resident] 00 to 07.
struct resrowtext {
    std::wstring title, script;
    bool active = true;
};
resrowtext resreadrow(const iniimage& ini, int row);
// Writes the row, or with a field empty deletes it; the row as shown afterwards.
resrowtext ressaverow(iniimage& ini, int row, const resrowtext& r);

// A Launch Menu entry row of one set, [script] slots 0 to 35.
struct esrowtext {
    std::wstring title, script, options = L"/quit /hide";
};
esrowtext esreadrow(const iniimage& ini, int set, int slot);
// Writes the entry, or with a field empty deletes its three keys.
void essaverow(iniimage& ini, int set, int slot, const esrowtext& r);

// The log lines for empty fields of a row being saved; true when both are set.
bool notemissing(const std::wstring& title, const std::wstring& script);

}  // namespace host
