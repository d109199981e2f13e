// A box name alone has no word to run.
main
{
    "before"
    viewbox(vb)
}
