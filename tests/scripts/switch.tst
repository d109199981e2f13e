// Case labels fall through; break leaves the switch; the first of two equal
// cases wins; a case value 2.9 means 2; no match and no default leaves at the end.
k = 0
while (k < 5) {
    switch (k) {
    case 0:
        "zero"
    case 1:
        "zero or one"
        break
    case 2.9:
        "two"
        break
    case 2:
        "second two"
        break
    default:
        "other " k
    }
    k++
}
switch (7) {
case 1:
    "one"
}
"after no match"
i = 0
while (i < 4) {
    i++
    switch (i) {
    case 2:
        continue
    case 3:
        "three"
    }
    "i=" i
}
switch (1) {
case 1:
    switch (2) {
    case 2:
        "inner"
        break
    }
    "outer"
    break
case 2:
    "not reached"
}
switch (5) {
default:
    "default first"
case 1:
    "falls into one"
}
