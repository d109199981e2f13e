// Recursive fib(27).
function fib(n)
{
    if (n < 2)
        return(n)
    return(fib(n - 1) + fib(n - 2))
}
main
{
    printf("%D\n", fib(27))
}
