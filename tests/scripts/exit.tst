// exit ends the run at once (and leaves its 0 for the run's end).
"before"
i = 0
while (1) {
    i++
    if (i == 3) exit
}
"after"
