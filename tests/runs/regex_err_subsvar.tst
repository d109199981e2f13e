// The subject of "subs" must be a string variable.
main
{
    n = 12
    r = subs(a, "1", "x", n)
    "not reached"
}
