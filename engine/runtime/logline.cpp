#include "runtime/logline.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

logline::logline(const wchar_t* fmt, va_list ap)
{
    va_list measure, again;
    va_copy(measure, ap);
    va_copy(again, ap);
    text = inl;
    int n = _vsnwprintf(inl, 256, fmt, ap);
    // Keep one place for the CR that crlf() may add and one for the terminator.
    if (n < 0 || n > 253) {
        int need = _vscwprintf(fmt, measure);
        if (need >= 0) {
            heap = static_cast<wchar_t*>(malloc((static_cast<size_t>(need) + 2) * sizeof(wchar_t)));
            if (heap) {
                _vsnwprintf(heap, static_cast<size_t>(need) + 1, fmt, again);
                heap[need] = 0;
                text = heap;
            }
        }
        if (text == inl) {  // no heap, or a format the runtime refuses
            whole = false;
            inl[0] = 0;
        }
    }
    va_end(measure);
    va_end(again);
    len = wcslen(text);
}

logline::~logline()
{
    free(heap);
}

void logline::crlf()
{
    if (len >= 1 && text[len - 1] == L'\n' && (len < 2 || text[len - 2] != L'\r')) {
        text[len - 1] = L'\r';
        text[len] = L'\n';
        text[++len] = 0;
    }
}
