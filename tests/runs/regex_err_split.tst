// Two split visits per letter: 1,000 letters fill the visited-split list.
main
{
    s = ""
    for (i = 0; i < 1000; i++)
        s = s "a"
    r = match(a, '(?:a|b)*', s)
    "not reached"
}
