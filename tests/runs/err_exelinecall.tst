// A word unknown at run time has no source line to name.
main
{
    exeline("nosuch(1)")
}
