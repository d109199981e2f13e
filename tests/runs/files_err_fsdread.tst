// A whole-text position at the character count.
main
{
    fopen(o, "err_fsdread.txt", w)
    fwrite(o, "ab")
    fclose(o)
    fopen(f, "err_fsdread.txt", sr)
    printf("%D\n", fsdread(f, filedatacnt() - 1))
    printf("%D\n", fsdread(f, filedatacnt()))
}
