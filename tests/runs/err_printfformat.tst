// Length modifiers are not formats.
main
{
    printf("%ld\n", 1)
}
