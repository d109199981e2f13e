// A pair jump that cannot bring its partner into view ends the script from
// the box thread: the partner of line 5 lies deep in the long line 2, past
// what the view holds below that line's start.
main
{
    s = "xxxxxxxxxx"
    for (i = 0; i < 12; i++)
        s = "" s s
    fopen(f, "pairloop.txt", w, u)
    fwrite(f, "zero\none\n")
    fwrite(f, s "\n")
    fwrite(f, "three\nfour\nfive\nsix\n")
    fclose(f)
    viewbox(vb, pair, 5, 0, 2, 39000)
    viewbox(vb, open, "pairloop.txt", utf8)
    logging(2, 2)  // the search's lines name handles
    getchildhwnd(v, viewbox(vb, gethwnd), "", "quorvel.vbviewc")
    logging(0, 0)
    sendstr(v, "5j%")
    while (1) {
    }
}
