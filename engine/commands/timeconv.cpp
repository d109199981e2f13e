// Zone conversion with its run-time fallback, and the strftime directives.
#include "commands/timeconv.h"

#include <cwchar>

namespace timeconv {

namespace {

template <class Fn>
Fn resolve(const wchar_t* module, const char* name)
{
    HMODULE m = GetModuleHandleW(module);
    if (!m)
        m = LoadLibraryW(module);  // kept for the process: the pointer must stay valid
    return m ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

// Weekday names of "%a", Sunday first; Thursday is "thr".
const wchar_t* const weekdays[7] = {L"sun", L"mon", L"tue", L"wed", L"thr", L"fri", L"sat"};

}  // namespace

tzlocalexfn tzlocalex()
{
    static const tzlocalexfn fn = resolve<tzlocalexfn>(L"kernel32.dll", "SystemTimeToTzSpecificLocalTimeEx");
    return fn;
}

enumzonefn enumzones()
{
    static const enumzonefn fn = resolve<enumzonefn>(L"advapi32.dll", "EnumDynamicTimeZoneInformation");
    return fn;
}

BOOL utctozone(tzlocalexfn ex, const DYNAMIC_TIME_ZONE_INFORMATION& zone, const SYSTEMTIME& utc,
               SYSTEMTIME& local)
{
    if (ex)
        return ex(&zone, &utc, &local);
    // The leading fields of the dynamic record are the fixed record's.
    TIME_ZONE_INFORMATION fixed = {};
    fixed.Bias = zone.Bias;
    wmemcpy(fixed.StandardName, zone.StandardName, 32);
    fixed.StandardDate = zone.StandardDate;
    fixed.StandardBias = zone.StandardBias;
    wmemcpy(fixed.DaylightName, zone.DaylightName, 32);
    fixed.DaylightDate = zone.DaylightDate;
    fixed.DaylightBias = zone.DaylightBias;
    return SystemTimeToTzSpecificLocalTime(&fixed, &utc, &local);
}

bool expand(const std::wstring& format, const std::tm& t, std::wstring& out, wchar_t& bad)
{
    out = format;
    // Each replacement is searched for again from the start; none holds a "%".
    for (size_t at = out.find(L'%'); at != std::wstring::npos; at = out.find(L'%')) {
        const wchar_t c = at + 1 < out.size() ? out[at + 1] : L'\0';
        wchar_t buf[30];
        int n = -1;
        switch (c) {
        case L'H': n = _snwprintf(buf, 30, L"%02d", t.tm_hour); break;
        case L'M': n = _snwprintf(buf, 30, L"%02d", t.tm_min); break;
        case L'S': n = _snwprintf(buf, 30, L"%02d", t.tm_sec); break;
        case L'Y': n = _snwprintf(buf, 30, L"%d", t.tm_year + 1900); break;
        case L'y': {
            wchar_t year[30];
            const int len = _snwprintf(year, 30, L"%d", t.tm_year + 1900);
            n = len > 2 ? _snwprintf(buf, 30, L"%s", year + 2) : 0;
            break;
        }
        case L'a':
            n = _snwprintf(buf, 30, L"%s", t.tm_wday >= 0 && t.tm_wday < 7 ? weekdays[t.tm_wday] : L"");
            break;
        case L'd': n = _snwprintf(buf, 30, L"%02d", t.tm_mday); break;
        case L'j': n = _snwprintf(buf, 30, L"%03d", t.tm_yday + 1); break;
        case L'm': n = _snwprintf(buf, 30, L"%02d", t.tm_mon + 1); break;
        case L'w': n = _snwprintf(buf, 30, L"%d", t.tm_wday); break;
        default:
            bad = c;
            return false;
        }
        out.replace(at, 2, buf, n > 0 ? static_cast<size_t>(n) : 0);
    }
    return true;
}

}  // namespace timeconv
