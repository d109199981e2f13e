// Math words and the side values of idiv and imul.
main
{
    printf("%D %D %D\n", floor(-2.5), floor(2.0), floor(-0.5))
    pow(2, 10) + 0
    sqrt(16) + 0
    printf("%D\n", idiv(7, -2))
    printf("%D\n", idivrem())
    printf("%D\n", imul(4611686018427387904, 4))
    printf("%D\n", imuldx())
    r = rand(6)
    printf("%D\n", r >= 0 && r < 6)
    printf("%D\n", clock() >= 0)
}
