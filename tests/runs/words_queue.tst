// A queue shared by a script and its thread.
main
{
    q = queue(open)
    t = threadstart(producer, q)
    threadctl(join, t)
    printf("%D\n", queue(empty, q))
    a = queue(pop_top, q)
    b = queue(pop_top, q)
    c = queue(pop_back, q)
    printf("%D %D %D\n", a, b, c)
    queue(close, q)
}
thread producer(q)
{
    queue(push_back, q, 1)
    queue(push_back, q, 2)
    queue(push_back, q, 3)
    queue(push_back, q, 4)
}
