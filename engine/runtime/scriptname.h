// The name a run goes by, shared by the engine and the host: the file name
// behind the last "\", cut at its last ".".
#pragma once

#include <string>

inline std::wstring runname(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.resize(dot);
    return name;
}
