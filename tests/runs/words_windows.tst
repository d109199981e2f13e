// The window words that write no diagnostic lines, on the runner's own main
// window (hidden, titled "quorvelrun"), through the real start path.
main
{
    h = hwndmine()
    wininfo(h)
    printf("main: %s %s %d %d\n", titlen(), classn(), winright() - winleft(), winbottom() - wintop())
    printf("iswindow %d visible %d compare %d\n", ctrlwin(h, iswindow), ctrlwin(h, iswindowvisible), ctrlwin(h, compare, h))
    setwindowpos(h, 30, 40, 0, 0)
    wininfo(h)
    printf("moved %d %d %d %d visible %d\n", winleft(), wintop(), winright(), winbottom(), ctrlwin(h, iswindowvisible))
    setwindowpos(h, 10, 20, 300, 200)
    wininfo(h)
    printf("sized %d %d %d %d visible %d\n", winleft(), wintop(), winright(), winbottom(), ctrlwin(h, iswindowvisible))
    printf("hide %d\n", ctrlwin(h, hide))
    printf("visible %d\n", ctrlwin(h, iswindowvisible))
    getparent(p, h)
    printf("parent %d text [%s]\n", p, geteditstr(h))
    ctrlhv(h, tostr, hex)
    ctrlhv(back, fromstr, hex)
    printf("hex round trip %d\n", back == (h & 0xffffffff))
    wininfo(0)
    printf("no window [%s] [%s]\n", titlen(), classn())
}
