// Items need an open window.
main
{
    drawbox(d, line_set, 0, 0, 10, 10, 1)
}
