// Value words, read with an empty argument list.
main
{
    printf("%D %D [%s] %D\n", argcnt(), cargcnt(), arg_05(), strlen(arg_01()) > 0)
    printf("%D %D\n", workright() > workleft(), workbottom() > worktop())
    printf("%D %D\n", is64bit(), is7orgreater())
    printf("%D\n", thisthread() != 0)
    printf("%D\n", getexelinenum())
    "" scriptfn()
    "" getlasterror() "|"
    printf("%D\n", moncnt() >= 0)
    printf("%D\n", monrect(0, right) > monrect(0, left))
    num(3 + 4) + 1
    "" str("a" "b")
}
