// "call" runs another script inside this run: call arguments, shared
// globals, and the call arguments left after the call.
main
{
    shared = 41
    call("callee.tst", "one", "two")
    printf("shared %D\n", shared)
    call("callee.tst", "again", "x")
    printf("shared %D, %D call arguments kept\n", shared, cargcnt())
}
