// User functions: recursion, string functions, parameters of both kinds,
// locals, arrays, and arguments beyond the parameters.
function fact(n)
{
    if (n <= 1)
        return(1)
    return(n * fact(n - 1))
}
functstr twice(str s, n)
{
    localvar(k, t)
    t = ""
    for (k = 0; k < n; k++)
        t = "" t s
    retstr(t)
}
function arrsum(n)
{
    localvar(i, total)
    total = 0
    for (i = 0; i < n; i++)
        total += g[i]
    return(total)
}
function noargs()
{
    return(7)
}
function pair(a, str b)
{
    printf("%d/%s\n", a, b)
    return(0)
}
main
{
    printf("%d\n", fact(10))
    "" twice("ab", 3)
    for (i = 0; i < 5; i++)
        g[i] = i * i
    printf("%d\n", arrsum(5))
    printf("%d\n", noargs(1, 2))
    x = fact(3) + fact(4)
    printf("%d\n", x)
    s = "x,y"
    pair(1, s ",z")
}
