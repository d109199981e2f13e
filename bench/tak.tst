// Deep recursion of a three-argument function with locals.
function tak(x, y, z)
{
    localvar(a, b, c)
    if (y >= x)
        return(z)
    a = tak(x - 1, y, z)
    b = tak(y - 1, z, x)
    c = tak(z - 1, x, y)
    return(tak(a, b, c))
}
main
{
    printf("%D\n", tak(22, 16, 8))
}
