#include "core/cmdline.h"

namespace host {

namespace {

bool isswitch(const std::wstring& a)
{
    return a == L"/min" || a == L"/quit" || a == L"/hide" || a == L"/nolog" || a == L"/prim";
}

}  // namespace

bool isabsolutepath(const std::wstring& a)
{
    if (a.empty())
        return false;
    if (a[0] == L'\\' || a[0] == L'/')
        return true;
    const wchar_t d = static_cast<wchar_t>(a[0] | 0x20);
    return a.size() >= 2 && d >= L'a' && d <= L'z' && a[1] == L':';
}

cmdline parsecmdline(const std::vector<std::wstring>& argv, const std::wstring& curdir)
{
    cmdline c;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::wstring& a = argv[i];
        c.args.push_back(a);
        if (i == 1) {
            // Taken as the script even when it is a switch; a switch stays a
            // name in the current folder, not a path from the drive's root.
            const bool keep = a.find(L'\\') != std::wstring::npos || (isabsolutepath(a) && !isswitch(a));
            c.script = keep ? a : curdir + a;
            c.scriptgiven = true;
        }
        if (a == L"/min")
            c.min = true;
        else if (a == L"/quit")
            c.quit = true;
        else if (a == L"/hide")
            c.hide = true;
        else if (a == L"/nolog")
            c.nolog = true;
        else if (a == L"/prim")
            c.prim = true;
    }
    return c;
}

}  // namespace host
