// The host's command line: argument 1 is the script; the switches are found in
// any position, exactly and case-sensitively.
#pragma once

#include <string>
#include <vector>

namespace host {

struct cmdline {
    std::vector<std::wstring> args;  // every argument, the program name included
    std::wstring script;             // argument 1, made absolute
    bool scriptgiven = false;
    bool min = false, hide = false, nolog = false, quit = false, prim = false;
};

// Absolute in Windows terms: a drive letter and its colon, or a leading "\" or
// "/" ("C:/jobs/a.tst", "\\server\s\a.tst", "/jobs/a.tst").
bool isabsolutepath(const std::wstring& a);

// `curdir` ends in "\". A script argument is taken unchanged when it holds a
// "\" or is absolute, else relative to `curdir`.
cmdline parsecmdline(const std::vector<std::wstring>& argv, const std::wstring& curdir);

}  // namespace host
