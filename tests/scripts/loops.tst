// Nested loops with break and continue; bodies without braces close innermost first.
i = 0
while (i < 3) {
    i++
    j = 0
    while (1) {
        j++
        if (j == 2) continue
        if (j > 3) break
        "i=" i " j=" j
    }
}
n = 0
c = 0
while (n < 5) if (n++ == 2) c += 10
c + n
n = 0
c = 0
while (n < 4) if (n++ % 2) c += 1; else c += 100
c + 0
a = 0
t = 0
while (a < 3) while (t < 10) t += ++a
a * 100 + t
k = 0
m = 0
do {
    k++
    if (k < 3) continue
    m++
} while (k < 5)
k * 10 + m
k = 0
do {
    k++
    if (k == 2) break
} while (1)
k + 0
for (p = 0; p < 5; p++) {
    if (p == 1) continue
    if (p == 3) break
    "p=" p
}
p + 0
for (p = 0; p < 3; p++)
    for (q = 0; q < 3; q++) {
        if (q == 1) continue
        if (p == 1) break
        "p" p "q" q
    }
"done"
// A for loop whose body is an if without braces: the statement after it is
// its own, whatever token it starts with (the step is compiled in between).
m = 0
for (p = 0; p < 6; p++)
    if (p % 2 == 1)
        m += p
m + 100
for (p = 0; p < 4; p++)
    if (p == 9) m = 0
printf("%D %D\n", m, p)
for (p = 0; p < 3; p = idiv(p + 2, 1))
    if (p == 0)
        m++
7 + m
for (p = 0; p < 2; p++)
    if (p == 1)
        r[p] = p
r[1] + m
for (p = 0; p < 2; p++)
    if (p)
        "odd" p
"after"
