// A while loop with an if inside: count the multiples of 3 below 10^7.
main
{
    i = 0
    count = 0
    while (i < 10000000) {
        if (i % 3 == 0)
            count++
        i++
    }
    printf("%D\n", count)
}
