// 10^5 array element writes, then 10^5 reads.
main
{
    for (i = 0; i < 100000; i++)
        a[i] = i * 2
    sum = 0
    for (i = 0; i < 100000; i++)
        sum += a[i]
    printf("%D\n", sum)
}
