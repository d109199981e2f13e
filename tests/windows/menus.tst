// Menus of "Quorvel target menus", a target window on a thread of the test's
// own process (under Wine another process's menus cannot be read): the menu
// tree into the log, then clicks along paths of two to four levels; a path
// with an item that is not there stops at it.
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
    gethwnd(h, "Quorvel target menus")
    getchildhwnd(r, h, "", "Static")
    getitem(menu, h)
    clkitem(h, menu, "File", "Open")
    printf("%s\n", waitreport(r, "menu Open"))
    clkitem(h, menu, "File", "Recent", "First")
    printf("%s\n", waitreport(r, "menu First file"))
    clkitem(h, menu, "File", "Recent", "More", "Gamma")
    printf("%s\n", waitreport(r, "menu Gamma"))
    clkitem(h, menu, "Help", "About")
    printf("%s\n", waitreport(r, "menu About"))
    clkitem(h, menu, "Edit", "Undo")
    printf("\n")
    clkitem(h, menu, "File", "Nowhere", "Else")
    printf("\n")
    // The bar's item closes its open menu; the path's next item is not shown.
    clkitem(h, menu, "File", "xit")
    printf("\n")
    // The test's own hidden main window has no menu.
    gethwnd(o, "", "quorveltest.owner")
    getitem(menu, o)
    clkitem(o, menu, "Anything", "Else")
    printf("%s\n", geteditstr(r))
}
