#include "core/cmdline.h"

namespace host {

cmdline parsecmdline(const std::vector<std::wstring>& argv, const std::wstring& curdir)
{
    cmdline c;
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::wstring& a = argv[i];
        c.args.push_back(a);
        if (i == 1) {
            // Taken as the script even when it is a switch.
            c.script = a.find(L'\\') != std::wstring::npos ? a : curdir + a;
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
