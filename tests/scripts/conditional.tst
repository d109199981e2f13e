// && and || skip their right operand; ?: nests in its middle and third operands.
n = 0
x = 0 && n++
x + n
x = 1 && n++
x + n
x = 1 || n++
x + n
x = 0 || 5
x + n
x = 2 && 3
x + 0
x = 0.5 || 0
x * 1
k = 0
while (k < 4) {
    v = k == 0 ? 10 : k == 1 ? 20 : k == 2 ? 30 : 40
    v + 0
    k++
}
a = 1
b = 0
v = a ? b ? 1 : 2 : 3
v + 0
v = b ? 1 : a ? 2 : 3
v + 0
v = (b ? 1 : 2) + (a ? 10 : 20)
v + 0
v = a > 0 && b == 0 ? 7 : 8
v + 0
v = 1 ? 2 : 3 + 100
v + 0
if (a && !b) "and"
if (b || a == 1) "or"
