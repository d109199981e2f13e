// Decimal literals and texts read as numbers are the doubles nearest to them.
main
{
    printf("%.17D %.17D %D\n", 0.75, 0.1, -0.75)
    printf("%D\n", 123456789.123456789 == 123456789.12345679)
    s = "0.3"
    printf("%D %.20D\n", s + 0 == 0.3, s + 0)
}
