// Comments, line ends and bodies in various places.
x = 1 // a comment after a statement
y = /* inline */ 2
x + y
while (x < 3)
{
    x++
}
x + 0
if (x == 3) if (y == 1) "inner" else "inner else"
if (x == 4) if (y == 2) "not" else "not"; else "outer else"
if (x == 3) while (y < 5) y++; else "not"
y + 0
if (x == 3)
    if (y == 5)
        "nested"
"after"
