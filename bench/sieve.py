n = 1000000
flags = [0] * (n + 1)
for i in range(1, n + 1):
    flags[i] = 1
i = 2
while i * i <= n:
    if flags[i] != 0:
        for j in range(i * i, n + 1, i):
            flags[j] = 0
    i += 1
count = 0
for k in range(2, n + 1):
    if flags[k] != 0:
        count += 1
print(count)
