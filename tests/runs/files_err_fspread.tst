// The whole text of a line-mode pointer.
main
{
    fopen(f, "err_fspread.txt", w)
    "" fspread(f)
}
