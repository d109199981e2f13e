// Every statement form, with and without braces.
x = 3
if (x == 3) "if taken"
if (x == 4) "not taken"
if (x == 4) "not taken" else "else taken"
if (x == 4) {
    "not taken"
} else if (x == 3) {
    "else if taken"
} else {
    "not taken"
}
if (x == 4)
    "not taken"
else if (x == 5)
    "not taken"
else
    "final else taken"
if (x == 3) {
    "block"
}
else
    "not taken"
if (x == 3);
    "body on the next line"
i = 0
while (i < 3) i++
i + 0
while (i < 6) {
    i += 1
}
i + 0
while (0) "never"
i = 0
do {
    i++
} while (i < 4)
i + 0
do i += 10; while (i < 30)
i + 0
s = 0
for (j = 1; j <= 4; j++) s += j
s + 0
for (j = 0; j < 3; j++) {
    "for " j
}
for (;;) {
    break
}
for (j = 10; j > 0; j -= 4)
    "down " j
{
    "plain block"
    {
        "nested block"
    }
}
; ;
"end"
