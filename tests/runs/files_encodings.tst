// Text encodings: UTF-16LE with its mark, UTF-8 and the ANSI code page
// (ASCII text), the mark winning over the code word, and whole-text mode.
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
    // UTF-8: no mark, the joined lines converted.
    fopen(u, "enc_utf8.txt", w, u)
    fwrite(u, "aä€\n")
    fwrite(u, "z")
    fclose(u)
    dump("enc_utf8.txt")
    fopen(u, "enc_utf8.txt", r, u)
    printf("%D lines: %D %D %D | %D\n", filelinecnt(), getc(fread(u, 0), 1), getc(fread(u, 0), 2), strlen(fread(u, 0)), strlen(fread(u, 1)))
    fclose(u)

    // ANSI code page with ASCII text.
    fopen(s, "enc_ansi.txt", w, s)
    fwrite(s, "abc\n")
    fclose(s)
    dump("enc_ansi.txt")
    fopen(s, "enc_ansi.txt", r, s)
    printf("%D chars, first %D\n", strlen(fread(s, 0)), getc(fread(s, 0), 0))
    fclose(s)

    // A file with the mark is UTF-16LE whatever the code word says.
    fopen(w, "enc_utf16.txt", w)
    fwrite(w, "mark\n")
    fclose(w)
    fopen(w, "enc_utf16.txt", r, u)
    printf("%D line, %D chars\n", filelinecnt(), strlen(fread(w, 0)))
    fclose(w)

    // Whole-text mode: position 0 is the mark, the file's first character is 1.
    fopen(t, "enc_utf16.txt", sr)
    printf("%D chars: %D %D %D\n", filedatacnt(), fsdread(t, 0), fsdread(t, 1), fsdread(t, filedatacnt() - 1))
    printf("%D %D\n", strlen(fspread(t)), getc(fspread(t), 0))
    fclose(t)
    // A three-byte ANSI file: the mark and three characters.
    fopen(t, "enc_ansi.txt", w, s)
    fwrite(t, "abc")
    fclose(t)
    fopen(t, "enc_ansi.txt", sr, s)
    printf("%D chars, last %D\n", filedatacnt(), fsdread(t, 3))
    fclose(t)
    fopen(t, "enc_utf8.txt", sr, u)
    printf("%D chars\n", filedatacnt())
    fclose(t)

    // Read-write keeps the code word: read as UTF-8, written back as UTF-8.
    fopen(r, "enc_utf8.txt", rw, u)
    fwrite(r, "ö", 0)
    fclose(r)
    dump("enc_utf8.txt")
}
