// monrect[N].side(): the index group belongs to the word, and the "(" right
// behind it makes it a call. Under the tests' display: one monitor, 1024x768.
main
{
    m = monrect[0].left()
    printf("%D %D %D %D\n", m, monrect[0].top(), monrect[0].right(), monrect[0].bottom())
    i = 0
    printf("%D\n", monrect[i * 2].right() == monrect(i, right))
    printf("%D\n", monrect[moncnt()].bottom() - monrect[0].top())
    // Past the last monitor.
    monrect[moncnt() + 1].left()
}
