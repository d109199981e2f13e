#include "core/launchline.h"

namespace host {

std::wstring launchparams(const std::wstring& script, const std::wstring& options)
{
    std::wstring quoted;
    if (script.find(L'"') != std::wstring::npos) {
        quoted = script;  // already quoted by whoever enrolled it (a path never holds one)
    } else {
        quoted = L"\"" + script;
        // A backslash before the closing quote would escape it.
        if (!script.empty() && script.back() == L'\\')
            quoted += L'\\';
        quoted += L"\"";
    }
    return quoted + L" " + options + L" /prim";
}

bool wantsquit(const std::wstring& options)
{
    return options.find(L"/quit") != std::wstring::npos;
}

}  // namespace host
