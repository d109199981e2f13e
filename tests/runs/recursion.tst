// Runaway recursion ends the script, not the program.
function down(n)
{
    return(down(n + 1))
}
main
{
    "start"
    down(0)
    "never"
}
