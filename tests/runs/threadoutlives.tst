// The main run ends right after it starts a thread, which opens its log after
// the main run has closed its own: the main run's log keeps its lines and
// both banners (the thread writes to a numbered log of its own).
main
{
    printf("main line\n")
    t = threadstart(worker)
}
thread worker()
{
    printf("thread line\n")
    sleepm(300)
}
