// Integer loop with if / else, %, / and ++: the longest Collatz chain.
main
{
    best = 0
    bestn = 0
    for (start = 1; start <= 100000; start++) {
        n = start
        steps = 0
        while (n != 1) {
            if (n % 2 == 0)
                n = n / 2
            else
                n = 3 * n + 1
            steps++
        }
        if (steps > best) {
            best = steps
            bestn = start
        }
    }
    printf("%D %D\n", bestn, best)
}
