// The window words before "open" refuse and stop the script.
main
{
    printf("close %d\n", drawbox(d, close))
    printf("hwnd %d\n", drawbox(d, gethwnd))
    printf("alpha %d\n", drawbox(d, alpha, 128))
    printf("not reached\n")
}
