// "call" passes on arguments it was given (the list they come from is rebuilt
// for the called script), and a script that calls itself ends at the call
// depth instead of overflowing the stack.
main
{
    if (cargcnt() == 0) {
        call("callnest.tst", "first", "second")
        call("callself.tst")
    } else if (strcmp(carg_02(), "first") == 0) {
        call("callnest.tst", carg_03(), carg_02())
    } else {
        printf("nested: %s %s\n", carg_02(), carg_03())
    }
}
