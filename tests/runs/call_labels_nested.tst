// A script that calls itself (whatever its file is named) two levels deep and
// runs exeline texts at the deepest level and on the way back: all use the
// same labels, and every goto lands in the code of its own level.
main
{
    localvar(level, i)
    level = 0
    if (def(depth)) level = depth
    depth = level + 1
    i = 0
:again
    i++
    if (i < level + 2) goto(again)
    switch (level) {
    case 0:
        printf("top: %D rounds\n", i)
        break
    default:
        printf("level %D: %D rounds\n", level, i)
    }
    if (level < 2) {
        call(scriptfn() ".tst")
        goto(done)
    }
    exeline("j = 0\n:again\nj++\nif (j < 4) goto(again)\ngoto(done)\nj = 0\n:done\nj = j * 10\n")
    printf("deepest: j %D\n", j)
:done
    exeline("k = level\ngoto(done)\nk = 0\n:done\nk = k + 1\n")
    printf("back at level %D: k %D\n", level, k)
}
