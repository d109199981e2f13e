// What an expression statement leaves: a sum, difference, product or quotient
// is written; assignments and increments leave nothing; other values are
// dropped unwritten; string expressions are written.
x = 5
x
7
x++
++x
x--
--x
x += 2
x
x * 1
x - 1
x / 2
x + 0.5
x == 7
(x)
y = x = 3
x + y
y = (x = 4) + 1
y * 1
a[1] = 9
a[1] * 1
a[1]++
a[1] + 0
a[2] = "elem"
"" a[2]
a[1] += 1
a[1] * 1
x = 1, y = 2, x + y
"string"
s = "t"
s = s "u"
"" s
x ? 1 : 2
