// 10^5 appends of a short string to a growing string.
main
{
    s = ""
    for (i = 0; i < 100000; i++)
        s = s "ab"
    printf("%D\n", strlen(s))
}
