// Whether a script run can start at all. A host started with "/quit" has no
// one watching it: a run that cannot open its log would end on the fatal box
// with nothing written anywhere, so such a host asks first. A script that
// cannot be opened is no reason: its run says so in its own log and ends.
#pragma once

#include <string>

namespace host {

// Empty when one of the log names the engine tries for `script`
// ("<programdir>log\NAME.log", then "NAME_01.log" ... "NAME_99.log") can be
// written; else the system-log line that says why. Nothing is left behind: a
// log file made only to try it is removed again.
std::wstring runblocker(const std::wstring& programdir, const std::wstring& script);

}  // namespace host
