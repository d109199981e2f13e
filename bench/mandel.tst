// Escape-time loop in doubles: a while with &&, products, five statements.
main
{
    count = 0
    for (py = 0; py < 250; py++) {
        y0 = py * 2.0 / 250 - 1.0
        for (px = 0; px < 300; px++) {
            x0 = px * 3.0 / 300 - 2.0
            x = 0.0
            y = 0.0
            it = 0
            while (x * x + y * y <= 4.0 && it < 100) {
                xt = x * x - y * y + x0
                y = 2.0 * x * y + y0
                x = xt
                it++
            }
            count += it
        }
    }
    printf("%D\n", count)
}
