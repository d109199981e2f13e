// printf conversions, flags, widths, precision and grouping.
main
{
    printf("[%d] [%D] [%x] [%c]\n", 1234567, 1234567, 255, 65)
    printf("[%5D] [%-5D|] [%05D] [%05D]\n", 42, 42, 42, -42)
    printf("[%s] [%8s] [%-8s|] [%.2s]\n", "text", "right", "left", "cut")
    printf("[%d] [%D] [%.3D]\n", 2.5, -2.75, 3.14159)
    printf("[%D] [%d]\n", -9223372036854775807 - 1, -9223372036854775807 - 1)
    printf("100%% done\n")
    printf('single %s, no escapes: \n', "quoted")
    printf("\n")
}
