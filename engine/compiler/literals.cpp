// String literals of the script text, entered into the literal pools.
#include <cwchar>

#include "runtime/exescr.h"

// Mode 1: a double-quoted literal, backslash escapes resolved; mode 2: a
// single-quoted one, "''" standing for one quote; mode 3: the text unchanged.
int64_t ExeScr::parsenamelist(const wchar_t* open, const wchar_t* close, int32_t mode)
{
    const size_t n = static_cast<size_t>(close - open - 1);
    wchar_t inl[129];
    wchar_t* buf = n > 128 ? static_cast<wchar_t*>(mymalloc2((n + 1) * sizeof(wchar_t), 215)) : inl;
    wmemcpy(buf, open + 1, n);
    buf[n] = 0;
    if (mode == 1) {
        unescape(buf);
    } else if (mode == 2) {
        wchar_t* out = buf;
        for (const wchar_t* p = buf; *p; ++p) {
            *out++ = *p;
            if (p[0] == L'\'' && p[1] == L'\'')
                ++p;
        }
        *out = 0;
    }
    const int64_t ref = strlitadd(buf, wcslen(buf));
    if (buf != inl)
        myfree(buf, 215);
    return ref;
}
