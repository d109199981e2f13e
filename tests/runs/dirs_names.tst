// Global directory-handle names count to their 21st character: two names
// that differ there are two handles; from the 22nd on they are the same one.
main
{
    printf("a %D\n", diropen(handlenameofmorethanA, "."))
    printf("b %D\n", diropen(handlenameofmorethanB, "."))
    dirclose(handlenameofmorethanAxyz)
    printf("a again %D\n", diropen(handlenameofmorethanA, "."))
    dirclose(handlenameofmorethanA)
    dirclose(handlenameofmorethanB)
}
