// Arguments of a called function are split at its parameters.
function f(a, b)
{
    return(a)
}
main
{
    f(1)
}
