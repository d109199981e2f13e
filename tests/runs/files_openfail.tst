// Failed opens are ordinary failures: result 0, the system's message in
// "getlasterror", a log line, and the pointer still closed.
main
{
    printf("r %D\n", fopen(f, "no such file.txt", r))
    printf("[%s]\n", getlasterror())
    fopen(f, "openfail.txt", wn)
    fclose(f)
    printf("wn %D\n", fopen(f, "openfail.txt", wn))
    printf("again %D\n", fopen(f, "openfail.txt", read))
    fclose(f)
    printf("sr %D, rw %D, br %D\n", fopen(a, "nothing.txt", sr), fopen(b, "nothing.txt", rw), fopen(c, "nothing.txt", br))
    printf("bwn %D\n", fopen(c, "openfail.txt", bwn))
}
