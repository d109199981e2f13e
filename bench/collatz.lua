local best, bestn = 0, 0
for start = 1, 100000 do
    local n = start
    local steps = 0
    while n ~= 1 do
        if n % 2 == 0 then
            n = n // 2
        else
            n = 3 * n + 1
        end
        steps = steps + 1
    end
    if steps > best then
        best = steps
        bestn = start
    end
end
print(bestn .. " " .. best)
