// A field of billions of characters is refused when the script is compiled.
main
{
    printf("%2147483647d|\n", 1)
}
