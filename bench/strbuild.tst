// Building 10^6 short strings from text and numbers, strstr and strlen.
main
{
    total = 0
    for (i = 0; i < 1000000; i++) {
        s = "item" i "x"
        total += strlen(s) + strstr(s, "x")
    }
    printf("%D\n", total)
}
