// Character classes and line skipping shared by the lexer and the pre-scan.
#pragma once

namespace textscan {

inline bool asciiletter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// A name begins with an ASCII letter and goes on with these.
inline bool namechar(wchar_t c)
{
    return asciiletter(c) || (c >= L'0' && c <= L'9') || c == L'_' || c == L'.' || c == L']';
}

inline bool blank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

// Past the next LF, or at the end of the text.
inline wchar_t* pastline(wchar_t* p)
{
    while (*p && *p != L'\n')
        ++p;
    return *p ? p + 1 : p;
}

}  // namespace textscan
