import sys
sys.setrecursionlimit(10000)
def tak(x, y, z):
    if y >= x:
        return z
    a = tak(x - 1, y, z)
    b = tak(y - 1, z, x)
    c = tak(z - 1, x, y)
    return tak(a, b, c)
print(tak(22, 16, 8))
