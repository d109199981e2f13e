// A status-bar part beyond 3 stops the script before it starts.
main
{
    "before"
    status(4, "x")
}
