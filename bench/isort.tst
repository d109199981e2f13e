// Insertion sort of 4000 numbers: element reads and writes in a while with &&.
main
{
    n = 4000
    seed = 12345
    for (i = 0; i < n; i++) {
        seed = (seed * 1103515245 + 12345) % 2147483648
        a[i] = seed % 100000
    }
    for (i = 1; i < n; i++) {
        key = a[i]
        j = i - 1
        while (j >= 0 && a[j] > key) {
            a[j + 1] = a[j]
            j--
        }
        a[j + 1] = key
    }
    check = 0
    for (i = 0; i < n; i++)
        check = (check * 31 + a[i]) % 1000000007
    printf("%D\n", check)
}
