// A call of a function that is one expression, read in place of the call,
// still evaluates every argument first, as the cells do: one that the
// function's "||" or "&&" does not reach keeps its idiv's side values and
// its error. (Each call runs twice: a first round may run as cells while
// the datum stack has no block yet.)
function first(p)
{
    return(1 || p)
}
function none(p)
{
    return(0 && p)
}
main
{
    for (i = 0; i < 2; i++) {
        r = idiv(1, 1)
        x = none(idiv(7, 4))
        printf("%D %D\n", x, idivrem())
    }
    for (i = 1; i >= 0; i--) {
        x = first(10 / i)
        printf("%D\n", x)
    }
}
