// Time commands under fixed time zones: the C runtime's zone set for this
// process alone (its TZ variable), and conversions to zones chosen by name
// from the platform's list. The machine's own zone is never changed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "commands/timeconv.h"
#include "runtime/exescr.h"
#include "support/codelist.h"
#include "support/scriptrun.h"
#include "support/testenv.h"

using qtest::popint;
using qtest::popstr;
using qtest::runop;

namespace {

// The runtime's local zone while it lives, as the TZ variable of this process.
class tzfor {
public:
    explicit tzfor(const char* tz)
    {
        const char* old = getenv("TZ");
        had = old != nullptr;
        if (had)
            saved = old;
        _putenv((std::string("TZ=") + tz).c_str());
        _tzset();
    }
    ~tzfor()
    {
        _putenv((std::string("TZ=") + (had ? saved : "")).c_str());
        _tzset();
    }
    tzfor(const tzfor&) = delete;
    tzfor& operator=(const tzfor&) = delete;

private:
    bool had = false;
    std::string saved;
};

std::wstring strftimeof(ExeScr& e, const std::wstring& format, int64_t t)
{
    e.pushstrtext(format.c_str(), format.size(), 217);
    e.pushint(t);
    e.strftime_exec();
    return popstr(e);
}

int64_t mktimeof(ExeScr& e, int y, int mo, int d, int h, int mi, int s, int dst)
{
    for (int v : {dst, s, mi, h, d, mo, y})
        e.pushint(v);
    e.mktime_exec();
    return popint(e);
}

// The index of the zone with that key name in the platform's list, or -1.
int32_t zoneindex(const wchar_t* key)
{
    const timeconv::enumzonefn enumzone = timeconv::enumzones();
    if (!enumzone)
        return -1;
    DYNAMIC_TIME_ZONE_INFORMATION z;
    for (DWORD k = 0; k < 1000; ++k) {
        const DWORD r = enumzone(k, &z);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r == ERROR_SUCCESS && wcscmp(z.TimeZoneKeyName, key) == 0)
            return static_cast<int32_t>(k);
    }
    return -1;
}

SYSTEMTIME utcat(WORD y, WORD mo, WORD d, WORD h)
{
    SYSTEMTIME t = {};
    t.wYear = y;
    t.wMonth = mo;
    t.wDay = d;
    t.wHour = h;
    return t;
}

std::wstring ymdh(const SYSTEMTIME& t)
{
    wchar_t buf[40];
    _snwprintf(buf, 40, L"%04u-%02u-%02u %02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
    return buf;
}

// Converts the kept time through "systolocaltime" with "set" and "cnv".
std::wstring converted(ExeScr& e, int32_t zone, const SYSTEMTIME& utc)
{
    e.pushint(zone);
    runop(e, &ExeScr::systolocaltime_exec, 1);
    e.keptsystime = utc;
    runop(e, &ExeScr::systolocaltime_exec, 0);
    return ymdh(e.keptsystime);
}

BOOL WINAPI fakeex(const DYNAMIC_TIME_ZONE_INFORMATION* zone, const SYSTEMTIME*, LPSYSTEMTIME local)
{
    local->wYear = static_cast<WORD>(zone->Bias);
    return FALSE;
}

}  // namespace

TEST(Strftime, DirectivesInFixedZones)
{
    ExeScr e;
    {
        tzfor utc("UTC0");
        EXPECT_EQ(strftimeof(e, L"%Y-%m-%d %H:%M:%S", 0), L"1970-01-01 00:00:00");
        // 2024-02-29 12:00:00 UTC, a Thursday.
        EXPECT_EQ(strftimeof(e, L"%y/%j/%w/%a", 1709208000), L"24/060/4/thr");
        EXPECT_EQ(strftimeof(e, L"%d.%m. %H%M%S", 1709208000 + 3723), L"29.02. 130203");
        EXPECT_EQ(e.strftimetime, 1709208000 + 3723) << "the time of the last expansion is kept";
        // Longer than a datum's inline room.
        EXPECT_EQ(strftimeof(e, std::wstring(20, L'x') + L"%Y%Y%Y%Y%Y%Y%Y%Y%Y%Y%Y%Y", 0),
                  std::wstring(20, L'x') + L"197019701970197019701970197019701970197019701970");
        EXPECT_EQ(strftimeof(e, L"%a", 1709208000 + 2 * 86400), L"sat");
    }
    {
        tzfor tokyo("JST-9");
        EXPECT_EQ(strftimeof(e, L"%Y-%m-%d %H:%M", 0), L"1970-01-01 09:00");
    }
    {
        tzfor newyork("EST5");
        EXPECT_EQ(strftimeof(e, L"%Y-%m-%d %H:%M", 86400), L"1970-01-01 19:00");
    }
    // Times the runtime cannot convert give the empty text, whatever the format.
    EXPECT_EQ(strftimeof(e, L"%Y", -1), L"");
    EXPECT_EQ(strftimeof(e, L"%q", -1), L"");
    EXPECT_EQ(strftimeof(e, L"%Y", INT64_MAX), L"");
    e.freedatd();
    e.freedats();
}

TEST(Strftime, UnknownDirectivesEndTheRun)
{
    qtest::expectexits(L"strftimeerr", {
        {L"s = strftime(\"%q\", 0)\r\n", L"Not supported parameter.:q: at line 1"},
        {L"s = strftime(\"%%\", 0)\r\n", L"Not supported parameter.:%: at line 1"},
        {L"f = \"%Y %\"\r\ns = strftime(f, 0)\r\n", L"Not supported parameter.: at line 2"},
    }, true);
}

TEST(Mktime, LocalTimeOfFixedZones)
{
    ExeScr e;
    {
        tzfor utc("UTC0");
        EXPECT_EQ(mktimeof(e, 2024, 1, 31, 0, 0, 0, 0), 1706659200);
        EXPECT_EQ(mktimeof(e, 2024, 2, 0, 0, 0, 0, 0), 1706659200) << "day 0 is the last of January";
        EXPECT_EQ(mktimeof(e, 2023, 13, 31, 24, 0, 0, -1), 1706745600) << "month 13, hour 24";
        EXPECT_EQ(mktimeof(e, 1970, 1, 1, 0, 0, 0, 0), 0);
        EXPECT_EQ(mktimeof(e, 1969, 12, 31, 23, 59, 59, 0), -1) << "before 1970";
        EXPECT_EQ(mktimeof(e, 3002, 1, 1, 0, 0, 0, 0), -1) << "past the runtime's range";
    }
    {
        tzfor tokyo("JST-9");
        EXPECT_EQ(mktimeof(e, 2024, 1, 31, 0, 0, 0, 0), 1706659200 - 9 * 3600);
    }
    e.freedatd();
}

TEST(TimeZones, ConversionToZonesChosenByName)
{
    const int32_t tokyo = zoneindex(L"Tokyo Standard Time");
    const int32_t pacific = zoneindex(L"Pacific Standard Time");
    ASSERT_GE(tokyo, 0);
    ASSERT_GE(pacific, 0);
    qtest::loggedengine e(L"tzconvert");
    EXPECT_EQ(converted(e, tokyo, utcat(2024, 6, 30, 20)), L"2024-07-01 05:00");
    EXPECT_EQ(converted(e, pacific, utcat(2024, 7, 1, 0)), L"2024-06-30 17:00") << "daylight time";
    EXPECT_EQ(converted(e, pacific, utcat(2024, 1, 15, 12)), L"2024-01-15 04:00") << "standard time";
    e.closelog();
    EXPECT_EQ(e.contents().find(L"fails"), std::wstring::npos) << qtest::narrow(e.contents());
    e.freedatd();
}

TEST(TimeZones, ExtendedCallOrItsFallback)
{
    // Where the system has the extended call it is used; else (as on Wine 8,
    // whose stub is never resolved) the fixed-rule call stands in. Either way
    // the zone chosen above converts, without the extended call's stub.
    const int32_t tokyo = zoneindex(L"Tokyo Standard Time");
    ASSERT_GE(tokyo, 0);
    DYNAMIC_TIME_ZONE_INFORMATION zone;
    ASSERT_EQ(timeconv::enumzones()(static_cast<DWORD>(tokyo), &zone), static_cast<DWORD>(ERROR_SUCCESS));
    SYSTEMTIME local = {};
    ASSERT_TRUE(timeconv::utctozone(nullptr, zone, utcat(2024, 12, 31, 16), local));
    EXPECT_EQ(ymdh(local), L"2025-01-01 01:00");
    if (timeconv::tzlocalex()) {
        SYSTEMTIME viaex = {};
        ASSERT_TRUE(timeconv::utctozone(timeconv::tzlocalex(), zone, utcat(2024, 12, 31, 16), viaex));
        EXPECT_EQ(ymdh(viaex), L"2025-01-01 01:00");
    }
    // A given extended call is the one used, its answer passed on.
    zone.Bias = 1234;
    EXPECT_FALSE(timeconv::utctozone(fakeex, zone, utcat(2024, 1, 1, 0), local));
    EXPECT_EQ(local.wYear, 1234);
    // The record before any "set" is all zero: UTC.
    const DYNAMIC_TIME_ZONE_INFORMATION none = {};
    ASSERT_TRUE(timeconv::utctozone(nullptr, none, utcat(2024, 3, 9, 7), local));
    EXPECT_EQ(ymdh(local), L"2024-03-09 07:00");
}

TEST(TimeZones, ListAndFailuresInTheLog)
{
    int zones = 0;
    DYNAMIC_TIME_ZONE_INFORMATION z;
    DYNAMIC_TIME_ZONE_INFORMATION first = {};
    for (DWORD k = 0; k < 1000; ++k) {
        const DWORD r = timeconv::enumzones()(k, &z);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r == ERROR_SUCCESS && zones++ == 0)
            first = z;
    }
    ASSERT_GT(zones, 0);

    qtest::loggedengine e(L"tzlist");
    runop(e, &ExeScr::systolocaltime_exec, 2);
    e.pushint(100000);
    runop(e, &ExeScr::systolocaltime_exec, 1);
    // The pane off and the file open to priority lines only: both channels
    // count as off for the list, which is then not walked.
    e.logsupwin = 2;
    e.logsupfile = 1;
    e.logforce = 1;
    runop(e, &ExeScr::systolocaltime_exec, 2);
    // The log switch off.
    e.logsupfile = 0;
    e.logsupwin = 0;
    e.logforce = 0;
    e.logon = 0;
    e.pushint(100000);
    runop(e, &ExeScr::systolocaltime_exec, 1);
    runop(e, &ExeScr::systolocaltime_exec, 2);
    e.closelog();

    const std::wstring log = e.contents();
    size_t lines = 0;
    for (size_t at = log.find(L"i:"); at != std::wstring::npos; at = log.find(L"\ni:", at + 1))
        ++lines;
    EXPECT_EQ(lines, static_cast<size_t>(zones));
    EXPECT_EQ(log.find(std::wstring(L"\xFEFFi:0 name:") + first.TimeZoneKeyName + L":\r\n"), 0u);
    size_t fails = 0;
    for (size_t at = log.find(L"EnumDynamicTimeZoneInformation fails.\r\n"); at != std::wstring::npos;
         at = log.find(L"EnumDynamicTimeZoneInformation fails.", at + 1))
        ++fails;
    EXPECT_EQ(fails, 1u);
    EXPECT_EQ(e.datd.count(), 0);
    e.freedatd();
}

TEST(TimeFrontEnds, WordsAndCountsAreCompileErrors)
{
    qtest::expectexits(L"timeerr", {
        {L"systolocaltime(xyz)\r\n", L"Not supported parameter. at line 1"},
        {L"systolocaltime(se)\r\n", L"Not supported parameter. at line 1"},
        {L"systolocaltime()\r\n", L"Not supported parameter. at line 1"},
        {L"systolocaltime(Cnv)\r\n", L"Not supported parameter. at line 1"},
        {L"systolocaltime(set)\r\n", L"the number of argument mismatch. at line 1"},
        {L"systolocaltime(cnv, 1)\r\n", L"the number of argument mismatch. at line 1"},
        {L"systolocaltime(enumerate, 1)\r\n", L"the number of argument mismatch. at line 1"},
        {L"x = mktime(2024, 1, 1, 0, 0, 0)\r\n", L"the number of argument mismatch. at line 1"},
        {L"s = strftime(\"%Y\")\r\n", L"the number of argument mismatch. at line 1"},
    });
}
