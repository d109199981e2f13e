// "t" passes the compile-time check but the formatter refuses it.
main
{
    "before"
    printf("%t", "x")
}
