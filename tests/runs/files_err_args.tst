// "fopen" takes 3 or 4 arguments.
main
{
    printf("not reached\n")
    fopen(f, "x.txt")
}
