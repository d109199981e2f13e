// A line index at the number of lines.
main
{
    fopen(f, "err_freadindex.txt", w)
    fwrite(f, "a\n")
    fwrite(f, "b\n")
    "" fread(f, 2)
}
