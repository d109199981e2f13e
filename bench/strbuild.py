total = 0
for i in range(1000000):
    s = "item" + str(i) + "x"
    total += len(s) + s.find("x")
print(total)
