// An image file that cannot be read ends the run from the window's own thread,
// here while the script waits in a message box of the same line.
main
{
    drawbox(d, open, 0, 0, 100, 80)
    drawbox(d, img_set, "missing.png", 0, 0)
    printf("%d %d\n", msgbox("waiting", 0, 20), drawbox(d, upd, 1))
}
