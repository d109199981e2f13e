// The name a run goes by, shared by the engine and the host: the file name
// behind the last "\" or "/" (or a drive's colon), cut at its last ".".
#pragma once

#include <string>

// Where the file name of a script path starts: just after its last "\", "/" or
// the colon of a drive-relative path ("C:a.tst"); 0 when it has none of them.
inline size_t namestart(const std::wstring& path)
{
    const size_t sep = path.find_last_of(L"\\/:");
    return sep == std::wstring::npos ? 0 : sep + 1;
}

inline std::wstring runname(const std::wstring& path)
{
    std::wstring name = path.substr(namestart(path));
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.resize(dot);
    return name;
}
