#include "core/keynames.h"

namespace host {

const keyname keynametable[66] = {
    {L"BACK", 0x08},   {L"TAB", 0x09},    {L"CLR", 0x0C},    {L"RET", 0x0D},    {L"SFT", 0x10},
    {L"CTRL", 0x11},   {L"MENU", 0x12},   {L"PAUS", 0x13},   {L"CAPT", 0x14},   {L"KANA", 0x15},
    {L"ESC", 0x1B},    {L"CONV", 0x1C},   {L"NCONV", 0x1D},  {L"SPACE", 0x20},  {L"PRIOR", 0x21},
    {L"NEXT", 0x22},   {L"END", 0x23},    {L"HOME", 0x24},   {L"LEFT", 0x25},   {L"UP", 0x26},
    {L"RIGHT", 0x27},  {L"DOWN", 0x28},   {L"PRT", 0x2C},    {L"INS", 0x2D},    {L"DEL", 0x2E},
    {L"NUM_0", 0x60},  {L"NUM_1", 0x61},  {L"NUM_2", 0x62},  {L"NUM_3", 0x63},  {L"NUM_4", 0x64},
    {L"NUM_5", 0x65},  {L"NUM_6", 0x66},  {L"NUM_7", 0x67},  {L"NUM_8", 0x68},  {L"NUM_9", 0x69},
    {L"NUM_*", 0x6A},  {L"NUM_+", 0x6B},  {L"NUM_,", 0x6C},  {L"NUM_-", 0x6D},  {L"NUM_.", 0x6E},
    {L"NUM_/", 0x6F},  {L"F1", 0x70},     {L"F2", 0x71},     {L"F3", 0x72},     {L"F4", 0x73},
    {L"F5", 0x74},     {L"F6", 0x75},     {L"F7", 0x76},     {L"F8", 0x77},     {L"F9", 0x78},
    {L"F10", 0x79},    {L"F11", 0x7A},    {L"F12", 0x7B},    {L"OEM_1", 0xBA},  {L"OEM_+", 0xBB},
    {L"OEM_,", 0xBC},  {L"OEM_-", 0xBD},  {L"OEM_.", 0xBE},  {L"OEM_2", 0xBF},  {L"OEM_3", 0xC0},
    {L"OEM_4", 0xDB},  {L"OEM_5", 0xDC},  {L"OEM_6", 0xDD},  {L"OEM_7", 0xDE},  {L"OEM_8", 0xDF},
    {nullptr, 0},
};

const modname modtable[6] = {
    {L"CTRL", 2}, {L"ALT", 1}, {L"CTRL+ALT", 3}, {L"SHIFT+CTRL", 6}, {L"SHIFT+ALT", 5}, {L"NONE", 0},
};

bool charkey(uint32_t code)
{
    return (code >= 0x30 && code <= 0x39) || (code >= 0x41 && code <= 0x5A);
}

std::wstring keytext(uint32_t code)
{
    if (charkey(code))
        return std::wstring(1, static_cast<wchar_t>(code));
    for (const keyname* k = keynametable; k->name; ++k)
        if (k->code == code)
            return k->name;
    return std::wstring();
}

uint32_t keycode(const std::wstring& text)
{
    if (text.size() == 1 && charkey(text[0]))
        return text[0];
    // Whole-text comparison: "F1" must not match "F10".
    for (const keyname* k = keynametable; k->name; ++k)
        if (text == k->name)
            return k->code;
    return 0;
}

std::wstring keyshown(uint32_t code, const wchar_t* unknown)
{
    const std::wstring t = keytext(code);
    return t.empty() ? std::wstring(unknown) : t;
}

}  // namespace host
