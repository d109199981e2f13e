// printf of 10^5 numbers, one per line.
main
{
    for (i = 0; i < 100000; i++)
        printf("%D\n", i)
}
