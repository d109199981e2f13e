// 10^6 calls of a two-argument user function.
function add(a, b)
{
    return(a + b)
}
main
{
    s = 0
    for (i = 0; i < 1000000; i++)
        s = add(s, i)
    printf("%D\n", s)
}
