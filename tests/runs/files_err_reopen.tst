// An open pointer cannot be opened again.
main
{
    fopen(f, "err_reopen.txt", w)
    fopen(f, "err_reopen2.txt", w)
}
