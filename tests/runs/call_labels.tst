// Scripts run by "call" one after another use the same label names (and
// switches): every goto, forward or backward, lands in its own script.
main
{
    call("call_labels_a.tst")
    call("call_labels_b.tst")
    call("call_labels_a.tst")
    goto(done)
    "main: skipped"
:done
    "main: done"
}
