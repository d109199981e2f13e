// A bare return ends the unit with the number 0 as its result.
"before"
i = 0
while (1) {
    if (++i == 2) return
}
"after"
