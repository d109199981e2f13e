// Lines cannot be read from a binary pointer.
main
{
    fopen(f, "err_freadmode.dat", bw)
    "" fread(f, 0)
}
