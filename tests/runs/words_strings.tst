// The string words at their edges. printf compiles its arguments last
// first, so a word that changes state stands on a line before the printf.
main
{
    s = "abcdef"
    printf("%D %D %D\n", strlen(s), strlen(""), getc(s, 0))
    printf("%D %D %D\n", getc(s, 6), getc(s, -1), getc(s, 5))
    "" cutstr(s, 2) "|" cutstr(s, 2, 4) "|" cutstr(s, 4, 2) "|" cutstr(s, 2, 100) "|"
    printf("%D %D %D\n", strstr("abcabc", "c", 3), strstr("abcabc", "c", 7), strstr("abc", "x"))
    printf("%D %D %D\n", strpbrk("hello", "lo"), strrchr("hello", 108), strchr("hello", 0))
    printf("%D %D\n", strcmp("abX", "abY", 2), strcmp("abX", "abY", -1))
    "" tolowerstr("ABC def 123 ÄÖ!")
    t = "line\r\n\r"
    trim(t)
    printf("[%s] %D\n", t, strlen(t))
    u = "keep "
    trim(u)
    printf("[%s]\n", u)
    v = ",a,,b,"
    n = strtok(v, ",")
    printf("%D [%s] [%s] [%s]\n", n, strtokstr(0), strtokstr(1), strtokstr(2))
    printf("[%s]\n", v)
    w = "xyz"
    setc(w, 1, 66)
    "" w
    long = "1234567890123456789012345678901234567890123456789012345678901234"
    printf("%D %D\n", strlen(long), strlen(long "5"))
}
