// Window search against two targets in processes of their own: "Quorvel
// target alpha" (class QuorvelTargetA, at 10,20 sized 200x200), started first,
// and "Quorvel target beta" (QuorvelTargetB), started second and so above it,
// with the foreground. The cursor rests on beta's "Cancel" button.
main
{
    gethwnd(top, "Quorvel target")
    wininfo(top)
    printf("top: %s %s\n", titlen(), classn())
    gethwnd(next, "Quorvel target", "", 1)
    wininfo(next)
    printf("second: %s %d %d %d %d\n", titlen(), winleft(), wintop(), winright(), winbottom())
    printf("client within: %d %d\n", cliright() > 100 && cliright() < 200, clibottom() > 100 && clibottom() < 200)
    gethwnd(none, "Quorvel target", "", 2)
    printf("third: %d\n", none)
    gethwnd(cls, "", "QuorvelTargetA")
    printf("class alone finds alpha: %d\n", ctrlwin(cls, compare, next) == 0)
    gethwnd(both, "alpha", "TargetB")
    printf("alpha of class B: %d\n", both)
    gethwnd(lower, "quorvel target")
    printf("lower case: %d\n", lower)
    gethwnd(fg, getforegroundwindow)
    printf("foreground is beta: %d\n", ctrlwin(fg, compare, top) == 0)
    gethwnd(pt, windowfrompoint)
    wininfo(pt)
    printf("under the cursor: %s %s\n", titlen(), classn())

    getchildhwnd(b, top, "Apply")
    wininfo(b)
    printf("last Apply: %s\n", titlen())
    getchildhwnd(b, top, "Apply", "", 0)
    wininfo(b)
    printf("first Apply: %s %s\n", titlen(), classn())
    getchildhwnd(b, top, "", "Button", 3)
    wininfo(b)
    printf("fourth button: %s\n", titlen())
    getchildhwnd(e, top, "", "Edit")
    printf("last edit: %s\n", geteditstr(e))
    getparent(p, e)
    printf("parent of the edit: %d\n", ctrlwin(p, compare, top) == 0)
    getparent(p, top)
    printf("parent of a top window: %d\n", p)
    getchildhwnd(n, top, "no such control")
    printf("no child: %d\n", n)
    getchildhwnd(enum, next)

    // Descriptions are cut to their room, the needles are not.
    long = "Quorvel "
    for (i = 0; i < 30; i++)
        long = long "0123456789"
    gethwnd(n, long)
    getchildhwnd(n, top, long)
    printf("long needles: %d\n", n)

    gethwnd(n, "")
    printf("not reached\n")
}
