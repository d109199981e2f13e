// A word that is neither built in nor a function of this script.
main
{
    x = 1
    nosuch(x)
}
