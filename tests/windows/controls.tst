// Controls of "Quorvel target controls", a target in another process: buttons
// by their text and number, the three states of its check box, list items by
// their text in two list boxes and a combo box, typing into its edit control
// and reading it back. The target reports each event in its report line.
functstr waitreport(r, str want)
{
    localvar(t, s)
    t = clock()
    s = geteditstr(r)
    while (strcmp(s, want) != 0 && clock() - t < 5000)
        s = geteditstr(r)
    retstr(s)
}
main
{
    gethwnd(h, "Quorvel target controls")
    getchildhwnd(r, h, "", "Static")
    clkitem(h, button, "Apply")
    printf("%s\n", geteditstr(r))
    clkitem(h, button, "Apply", 1)
    printf("%s\n", geteditstr(r))
    clkitem(h, button, "Apply", 2)
    printf("%s\n", geteditstr(r))
    // The empty text is in every title, the empty one too: an empty target
    // counts every button, and the fifth is the one without a text.
    clkitem(h, button, "")
    printf("%s\n", geteditstr(r))
    clkitem(h, button, "", 4)
    printf("%s\n", geteditstr(r))

    getchildhwnd(c, h, "Remember", "Button")
    printf("check %d\n", bm_getstate(c))
    clkitem(h, button, "Remember")
    printf("%s: %d\n", geteditstr(r), bm_getstate(c))
    clkitem(h, button, "Remember")
    printf("%s: %d\n", geteditstr(r), bm_getstate(c))
    clkitem(h, button, "Remember")
    printf("%s: %d\n", geteditstr(r), bm_getstate(c))

    clkitem(h, list, "Cherry")
    printf("%s\n", waitreport(r, "list1 Cherry"))
    clkitem(h, list, "hre", 1)
    printf("%s\n", waitreport(r, "list2 Three"))
    clkitem(h, list, "Gre", 2)
    printf("%s\n", waitreport(r, "combo Green"))
    clkitem(h, list, "Durian")
    clkitem(h, list, "One", 3)

    getchildhwnd(e, h, "", "Edit")
    sendstr(e, "typed ")
    sendstr(e, "")
    printf("edit: %s\n", geteditstr(e))
    sendstr(e, "0123456789012345678901234567890123456789012345678901234567890123456789")
    printf("long edit: %d\n", strlen(geteditstr(e)))
    ctrlwin(h, close)
}
