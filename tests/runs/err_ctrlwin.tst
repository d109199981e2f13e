// "foreground" takes no second window.
main
{
    h = hwndmine()
    ctrlwin(h, foreground, h)
}
