def add(a, b):
    return a + b


s = 0
for i in range(1000000):
    s = add(s, i)
print(s)
