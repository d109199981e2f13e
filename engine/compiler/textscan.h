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

// Past blanks and tabs.
inline wchar_t* skipblank(wchar_t* p)
{
    while (blank(*p))
        ++p;
    return p;
}

// Cuts blanks and tabs at both ends, in place; returns the first kept character.
inline wchar_t* trimblanks(wchar_t* text)
{
    while (blank(*text))
        ++text;
    wchar_t* end = text;
    while (*end)
        ++end;
    while (end > text && blank(end[-1]))
        --end;
    *end = 0;
    return text;
}

// Past the next LF, or at the end of the text.
inline wchar_t* pastline(wchar_t* p)
{
    while (*p && *p != L'\n')
        ++p;
    return *p ? p + 1 : p;
}

}  // namespace textscan
