// Reads back what files_handoff_1_write.tst (run before it) wrote.
main
{
    fopen(a, "handoff_utf16.txt", r)
    printf("%D lines: %D %D | %s\n", filelinecnt(), strlen(fread(a, 0)), getc(fread(a, 0), 6), fread(a, 1))
    fclose(a)
    fopen(b, "handoff_utf8.txt", r, u)
    printf("%D line: %D %D\n", filelinecnt(), getc(fread(b, 0), 0), strlen(fread(b, 0)))
    fclose(b)
    // The read-write pointer left open did not replace the file.
    fopen(c, "handoff_bytes.dat", br)
    printf("%D bytes: %D %D\n", filedatacnt(), fbread(c, 2, 0), fbread(c, 0, 4))
    fclose(c)
    // The pointer left open wrote its mark at the open and nothing after.
    fopen(d, "handoff_open.txt", r)
    printf("%D lines\n", filelinecnt())
    fclose(d)
    fopen(g, "handoff_direct.txt", r, u)
    printf("%D line: %D chars\n", filelinecnt(), strlen(fread(g, 0)))
    fclose(g)
}
