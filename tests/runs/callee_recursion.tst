// Run by call_recursion.tst: its work is recursion, one function calling
// itself and two calling each other, without a loop.
function fib(n)
{
    if (n < 2)
        return(n)
    return(fib(n - 1) + fib(n - 2))
}
function ev(n)
{
    if (n == 0)
        return(1)
    return(od(n - 1))
}
function od(n)
{
    if (n == 0)
        return(0)
    return(ev(n - 1))
}
main
{
    f = fib(20)
    printf("fib %D, even %D %D\n", f, ev(41), od(41))
}
