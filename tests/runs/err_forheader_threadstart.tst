// A call word inside a for header that lacks its ")" (a fuzz input).
main
{
    for (i = 0; i < 100000; i+threadstart(+)
        printf("%D\n", i)
}
}
