// An image file that cannot be read fails in the window thread's paint; the
// run ends on the script thread, here inside a message box of the same line.
main
{
    drawbox(d, open, 0, 0, 100, 80)
    drawbox(d, img_set, "missing.png", 0, 0)
    printf("%d %d\n", msgbox("waiting", 0, 20), drawbox(d, upd, 1))
}
