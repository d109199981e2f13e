// The viewbox words through the real start path: what a closed box answers,
// marks and pairs kept before the open, a missing file, a second open, and a
// box left open for the run's end to close.
main
{
    printf("closed: gethwnd %d setcar %d getcar %d refresh %d\n", viewbox(vb, gethwnd), viewbox(vb, setcar, 1, 1), viewbox(vb, getcar), viewbox(vb, refresh))
    printf("marks %d %d %d %d\n", viewbox(vb, marks, 0, 1, 0xff, 0), viewbox(vb, marksb, 1, 0, -1, 0xff00), viewbox(vb, marke, 0, 4), viewbox(vb, markeb, 2, 0))
    printf("markse %d %d %d\n", viewbox(vb, markse, 3, 1, 5, 0xff, 0), viewbox(vb, markseb, 3, 5, 5, 0xff, 0), viewbox(vb, markse, 3, 6, 2, 0xff, 0))
    printf("negative %d %d %d %d\n", viewbox(vb, marks, -1, 0, 0xff, 0), viewbox(vb, marke, 0, -2), viewbox(vb, markse, 0, -1, 3, 0xff, 0), viewbox(vb, markl, -4, 0xff, 0))
    printf("markl %d markdel %d pair %d\n", viewbox(vb, markl, 4, 0xff, 0xff00), viewbox(vb, markdel, 3, 1, 5), viewbox(vb, pair, 0, 0, 5, 2))
    printf("settings %d %d %d %d %d %d %d\n", viewbox(vb, number, 0, 0xff), viewbox(vb, caret, 1), viewbox(vb, key, 1), viewbox(vb, color, 0xffffff, 0, 0xffff00), viewbox(vb, status, 1, 0xffffff, 0xff0000), viewbox(vb, statusmsg, "hello"), viewbox(vb, style, 0))
    printf("font %d\n", viewbox(vb, font, "DejaVu Sans", -14, 700))

    // "open" gives 0 for an open box (a second open too, after its log
    // line) and -1 when the file cannot be opened.
    r = viewbox(vb, open, "no such viewbox file.txt", utf8)
    printf("missing %d [%s] hwnd %d\n", r, getlasterror(), viewbox(vb, gethwnd))

    // This script's own file: UTF-16 behind its mark.
    r = viewbox(vb, open, "viewbox_words.tst", unicode)
    printf("open %d hwnd %d\n", r, viewbox(vb, gethwnd) != 0)
    g = viewbox(vb, getcar)
    printf("getcar %d at %d %d\n", g, ycaret(), xcaret())
    printf("again %d\n", viewbox(vb, open, "viewbox_words.tst", unicode))
    // Arguments run last first: the close before its check.
    c = viewbox(vb, close)
    printf("close %d hwnd %d\n", c, viewbox(vb, gethwnd))
    printf("reopen %d\n", viewbox(vb, open, "viewbox_words.tst", sjis))
    printf("other %d\n", viewbox(other, open, "viewbox_words.tst", utf8))
}
