// "fflush" on a pointer that is not open is logged and stops the script.
main
{
    fflush(nothing, 0)
    printf("not reached\n")
}
