// Directory listings of a folder this test makes: every entry with its items,
// every sort order with folders first and last, local handles, a folder that
// cannot be listed, and a snapshot that does not follow the folder.
function show()
{
    localvar(i)
    for (i = 0; i < dirbuffcnt(); i++)
        printf("%s %D %D %D\n", dirreads(h, i), dirreadd(h, i, 0) & 16, dirreadd(h, i, 1) > 0, dirreadd(h, i, 2))
    return(0)
}
function countlocal(str path)
{
    localdir(h)
    localvar(n)
    n = -1
    if (diropen(h, path))
        n = dirbuffcnt()
    dirclose(h)
    return(n)
}
main
{
    // Paths relative to the current directory, the script's folder, so that
    // the log names them the same on every run.
    outer = "dirs_listing\\"
    base = outer "top\\"
    self = scriptfn() ".tst"
    data = "dirs_data.tst"
    createdirectory(base "sub1\\sub2\\")
    copyfile(data, base "b.txt", 1)
    copyfile(self, base "c.txt", 1)
    copyfile(data, base "a.txt", 1)
    // a.txt and b.txt are of one size: they sort in no particular order by size.
    // Write times in seconds since 1970: before it, just after it, and past
    // the 32-bit range of seconds; the folders' own times too, so that "." and
    // ".." sort the same way on every run.
    setfiletime(set2, base "a.txt", 10)
    setfiletime(set2, base "b.txt", -315360000)
    setfiletime(set2, base "c.txt", 4102444800)
    setfiletime(set2, base "sub1", 1000)
    setfiletime(set2, base, 2000)
    setfiletime(set2, outer, 3000)

    ok = diropen(h, base)
    printf("open %D, %D entries\n", ok, dirbuffcnt())
    printf("sizes %D %D\n", dirreadd(h, 0, 1) >= 0, getfilesize(base "a.txt"))
    dirsort(h, na)
    show()
    dirsort(h, dd, t)
    "" "-- dd, folders first"
    show()
    dirsort(h, da, b)
    "" "-- da, folders last"
    show()
    dirsort(h, sd, t)
    "" "-- sd, folders first"
    printf("%s %D\n", dirreads(h, 3), dirreadd(h, 5, 1) > 0)
    dirsort(h, sa, b)
    printf("%s %D\n", dirreads(h, 2), dirreadd(h, 3, 0) & 16)
    dirsort(h, nd)
    printf("%s %s\n", dirreads(h, 0), dirreads(h, 5))
    printf("raw %D\n", dirreadd(h, 3, 3) == (10 + 11644473600) * 10000000)

    // A snapshot: a file added later is not seen until the handle is reopened.
    copyfile(data, base "d.txt", 1)
    printf("still %D entries\n", dirbuffcnt())
    dirclose(h)
    ok = diropen(h, base "sub1")
    printf("reopened %D, %D entries\n", ok, dirbuffcnt())
    dirclose(h)

    // The same pattern with or without the final backslash; a local handle.
    printf("local %D %D\n", countlocal(base), countlocal(base "sub1\\"))
    ok = diropen(h, base "none")
    printf("missing %D, count kept %D\n", ok, dirbuffcnt())
    "" getlasterror()

    deletefile(base "a.txt")
    deletefile(base "b.txt")
    deletefile(base "c.txt")
    deletefile(base "d.txt")
    removedirectory(base "sub1\\sub2")
    removedirectory(base "sub1")
    removedirectory(base)
    printf("removed %D\n", removedirectory(outer))
}
