// A number returned from a string function.
functstr s()
{
    return(1)
}
main
{
}
