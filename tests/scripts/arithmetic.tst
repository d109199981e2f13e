// Precedence and associativity; a statement that is a sum, difference,
// product or quotient writes its value.
1 + 2
2 + 3 * 4
2 * 3 + 4
8 - 3 - 2
(2 + 3) * 4
100 / 10 / 5
7 / 2
8 / 2
1.5 * 2
0.1 + 0.2
x = 1 << 2 + 1
x + 0
x = 6 & 3 == 3
x + 0
x = 1 | 2 ^ 3 & 1
x + 0
x = 7 % 4 * 2
x + 0
x = 3 < 4 == 1
x + 0
x = 1 + 2 >= 3 != 0
x + 0
x = -5
x * 1
x = - -5
x * 1
x = ~5
x + 0
x = !0
x + 0
x = !2.5
x + 0
x = !0.5
x + 0
x = !0.0
x + 0
y = 4
x = -y
x + 0
x = -(y + 1)
x + 0
x = -(y) * 2
x + 0
x = 10 - -y
x + 0
x = ~y
x + 0
x = !y
x + 0
x = !(y - 4)
x + 0
x = -2.5
x * 2
x = 2 * -3
x + 0
// An assignment binds to the variable before it: a + (b = 3).
a = 1
a + b = 3
b * 1
