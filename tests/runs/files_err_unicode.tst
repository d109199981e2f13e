// A text file without the mark, opened without a code word.
main
{
    fopen(o, "err_unicode.txt", w, u)
    fwrite(o, "plain")
    fclose(o)
    fopen(f, "err_unicode.txt", r)
}
