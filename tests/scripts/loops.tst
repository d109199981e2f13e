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
