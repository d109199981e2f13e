local function tak(x, y, z)
    if y >= x then
        return z
    end
    local a = tak(x - 1, y, z)
    local b = tak(y - 1, z, x)
    local c = tak(z - 1, x, y)
    return tak(a, b, c)
end
print(tak(22, 16, 8))
