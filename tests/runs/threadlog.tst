// A script thread logs to a log of its own ("threadlog_01.log") and goes on
// writing it after the main script's last line: what is shown is still the
// main script's log.
main
{
    q = queue(open)
    t = threadstart(worker, q)
    while (queue(empty, q)) {
    }
    printf("main\n")
    z = 0
    x = 1 / z
}
thread worker(q)
{
    printf("thread\n")
    queue(push_back, q, 1)
    while (1) {
        i = 0
        while (i < 20000)
            i++
        printf("tick\n")
    }
}
