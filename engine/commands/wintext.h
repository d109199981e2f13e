// Small pieces the window command groups share: the texts of a window, a
// handle as the 32-bit number the diagnostic lines print, and the test of a
// bare sub-command word.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "compiler/textscan.h"

namespace wintext {

// A window's title and class name, zeroed first, so that a handle that is no
// window leaves both empty. `room` is at most 256.
struct windowtexts {
    wchar_t title[256] = {};
    wchar_t cls[256] = {};
    explicit windowtexts(HWND h, int room = 256)
    {
        GetWindowTextW(h, title, room);
        GetClassNameW(h, cls, room);
    }
};

inline uint32_t hex32(HWND h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }

// Whether an argument is exactly `word` once blanks and tabs around it are
// left out; the argument is not changed (it may still be compiled).
inline bool isword(const wchar_t* text, const wchar_t* word)
{
    while (textscan::blank(*text))
        ++text;
    const size_t n = wcslen(word);
    if (wcsncmp(text, word, n) != 0)
        return false;
    for (text += n; textscan::blank(*text);)
        ++text;
    return *text == 0;
}

}  // namespace wintext
