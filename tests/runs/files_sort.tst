// "filesort": ascending and descending, from a column, lines shorter than the
// column, and the sorted order written out.
function show(str label)
{
    localvar(i)
    printf("%s:", label)
    for (i = 0; i < getfilelinecnt(f); i++)
        printf(" %s", fread(f, i))
    printf("\n")
    return(0)
}
main
{
    fopen(f, "sort.txt", w)
    fwrite(f, "b\n")
    fwrite(f, "a\n")
    fwrite(f, "c")
    filesort(f, 0, a)
    fclose(f)
    fopen(f, "sort.txt", r)
    printf("%D %D %D\n", getc(fread(f, 0), 0), getc(fread(f, 1), 0), getc(fread(f, 2), 0))
    fclose(f)

    fopen(f, "sort2.txt", w)
    fwrite(f, "x3")
    fwrite(f, "y1")
    fwrite(f, "z2")
    fwrite(f, "w")
    fwrite(f, "B9")
    filesort(f, 0, ascending)
    show("ascending")
    filesort(f, 0, d)
    show("descending")
    // From column 1; "w" is shorter than the column and sorts as "".
    filesort(f, 1, a)
    show("column 1 up")
    filesort(f, 1, z)
    show("column 1 down")
    // Far past every line: all compare equal, nothing is read beyond a line.
    filesort(f, 1000, a)
    printf("%D lines\n", getfilelinecnt(f))
    filesort(f, -3, a)
    show("negative column")
    fclose(f)
    // An empty list sorts to nothing.
    fopen(f, "sort3.txt", w)
    filesort(f, 0, a)
    printf("%D lines\n", getfilelinecnt(f))
    fclose(f)
}
