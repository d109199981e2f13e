for i = 0, 99999 do
    io.write(string.format("%d\n", i))
end
