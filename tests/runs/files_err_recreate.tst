// A read-write file that cannot be made again at the close (another
// pointer holds it open for writing).
main
{
    fopen(o, "err_recreate.txt", w)
    fclose(o)
    fopen(f, "err_recreate.txt", rw)
    fopen(g, "err_recreate.txt", w)
    fclose(f)
}
