// An "s" mode must be "sr": a compile error.
main
{
    printf("not reached\n")
    fopen(f, "x.txt", sw)
}
