main
// A status-bar part beyond 3 stops the script before it starts (a fuzz
// input: the comment moved inside, a line "count++" that never runs).
{
    "before"
            count++
    status(4, "x")
}
