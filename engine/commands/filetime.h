// FILETIME counts (100-nanosecond intervals since 1601-01-01 UTC) as the
// seconds since 1970-01-01 UTC that scripts see, and back.
#pragma once

#include <windows.h>

#include <cstdint>

namespace filetime {

// Seconds from 1601-01-01 to 1970-01-01.
constexpr int64_t epochshift = 11644473600;

inline uint64_t ticks(const FILETIME& ft)
{
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// Whole seconds since 1601 (truncated).
inline int64_t secs1601(const FILETIME& ft) { return static_cast<int64_t>(ticks(ft) / 10000000u); }

// Whole seconds since 1970: negative before it, never wrapped around.
inline int64_t secs1970(const FILETIME& ft) { return secs1601(ft) - epochshift; }

// The FILETIME of a count of seconds since 1970. Counts outside what a FILETIME
// holds wrap (the platform then refuses or misplaces them) rather than overflow.
inline FILETIME fromsecs1970(int64_t secs)
{
    const uint64_t t = static_cast<uint64_t>(secs) * 10000000u + 116444736000000000u;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(t);
    ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
    return ft;
}

}  // namespace filetime
