local total = 0
for i = 0, 999999 do
    local s = "item" .. i .. "x"
    total = total + #s + (string.find(s, "x", 1, true) - 1)
end
print(total)
