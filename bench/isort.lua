local n = 4000
local a = {}
local seed = 12345
for i = 0, n - 1 do
    seed = (seed * 1103515245 + 12345) % 2147483648
    a[i] = seed % 100000
end
for i = 1, n - 1 do
    local key = a[i]
    local j = i - 1
    while j >= 0 and a[j] > key do
        a[j + 1] = a[j]
        j = j - 1
    end
    a[j + 1] = key
end
local check = 0
for i = 0, n - 1 do
    check = (check * 31 + a[i]) % 1000000007
end
print(check)
