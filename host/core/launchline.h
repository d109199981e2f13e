// Starting a script in a new host instance: the parameters handed to the
// host's own program and what the starting instance remembers of the run.
#pragma once

#include <string>

namespace host {

// "<script> <options> /prim" with the script path quoted, so that a path with
// blanks reaches the new instance as one argument.
std::wstring launchparams(const std::wstring& script, const std::wstring& options);

// Whether the new instance closes when its script ends and reports back
// ("/quit" among the options): only then is the run listed as running elsewhere.
bool wantsquit(const std::wstring& options);

}  // namespace host
