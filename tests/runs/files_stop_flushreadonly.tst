// "fflush" on a read-only pointer is logged and stops the script.
main
{
    fopen(o, "err_flushro.txt", w)
    fclose(o)
    fopen(f, "err_flushro.txt", r)
    fflush(f, d)
    printf("not reached\n")
}
