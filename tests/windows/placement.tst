// Placement, show states, foreground and Z-order of two targets in another
// process: "Quorvel place one" (at 100,100 sized 300x200), started first, and
// "Quorvel place two", started second and so above it, with the foreground.
function state(h)
{
    wininfo(h)
    printf("  %d %d %d %d visible %d placement %d\n", winleft(), wintop(), winright(), winbottom(), ctrlwin(h, iswindowvisible), ctrlwin(h, getwindowplacement))
    return(0)
}
function placement(h)
{
    printf("  placement %d\n", ctrlwin(h, getwindowplacement))
    return(0)
}
function above(one, two)
{
    localvar(first)
    gethwnd(first, "Quorvel place")
    if (ctrlwin(first, compare, one) == 0)
        printf("  one above\n")
    if (ctrlwin(first, compare, two) == 0)
        printf("  two above\n")
    return(0)
}
// Under Wine the foreground moves to another process's window only once that
// process has taken the activation: the script waits for it, bounded.
function hasforeground(h)
{
    localvar(t)
    localvar(fg)
    t = clock()
    gethwnd(fg, getforegroundwindow)
    while (ctrlwin(fg, compare, h) != 0 && clock() - t < 5000)
        gethwnd(fg, getforegroundwindow)
    return(ctrlwin(fg, compare, h) == 0)
}
function gone(h)
{
    localvar(t)
    t = clock()
    while (ctrlwin(h, iswindow) && clock() - t < 5000)
        t = t
    return(ctrlwin(h, iswindow) == 0)
}
main
{
    gethwnd(one, "Quorvel place one")
    gethwnd(two, "Quorvel place two")
    gethwnd(fg, getforegroundwindow)
    printf("two has the foreground: %d\n", ctrlwin(fg, compare, two) == 0)
    printf("foreground %d\n", ctrlwin(one, foreground))
    printf("one has the foreground: %d\n", hasforeground(one))
    state(one)
    setwindowpos(one, 50, 60, 320, 240)
    state(one)
    setwindowpos(one, 70, 80, 0, 0)
    state(one)
    printf("hide %d\n", ctrlwin(one, hide))
    state(one)
    printf("show %d\n", ctrlwin(one, show))
    printf("min %d\n", ctrlwin(one, min))
    placement(one)
    printf("restore %d\n", ctrlwin(one, restore))
    state(one)
    printf("max %d\n", ctrlwin(one, max))
    placement(one)
    printf("restore %d\n", ctrlwin(one, restore))
    printf("showminimized %d\n", ctrlwin(one, showminimized))
    placement(one)
    printf("shownormal %d\n", ctrlwin(one, shownormal))
    placement(one)
    printf("showmaximized %d\n", ctrlwin(one, showmaximized))
    placement(one)
    printf("showminnoactive %d\n", ctrlwin(one, showminnoactive))
    placement(one)
    printf("shownoactivate %d\n", ctrlwin(one, shownoactivate))
    state(one)
    printf("showna %d\n", ctrlwin(one, showna))
    printf("showdefault %d\n", ctrlwin(one, showdefault))
    state(one)

    // Topmost lifts two above one, which has the foreground.
    printf("foreground %d\n", ctrlwin(one, foreground))
    above(one, two)
    printf("topmost %d\n", ctrlwin(two, topmost))
    above(one, two)
    printf("notopmost %d\n", ctrlwin(two, notopmost))
    printf("bottom %d\n", ctrlwin(two, bottom))
    above(one, two)
    printf("top %d\n", ctrlwin(two, top))
    above(one, two)

    printf("compare same %d, other %d\n", ctrlwin(one, compare, one), ctrlwin(one, compare, two) != 0)
    printf("allowsetforeground %d\n", ctrlwin(one, allowsetforeground))
    printf("close %d\n", ctrlwin(two, close))
    printf("gone %d\n", gone(two))
    printf("iswindow %d\n", ctrlwin(two, iswindow))
    ctrlwin(one, close)
}
