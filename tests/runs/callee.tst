// Run by call.tst: reads its call arguments and changes a global of the caller.
main
{
    printf("callee: %D args, %s %s\n", cargcnt(), carg_02(), carg_03())
    shared = shared + 1
    "" carg_01()
}
