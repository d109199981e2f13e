// "img_set" takes 5, 8 or 10 arguments.
main
{
    drawbox(d, img_set, "a.png", 1, 2, 3, 4, 5, 6)
}
