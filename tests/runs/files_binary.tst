// Binary files: appended values of 1, 2 and 4 bytes, reads near the end,
// every byte value through a file and back, stores past the byte count and a
// flush before the close.
function dump(str path)
{
    localfp(b)
    localvar(i, n)
    fopen(b, path, br)
    n = filedatacnt()
    for (i = 0; i < n; i++)
        printf("%02x ", fbread(b, 0, i))
    printf("(%D bytes)\n", n)
    fclose(b)
    return(0)
}
main
{
    // Size word "0" stores the low byte (300 is 44 + 256), "1" two, "2" four.
    fopen(b, "bin_values.dat", bw)
    printf("%D\n", fbwrite(b, 0, 300))
    fbwrite(b, 1, 4660)
    fbwrite(b, 2, 2309737967)
    fbwrite(b, 0, 1.9)
    fclose(b)
    dump("bin_values.dat")

    // Reads that reach past the end take the bytes that remain.
    fopen(b, "bin_values.dat", br)
    n = filedatacnt()
    printf("%D %x %x %x\n", n, fbread(b, 2, 3), fbread(b, 2, n - 3), fbread(b, 1, n - 1))
    printf("%x %x\n", fbread(b, 1, 1), fbread(b, 2, 3))
    fclose(b)

    // Every byte value round trips.
    fopen(b, "bin_all.dat", bw)
    for (i = 0; i < 256; i++)
        fbwrite(b, 0, i)
    fclose(b)
    fopen(b, "bin_all.dat", br)
    bad = 0
    for (i = 0; i < 256; i++)
        if (fbread(b, 0, i) != i)
            bad++
    printf("%D bytes, %D differ\n", filedatacnt(), bad)
    fclose(b)

    // Read-write: a four-byte store at the last byte lengthens the file.
    fopen(b, "bin_values.dat", brw)
    fbwrite(b, 2, 1144201745, filedatacnt() - 1)
    fbwrite(b, 0, 238, 0)
    fclose(b)
    dump("bin_values.dat")

    // A flush writes the bytes held so far; later bytes follow at the close.
    fopen(b, "bin_flush.dat", bw)
    fbwrite(b, 1, 513)
    fflush(b, 0)
    fbwrite(b, 0, 3)
    fflush(b, d)
    fbwrite(b, 0, 4)
    fclose(b)
    dump("bin_flush.dat")
    fopen(b, "bin_flush.dat", brw)
    fbwrite(b, 0, 9, 0)
    fflush(b, 0)
    fclose(b)
    dump("bin_flush.dat")
}
