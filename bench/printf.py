import sys

out = sys.stdout
for i in range(100000):
    out.write("%d\n" % i)
