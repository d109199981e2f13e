local i, count = 0, 0
while i < 10000000 do
    if i % 3 == 0 then
        count = count + 1
    end
    i = i + 1
end
print(count)
