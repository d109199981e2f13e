// Run by call_labels.tst: the labels of call_labels_a.tst again, at other
// places of longer code.
main
{
    k = 10
    k = k + 1
    k = k * 2
    switch (k) {
    case 1:
        "b: one"
        break
    case 22:
        "b: twenty-two"
        break
    }
    goto(done)
    "b: skipped"
    k = 0
:done
    m = 0
:again
    m++
    if (m < 3) goto(again)
    printf("b: k %D, %D rounds\n", k, m)
}
