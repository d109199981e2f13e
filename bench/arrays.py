a = {}
for i in range(100000):
    a[i] = i * 2
total = 0
for i in range(100000):
    total += a[i]
print(total)
