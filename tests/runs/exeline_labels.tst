// Texts run by "exeline" one after another use the same label names: every
// goto lands in its own text, and no text reaches a label of an earlier one
// (its code is gone).
main
{
    exeline("n = 0\n:again\nn++\nif (n < 2) goto(again)\ngoto(done)\nn = 100\n:done\nn = n * 3\n")
    printf("one: %D\n", n)
    exeline("k = 10\nk = k + 1\nk = k * 2\ngoto(done)\nk = 0\n:done\nm = 0\n:again\nm++\nif (m < 3) goto(again)\nm = m * 5\n")
    printf("two: %D %D\n", k, m)
    exeline("goto(done)\n")
}
