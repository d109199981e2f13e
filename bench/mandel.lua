local count = 0
for py = 0, 249 do
    local y0 = py * 2.0 / 250 - 1.0
    for px = 0, 299 do
        local x0 = px * 3.0 / 300 - 2.0
        local x, y, it = 0.0, 0.0, 0
        while x * x + y * y <= 4.0 and it < 100 do
            local xt = x * x - y * y + x0
            y = 2.0 * x * y + y0
            x = xt
            it = it + 1
        end
        count = count + it
    end
end
print(count)
