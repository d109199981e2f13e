// An index below 0 names no item.
main
{
    drawbox(d, open, 0, 0, 100, 80)
    drawbox(d, line_set, 0, 0, 10, 10, 1)
    drawbox(d, line_man, -1, 0, 0, 10, 10, 1)
}
