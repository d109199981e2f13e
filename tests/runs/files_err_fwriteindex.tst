// Inserting before a line that does not exist.
main
{
    fopen(f, "err_fwriteindex.txt", w)
    fwrite(f, "a\n")
    fwrite(f, "b\n", 5)
}
