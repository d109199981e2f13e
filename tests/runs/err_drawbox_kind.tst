// "line_man" takes lines only.
main
{
    drawbox(d, open, 0, 0, 100, 80)
    e = drawbox(d, ellipse_set, 10, 10, 5, 5, 1)
    drawbox(d, line_man, e, 0, 0, 10, 10, 1)
}
