// A pointer name must begin with a letter.
main
{
    printf("not reached\n")
    fopen(1f, "x.txt", r)
}
