// The encoding of "open" is a lower-case word: "Utf8" is none.
main
{
    "before"
    viewbox(vb, open, "x.txt", Utf8)
}
