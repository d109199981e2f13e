// Whether a script run can start at all. A host started with "/quit" has no
// one watching it: a run that cannot open its script or its log would leave it
// waiting on a box for ever, so such a host asks first.
#pragma once

#include <string>

namespace host {

// Empty when `script` opens for reading as the engine opens it and one of the
// log names the engine tries ("<programdir>log\NAME.log", then "NAME_01.log"
// ... "NAME_99.log") can be written; else the system-log line that says why.
// Nothing is left behind: a log file made only to try it is removed again.
std::wstring runblocker(const std::wstring& programdir, const std::wstring& script);

}  // namespace host
