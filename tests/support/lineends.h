// Script texts as the engine reads a stored file: the repository and the
// tests write them with LF line ends, a stored script has CR LF.
//
// Header-only: the in-process fuzzer and the bench program link no test library.
#pragma once

#include <string>

namespace qtest {

// Every LF that no CR stands before becomes CR LF; nothing else changes, so
// a text that has CR LF already comes back as it was.
inline std::wstring crlf(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size() + text.size() / 16);
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] == L'\n' && (k == 0 || text[k - 1] != L'\r'))
            out += L'\r';
        out += text[k];
    }
    return out;
}

}  // namespace qtest
