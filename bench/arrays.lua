local a = {}
for i = 0, 99999 do
    a[i] = i * 2
end
local sum = 0
for i = 0, 99999 do
    sum = sum + a[i]
end
print(sum)
