// 256 closed captures on the path of one match, here through "subs".
main
{
    s = ""
    for (i = 0; i < 256; i++)
        s = s "a"
    r = subs(a, '(a)*', "", s)
    "not reached"
}
