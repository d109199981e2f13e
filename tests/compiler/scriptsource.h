// A script text as the compiler receives it: behind a byte-order mark, in a
// writable buffer that lives as long as the test needs it.
#pragma once

#include <string>

namespace qtest {

struct scriptsource {
    std::wstring buf;
    explicit scriptsource(const std::wstring& text) : buf(std::wstring(1, wchar_t(0xFEFF)) + text) {}
    wchar_t* text() { return buf.data() + 1; }
};

}  // namespace qtest
