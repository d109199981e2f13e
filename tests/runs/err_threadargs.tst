// A thread started with fewer arguments than it declares.
main
{
    t = threadstart(worker, "w")
}
thread worker(str name, n)
{
}
