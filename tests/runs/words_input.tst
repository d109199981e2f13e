// Input, hotkey and wait words through the real start path.
main
{
    printf("%D %D\n", kbhit(), getwmchar())
    printf("%D\n", signmode(0))
    a = -1
    printf("%D\n", a < 1)
    signmode(1)
    printf("%D\n", a < 1)
    printf("%D %D\n", waittime(t, 1), waittime(c, 0, 0, 0))
    t = clock()
    sleepm(50)
    printf("%D\n", clock() - t >= 40)
    printf("%D\n", registerhotkey(6, vk_f8))
    printf("%D\n", unregisterhotkey())
    getcursorpos()
    printf("%D\n", pointconversion(12345, toscreen, 1, 2))
    printf("%D\n", getasynckeystate(vk_f8) < 0)
    shutdown(preventsuspend)
}
