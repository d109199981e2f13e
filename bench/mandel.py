count = 0
for py in range(250):
    y0 = py * 2.0 / 250 - 1.0
    for px in range(300):
        x0 = px * 3.0 / 300 - 2.0
        x = 0.0
        y = 0.0
        it = 0
        while x * x + y * y <= 4.0 and it < 100:
            xt = x * x - y * y + x0
            y = 2.0 * x * y + y0
            x = xt
            it += 1
        count += it
print(count)
