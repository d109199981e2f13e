// A template naming a third capture when the match closed two.
main
{
    s = "ab"
    r = subs(a, '(a)(b)', '\3', s)
    "not reached"
}
