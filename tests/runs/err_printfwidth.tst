// A field width of 0.
main
{
    printf("%00d", 1)
}
