// "mat"chstr" reads a name that no "match" or "subs" above it made." (a fuzz input)
main
{
    "" matchstr(a, 0)
    r = match(a, "x", "x")
}
