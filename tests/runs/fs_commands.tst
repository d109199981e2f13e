// File-system commands in a folder this test makes, with relative paths (the
// current directory is the script's folder) so that the log reads the same on
// every run. Failures give their result and the last-error text, never an exit.
// printf compiles its arguments last first: a command that changes the folder
// stands on a line of its own before the printf that shows its effect.
main
{
    top = "fs_commands\\"
    data = "dirs_data.tst"
    // Only the folders of the path up to its last backslash are made.
    r = createdirectory(top "x\\y")
    printf("create %D %D %D\n", r, fexist(top "x"), fexist(top "x\\y"))
    r = createdirectory(top "x\\y\\")
    printf("create %D %D\n", r, fexist(top "x\\y"))
    printf("again %D, empty %D\n", createdirectory(top "x\\y\\"), createdirectory(""))

    printf("copy %D\n", copyfile(data, top "a.txt", 1))
    printf("copy over %D\n", copyfile(data, top "a.txt", 1))
    "" getlasterror()
    printf("copy over %D\n", copyfile(data, top "a.txt", 0))
    r = movefile(top "a.txt", top "x\\b.txt")
    printf("move %D %D %D\n", r, fexist(top "a.txt"), fexist(top "x\\b.txt"))
    printf("move missing %D\n", movefile(top "a.txt", top "c.txt"))
    "" getlasterror()

    f = top "x\\b.txt"
    printf("size %D %D %D\n", getfilesize(f), getfilesize(top "x") >= 0, getfilesize(top "none"))
    "" getlasterror()
    printf("attr %D %D %D\n", getfileattribute(top "x") & 16, getfileattribute(f) & 16, getfileattribute(top "none"))
    r = setfileattributes(f, 1)
    printf("readonly %D %D\n", r, getfileattribute(f) & 1)
    printf("delete readonly %D\n", deletefile(f))
    r = setfileattributes(f, 128)
    printf("writable %D %D\n", r, getfileattribute(f) & 1)
    printf("attr missing %D\n", setfileattributes(top "none", 128))

    // Times: seconds since 1970 (UTC) in and out, negative before 1970.
    r = setfiletime(set2, f, 60)
    printf("set2 %D %D\n", r, getfiletime(f, 2))
    r = setfiletime(set2, f, 0)
    printf("set2 %D %D\n", r, getfiletime(f, 2))
    r = setfiletime(set2, f, -86400)
    printf("set2 %D %D\n", r, getfiletime(f, 2))
    r = setfiletime(set1, f, 123456789)
    printf("set1 %D %D %D\n", r, getfiletime(f, 1), getfiletime(f, 2))
    // The time is taken off the stack whether the file opens or not.
    printf("missing %D %D\n", setfiletime(set2, top "none", 5), getfiletime(top "none", 2))
    "" getlasterror()
    copyfile(data, top "c.txt", 1)
    r = setfiletime(dir, f, top "c.txt")
    printf("dir %D %D %D\n", r, getfiletime(top "c.txt", 2), getfiletime(top "c.txt", 1))
    before = systime()
    r = setfiletime(now, top "c.txt")
    printf("now %D %D\n", r, getfiletime(top "c.txt", 2) >= before - 2)
    printf("now folder %D\n", setfiletime(now, top "x"))
    r = setfiletime(set2, top "x", 100)
    printf("folder %D %D\n", r, getfiletime(top "x", 2))

    printf("fexist %D %D %D\n", fexist(top "*.txt"), fexist(top "*.none"), fexist(top "x\\*"))
    printf("drive %D %D\n", getdrivetype("C:\\"), getdrivetype(top "none\\"))

    here = getcurrentdirectory()
    r = setcurrentdirectory(top "x")
    printf("cd %D %D %D\n", r, strlen(getcurrentdirectory()) - strlen(here), fexist("y"))
    r = setcurrentdirectory(here)
    printf("cd back %D %D\n", r, fexist(top "x"))
    printf("cd missing %D\n", setcurrentdirectory(top "none"))

    r = deletefile(top "c.txt")
    printf("delete %D %D\n", r, fexist(top "c.txt"))
    printf("delete missing %D\n", deletefile(top "c.txt"))
    "" getlasterror()
    // The recycle-bin form answers 0 on success and a code on failure; only
    // a missing file is given to it here (no recycle bin under test).
    printf("recycle missing %D\n", deletefile(top "c.txt", 1) != 0)
    printf("remove %D\n", removedirectory(top "x"))
    deletefile(f)
    r = removedirectory(top "x\\y")
    printf("remove %D %D\n", r, removedirectory(top "x"))
    printf("remove %D\n", removedirectory(top))
}
