// Prime sieve over an array of 10^6 elements: nested loops, element stores.
main
{
    n = 1000000
    for (i = 1; i <= n; i++)
        flags[i] = 1
    i = 2
    while (i * i <= n) {
        if (flags[i] != 0) {
            for (j = i * i; j <= n; j += i)
                flags[j] = 0
        }
        i++
    }
    count = 0
    for (k = 2; k <= n; k++) {
        if (flags[k] != 0)
            count++
    }
    printf("%D\n", count)
}
