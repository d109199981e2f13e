-- Appends one at a time, as the other two programs do.
local s = ""
for i = 1, 100000 do
    s = s .. "ab"
end
print(#s)
