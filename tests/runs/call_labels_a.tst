// Run by call_labels.tst: a backward and a forward goto, and a switch.
main
{
    n = 0
:again
    n++
    if (n < 2) goto(again)
    switch (n) {
    case 2:
        "a: two"
        break
    default:
        "a: other"
    }
    goto(done)
    "a: skipped"
:done
    printf("a: done after %D rounds\n", n)
}
