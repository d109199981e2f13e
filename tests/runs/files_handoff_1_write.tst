// Writes files that files_handoff_2_read.tst, run after it, reads back: one
// closed properly in each encoding, and pointers left open at the end of the
// run, whose collected contents are never written.
main
{
    fopen(a, "handoff_utf16.txt", w)
    fwrite(a, "first ä\n")
    fwrite(a, "second")
    fclose(a)
    fopen(b, "handoff_utf8.txt", w, u)
    fwrite(b, "€uro\n")
    fclose(b)
    fopen(c, "handoff_bytes.dat", bw)
    fbwrite(c, 2, 4294967295)
    fbwrite(c, 0, 7)
    fclose(c)

    // Left open: only what was written at once reaches the files.
    fopen(d, "handoff_open.txt", w)
    fwrite(d, "never written\n")
    fopen(e, "handoff_bytes.dat", brw)
    fbwrite(e, 0, 0, 0)
    fopen(g, "handoff_direct.txt", w, u)
    fwrite(g, "direct\n", d)
    fwrite(g, "listed\n")
    printf("written\n")
}
