// Local file pointers ("localfp") beside a global one of the same name, in
// nested and recursive calls.
function writeone(str path, n)
{
    localfp(f)
    fopen(f, path, w)
    fwrite(f, "line\n")
    if (n > 0)
        writeone(path "x", n - 1)
    fwrite(f, "more\n")
    fclose(f)
    return(0)
}
function count(str path)
{
    localfp(f)
    localvar(n)
    fopen(f, path, r)
    n = getfilelinecnt(f)
    fclose(f)
    return(n)
}
main
{
    fopen(f, "local_global.txt", w)
    fwrite(f, "global\n")
    writeone("local_", 2)
    fwrite(f, "still open\n")
    fclose(f)
    printf("%D %D %D %D\n", count("local_global.txt"), count("local_"), count("local_x"), count("local_xx"))
}
