// A direct write to a file opened for reading only.
main
{
    fopen(o, "err_fwritero.txt", w)
    fclose(o)
    fopen(ro, "err_fwritero.txt", r)
    fwrite(ro, "x", d)
}
