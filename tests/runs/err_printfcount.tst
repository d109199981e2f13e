// One conversion, two arguments.
main
{
    printf("%d items", 1, 2)
}
