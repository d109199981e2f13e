// A called script that does not exist.
main
{
    call("no such file.tst")
}
