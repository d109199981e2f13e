// A byte position at the byte count.
main
{
    fopen(f, "err_fbwritepos.dat", bw)
    fbwrite(f, 0, 1)
    fbwrite(f, 0, 2, 0)
    fbwrite(f, 0, 3, 1)
}
