// Items cannot change while the picture is shown.
main
{
    drawbox(d, open, 0, 0, 100, 80)
    drawbox(d, upd, 1)
    drawbox(d, line_set, 0, 0, 10, 10, 1)
}
