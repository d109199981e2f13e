// Bytes cannot be read from a line-mode pointer.
main
{
    fopen(f, "err_fbreadmode.txt", w)
    printf("%D\n", fbread(f, 0, 0))
}
