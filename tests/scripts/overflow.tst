// Integer results stay integers while exact; an overflow or an inexact
// quotient becomes a double.
a = LLONG_MAX
a + 1
a - -1
b = LLONG_MIN
b - 1
b * 1
-b + 0
a * 2
4611686018427387904 * 2
3037000499 * 3037000499
3037000500 * 3037000500
9007199254740993 + 0
1 / 3
-LLONG_MIN + 0
x = -LLONG_MIN
x * 1
