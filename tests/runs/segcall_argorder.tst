// The arguments of a call read in place are evaluated as the cells evaluate
// them: the last first, and all before the function's expression. Which
// idiv ran last shows in idivrem(). (Each call runs twice: a first round may
// run as cells while the datum stack has no block yet.)
function sum(p0, p1)
{
    return(p0 + p1)
}
function after(p)
{
    return(idiv(7, 2) + p)
}
main
{
    for (i = 0; i < 2; i++) {
        x = sum(idiv(7, 4), idiv(7, 5))
        printf("%D %D\n", x, idivrem())
        x = after(idiv(9, 5))
        printf("%D %D\n", x, idivrem())
    }
}
