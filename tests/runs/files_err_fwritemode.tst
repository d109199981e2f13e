// Writing lines into a whole-text pointer names the pointer.
main
{
    fopen(o, "err_fwritemode.txt", w)
    fclose(o)
    fopen(whole, "err_fwritemode.txt", sr)
    fwrite(whole, "x")
}
