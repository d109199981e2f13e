main
// A number run into a name in an argument list stops the script before it
// starts (a fuzz input: the viewbox words with a number pasted in).
{
    printf("negative %d %d\n", viewbox(vb, marks, -1, 0, 0xff, 0), 123456789012345678901234567890viewbox(vb, markl, -4, 0xff, 0))
}
