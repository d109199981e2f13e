// A script with functions and main: blank lines, ";" and comments may follow
// every closing brace.
function twice(n)
{
    return(n * 2)
}   // trailing comment

/* a block comment between units */
functstr name()
{
    retstr("x")
} ;

main
{
    "main runs"
    i = 0
    do {
        i++
        if (i > 5) break
        // continue goes to the test, which ends the loop
        continue
    } while (0)
    i + 0
}

// after main
