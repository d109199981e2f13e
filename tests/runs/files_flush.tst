// "fflush" and read-write files: what a flush writes, what follows it at the
// close, and a read-write file left as it was until its first write-out.
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
    // A flush writes the lines so far and empties the list; the close writes
    // the later lines behind them.
    fopen(f, "flush.txt", w, u)
    fwrite(f, "1\n")
    fflush(f, 0)
    printf("%D listed after the flush\n", getfilelinecnt(f))
    fwrite(f, "2\n")
    fflush(f, d)
    printf("%D listed after the platform flush\n", getfilelinecnt(f))
    fwrite(f, "3\n", 0)
    fclose(f)
    dump("flush.txt")

    // Read-write: the file keeps its old contents until the first write-out,
    // which replaces it whole.
    fopen(o, "rw.txt", w)
    fwrite(o, "old\n")
    fclose(o)
    fopen(f, "rw.txt", rw)
    fwrite(f, "new\n", 0)
    fopen(g, "rw.txt", r)
    printf("before: %D line\n", filelinecnt())
    fclose(g)
    fflush(f, d)
    fflush(f, 0)
    fwrite(f, "tail\n")
    fclose(f)
    dump("rw.txt")
    // The direct write also recreates a read-write file first.
    fopen(f, "rw.txt", rw)
    fwrite(f, "D", d)
    fwrite(f, "L")
    fclose(f)
    dump("rw.txt")
    // Closing a read-write file unchanged writes its lines back; the code word
    // sets the writing even where the mark decided the reading (UTF-8 here).
    fopen(f, "rw.txt", rw, u)
    fclose(f)
    dump("rw.txt")
}
