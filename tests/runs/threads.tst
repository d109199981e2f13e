// A script thread with arguments, joined; then probed and counted.
main
{
    t = threadstart(worker, "w", 5)
    threadctl(join, t)
    printf("alive %d\n", threadctl(isalive, t))
    printf("count %d\n", threadctl(count))
}
thread worker(str name, n)
{
    printf("%s %d\n", name, n)
}
