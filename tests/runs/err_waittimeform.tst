// The form of waittime is its first letter: c, t or ti.
main
{
    waittime(hour, 12, 0, 0)
}
