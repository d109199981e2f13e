s = ""
for i in range(100000):
    s = s + "ab"
print(len(s))
