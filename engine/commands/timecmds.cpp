// Time commands: the kept calendar record, time zones, seconds since 1970 and
// the language's own strftime.
#include <climits>
#include <cwchar>
#include <ctime>
#include <string>

#include "commands/timeconv.h"
#include "compiler/textscan.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"

namespace {

// Heap id of a strftime result longer than a datum's inline room.
constexpr int32_t strftimeid = 2220;

// The walk of "enu" ends at the platform's end mark; this bounds it should a
// system fail every index with some other code.
constexpr DWORD zonewalkmax = 100000;

}  // namespace

void ExeScr::getsystemtime_exec() { GetSystemTime(&keptsystime); }

void ExeScr::getlocaltime_exec() { GetLocalTime(&keptsystime); }

void ExeScr::systolocaltime_exec()
{
    const int64_t which = ip->i;
    ++ip;
    const timeconv::enumzonefn enumzone = timeconv::enumzones();
    if (which == 1) {
        const auto index = static_cast<DWORD>(cmdargs::toi32(popd()));
        if ((!enumzone || enumzone(index, &tzrecord) != ERROR_SUCCESS) && logon == 1)
            mylogmsg(L"EnumDynamicTimeZoneInformation fails.\n");
        return;
    }
    if (which == 0) {
        const SYSTEMTIME utc = keptsystime;
        if (!timeconv::utctozone(timeconv::tzlocalex(), tzrecord, utc, keptsystime) && logon == 1)
            mylogmsg(L"SystemTimeToTzSpecificLocalTimeEx fails.\n");
        return;
    }
    // The list is walked only where it can be seen.
    if (!enumzone || !logheard())
        return;
    for (DWORD k = 0; k < zonewalkmax; ++k) {
        DYNAMIC_TIME_ZONE_INFORMATION zone = {};
        const DWORD r = enumzone(k, &zone);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r == ERROR_SUCCESS)
            mylogmsg(L"i:%d name:%s:\n", static_cast<int>(k), zone.TimeZoneKeyName);
    }
}

void ExeScr::systime_exec()
{
    const __time64_t now = _time64(nullptr);
    if (now >= INT32_MIN && now <= INT32_MAX)
        pushint(now);
    else
        pushdbl(static_cast<double>(now));
}

void ExeScr::mktime_exec()
{
    std::tm t = {};
    t.tm_year = cmdargs::toi32(popd()) - 1900;
    t.tm_mon = cmdargs::toi32(popd()) - 1;
    t.tm_mday = cmdargs::toi32(popd());
    t.tm_hour = cmdargs::toi32(popd());
    t.tm_min = cmdargs::toi32(popd());
    t.tm_sec = cmdargs::toi32(popd());
    t.tm_isdst = cmdargs::toi32(popd());
    pushint(_mktime64(&t));
}

void ExeScr::strftime_exec()
{
    strftimetime = cmdargs::toi64(popd());
    datscell* c = pops();
    const std::wstring format = datstext(c);
    datsrelease(c);
    const __time64_t when = strftimetime;
    const std::tm* local = _localtime64(&when);
    if (!local) {
        pushs();
        return;
    }
    const std::tm t = *local;
    std::wstring out;
    wchar_t bad = 0;
    if (!timeconv::expand(format, t, out, bad))
        myerrexit(L"%s:%c:", L"Not supported parameter.", bad);
    pushstrtext(out.c_str(), out.size(), strftimeid);
}

// ---- front ends

void ExeScr::systolocaltime_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    // Only the first three characters of the word count.
    const wchar_t* word = textscan::skipblank(args);
    int32_t code = -1;
    if (wcsncmp(word, L"cnv", 3) == 0)
        code = 0;
    else if (wcsncmp(word, L"set", 3) == 0)
        code = 1;
    else if (wcsncmp(word, L"enu", 3) == 0)
        code = 2;
    else
        comperr(L"Not supported parameter.");
    if (count != (code == 1 ? 2 : 1))
        comperr(L"the number of argument mismatch.");
    if (code == 1)
        nextnum(args);
    mypop();  // the word's own offset
    emitcell(&ExeScr::systolocaltime_exec);
    emitint(code);
}

void ExeScr::mktime_comp(wchar_t* args) { fixedargs_comp(args, "nnnnnnn", &ExeScr::mktime_exec); }

void ExeScr::strftime_comp(wchar_t* args) { fixedargs_comp(args, "sn", &ExeScr::strftime_exec); }
