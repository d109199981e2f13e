// Array elements as operands, assignment targets and string parts.
i = 2
a[i] = 3
a[i + 1] = a[i] * 10
a[2] + a[3]
m[1][2] = 5
m[1][i] += 1
m[1][2] * 1
c[0][0][1] = 7
c[0][0][1] - 1
-a[2] * 1
~a[2] + 0
!a[2] + 0
--a[2]
a[2] + 0
a[2]--
a[2] + 0
b[a[3] / 10] = 4
b[30 / 10] + 0
s[1] = "one"
s[2] = s[1] "+two"
"" s[2]
"<" s[1] ">"
s[3] = "" a[3]
s[3] "!"
a[1] = x = 8
a[1] + x
q = 1
q + a[2] = 6
a[2] + 0
