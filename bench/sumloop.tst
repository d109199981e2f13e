// A for loop summing 10^7 integers.
main
{
    sum = 0
    for (i = 1; i <= 10000000; i++)
        sum += i
    printf("%D\n", sum)
}
