// Time conversions that need no engine: UTC to a chosen time zone with the
// platform call resolved at run time, and the language's own strftime.
#pragma once

#include <windows.h>

#include <ctime>
#include <string>

namespace timeconv {

using tzlocalexfn = BOOL(WINAPI*)(const DYNAMIC_TIME_ZONE_INFORMATION*, const SYSTEMTIME*, LPSYSTEMTIME);
using enumzonefn = DWORD(WINAPI*)(DWORD, PDYNAMIC_TIME_ZONE_INFORMATION);

// SystemTimeToTzSpecificLocalTimeEx of kernel32, or null where the system lacks
// it or has only a stub (GetProcAddress does not return stubs). Resolved once.
tzlocalexfn tzlocalex();
// EnumDynamicTimeZoneInformation of advapi32 (Windows 8 on), or null.
enumzonefn enumzones();

// Converts a UTC time to the local time of `zone`: through `ex` when given,
// else through SystemTimeToTzSpecificLocalTime with the zone's standard and
// daylight rules. Non-zero on success.
BOOL utctozone(tzlocalexfn ex, const DYNAMIC_TIME_ZONE_INFORMATION& zone, const SYSTEMTIME& utc,
               SYSTEMTIME& local);

// Expands the directives of "strftime" (%H %M %S %Y %y %a %d %j %m %w) in
// `format` from `t`. On any other character behind a "%" (the end of the text
// included) returns false with that character in `bad`.
bool expand(const std::wstring& format, const std::tm& t, std::wstring& out, wchar_t& bad);

}  // namespace timeconv
