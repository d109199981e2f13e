// "call" of a file whose work is recursion without a loop, twice.
main
{
    call("callee_recursion.tst")
    call("callee_recursion.tst")
}
