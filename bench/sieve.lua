local n = 1000000
local flags = {}
for i = 1, n do
    flags[i] = 1
end
local i = 2
while i * i <= n do
    if flags[i] ~= 0 then
        for j = i * i, n, i do
            flags[j] = 0
        end
    end
    i = i + 1
end
local count = 0
for k = 2, n do
    if flags[k] ~= 0 then
        count = count + 1
    end
end
print(count)
