// "open" on an open box refuses and stops the script after that statement.
main
{
    drawbox(d, open, 0, 0, 100, 80)
    printf("font %d\n", drawbox(d, font, "DejaVu Sans", 12))
    printf("again %d\n", drawbox(d, open, 0, 0, 100, 80))
    printf("not reached\n")
}
