// Closing a pointer that is not open.
main
{
    fopen(f, "err_fclose.txt", w)
    fclose(f)
    fclose(f)
}
