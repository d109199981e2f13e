// A negative byte position is refused, not read.
main
{
    fopen(o, "err_fbreadneg.dat", bw)
    fbwrite(o, 0, 1)
    fclose(o)
    fopen(f, "err_fbreadneg.dat", br)
    printf("%D\n", fbread(f, 0, 0))
    printf("%D\n", fbread(f, 0, -1))
}
