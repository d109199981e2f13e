// def and undef on names and elements; exeline with numbers, strings and
// statements; the value words that read them. A printf compiles its
// arguments last first, so each test stands on its own line.
main
{
    printf("%D\n", def(fresh))
    x = 5
    d = def(x)
    printf("%D %D\n", d, vardtype())
    y = 2.5
    d = def(y)
    printf("%D %D\n", d, vardtype())
    printf("%D\n", undef(x))
    printf("%D\n", def(x))
    printf("%D\n", undef(x))
    a[3] = 1
    printf("%D %D\n", def(a[3]), def(a[4]))
    exeline("g = 40 + 2")
    printf("%D\n", g)
    exeline("\"a value left is dropped\"")
    exeline("h = 0\nfor (k = 0; k < 400; k++) h += k")
    printf("%D\n", h)
    printf("%D %D\n", def(arg_00), def(arg_09))
    printf("%D\n", getexelinenum())
}
