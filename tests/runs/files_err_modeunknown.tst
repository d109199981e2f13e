// A mode word that is none of r, rw, w, wn, sr, with or without b.
main
{
    printf("not reached\n")
    fopen(f, "x.txt", bx)
}
