// The direct write cannot make a read-write file again either.
main
{
    fopen(o, "err_recreated.txt", w)
    fclose(o)
    fopen(f, "err_recreated.txt", rw)
    fopen(g, "err_recreated.txt", w)
    fwrite(f, "x", d)
}
