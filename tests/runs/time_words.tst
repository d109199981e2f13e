// Time commands whatever the machine's time zone: mktime and strftime both
// work in local time, so a time made and formatted again reads the same.
main
{
    t = mktime(2024, 2, 29, 12, 30, 5, -1)
    "" strftime("%Y-%m-%d %H:%M:%S", t)
    // 2024-02-29 is a Thursday: "thr", the language's own name.
    "" strftime("%y/%j/%w/%a", t)
    for (k = 1; k < 7; k++)
        "" strftime("%a %w %d", t + k * 86400)
    "" strftime("%j", mktime(2024, 12, 31, 12, 0, 0, -1))
    "" strftime("no directive", t)
    f = "[%H]"
    g = strftime(f, t)
    printf("%s %s\n", f, g)
    long = strftime("%Y%Y%Y%Y%Y%Y%Y%Y%Y%Y%Y%Y%Y%Y%Y%Y%Y", t)
    printf("%D %s\n", strlen(long), cutstr(long, 60))
    printf("[%s]\n", strftime("%Y", -1))

    // Out-of-range fields are normalised: day 0 is the last of the month before.
    printf("%D\n", mktime(2024, 1, 31, 0, 0, 0, -1) == mktime(2024, 2, 0, 0, 0, 0, -1))
    printf("%D\n", mktime(2024, 13, 1, 12, 0, 0, -1) == mktime(2025, 1, 1, 12, 0, 0, -1))
    printf("%D\n", mktime(2024, 3, 1, 12, 0, 0, -1) - mktime(2024, 2, 28, 12, 0, 0, -1))
    printf("%D\n", mktime(3002, 1, 1, 0, 0, 0, -1))

    now = systime()
    printf("%D %D\n", now > 1700000000, now == floor(now))
    getsystemtime()
    y = systemtime.wYear()
    printf("%D %D %D\n", y >= 2024, systemtime(wMonth) >= 1, systemtime.wMonth() <= 12)
    h = systemtime.wHour()
    m = systemtime.wMinute()
    // No zone selected yet: the zone record is all zero, which is UTC.
    systolocaltime(cnv)
    printf("%D %D %D\n", systemtime.wYear() == y, systemtime.wHour() == h, systemtime.wMinute() == m)
    systolocaltime(set, 100000)
    systolocaltime( setting , -1)
    getlocaltime()
    printf("%D %D\n", systemtime.wYear() >= 2024, systemtime.wDayOfWeek() <= 6)
}
