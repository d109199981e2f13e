// Deleting line 0 of a pointer with no lines.
main
{
    fopen(f, "err_fdel.txt", w)
    fdel(f, 0)
}
