#include "core/formats.h"

#include "runtime/scriptname.h"

#include <algorithm>

namespace host {

std::wstring scriptbasename(const std::wstring& path)
{
    return runname(path);
}

std::wstring titletext(const std::wstring& base, const std::wstring& script,
                       const std::vector<std::wstring>& remoteruns, bool focused)
{
    std::wstring t = L" " + base + L" - [" + script + L"]";
    if (!remoteruns.empty()) {
        t += L"[Run";
        for (const std::wstring& r : remoteruns)
            t += L":" + r;
        t += L"]";
    }
    if (focused)
        t[0] = L'*';
    return t;
}

std::wstring tablabel(const std::wstring& path, bool focused)
{
    std::wstring label(1, focused ? L'*' : L' ');
    return label + scriptbasename(path);
}

bool copydatapath(const COPYDATASTRUCT* cds, std::wstring& path)
{
    // Any process may send this message: trust neither the size nor a final NUL.
    if (!cds || cds->dwData != 0 || !cds->lpData || cds->cbData < sizeof(wchar_t))
        return false;
    const auto* text = static_cast<const wchar_t*>(cds->lpData);
    const size_t most = cds->cbData / sizeof(wchar_t);
    const size_t len = std::find(text, text + most, L'\0') - text;
    path.assign(text, len);
    return true;
}

void delremoterun(std::vector<std::wstring>& remoteruns, const std::wstring& name)
{
    if (name.empty())
        return;
    remoteruns.erase(std::remove(remoteruns.begin(), remoteruns.end(), name), remoteruns.end());
}

}  // namespace host
