// "matchstr" reads a name that no "match" or "subs" above it made.
main
{
    "" matchstr(a, 0)
    r = match(a, "x", "x")
}
