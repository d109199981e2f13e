// Line-mode files: write order, the byte-order mark, CR LF line ends, the
// direct write, reading lines back, inserting and deleting lines. Files are
// written beside the script (the test's own temporary folder).
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
function codes(str s)
{
    localvar(k)
    for (k = 0; k < strlen(s); k++)
        printf("%D ", getc(s, k))
    printf("\n")
    return(0)
}
main
{
    // A "w" file starts with its mark even when nothing is written.
    printf("open %D\n", fopen(e, "lines_empty.txt", w))
    fclose(e)
    dump("lines_empty.txt")
    fopen(e, "lines_empty.txt", r)
    printf("only the mark: %D lines, %D listed\n", filelinecnt(), getfilelinecnt(e))
    fclose(e)

    // s appended, then t inserted before it: t comes first, nothing between;
    // the direct write goes out at once, before the listed lines.
    fopen(f, "lines_order.txt", w)
    fwrite(f, "s")
    fwrite(f, "t", 0)
    fwrite(f, "D", d)
    printf("%D listed\n", getfilelinecnt(f))
    fclose(f)
    dump("lines_order.txt")

    // The script brings its own line ends: "\n" is CR LF, so "\r\n" is CR CR LF.
    fopen(f, "lines_ends.txt", w)
    fwrite(f, "a\n")
    fwrite(f, "b\r\n")
    fwrite(f, "c\x0ad")
    fclose(f)
    dump("lines_ends.txt")

    // Lines read back keep their ends; a last line without LF has none.
    fopen(g, "lines_ends.txt", r)
    printf("%D lines, %D listed\n", filelinecnt(), getfilelinecnt(g))
    for (i = 0; i < getfilelinecnt(g); i++)
        codes(fread(g, i))
    fclose(g)

    // Read-write: insert in the middle and at the end, delete, write back whole.
    fopen(h, "lines_ends.txt", rw)
    fwrite(h, "mid\n", 2)
    fwrite(h, "end", getfilelinecnt(h))
    fdel(h, 0)
    fdel(h, 0)
    codes(fread(h, 0))
    printf("%D listed\n", getfilelinecnt(h))
    fclose(h)
    dump("lines_ends.txt")

    // A pointer can be opened again once closed.
    printf("again %D, %D lines\n", fopen(g, "lines_ends.txt", r), filelinecnt())
    fclose(g)
    printf("closed: %D listed\n", getfilelinecnt(g))
}
