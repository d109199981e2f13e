n = 4000
a = [0] * n
seed = 12345
for i in range(n):
    seed = (seed * 1103515245 + 12345) % 2147483648
    a[i] = seed % 100000
for i in range(1, n):
    key = a[i]
    j = i - 1
    while j >= 0 and a[j] > key:
        a[j + 1] = a[j]
        j -= 1
    a[j + 1] = key
check = 0
for i in range(n):
    check = (check * 31 + a[i]) % 1000000007
print(check)
