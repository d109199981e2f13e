// Function and thread names are significant to 21 characters: a longer name
// is called (or started) by its first 21, whatever follows them.
function addone_to_the_number_given(n)
{
    return(n + 1)
}
functstr greeting_for_the_person_named(str who)
{
    retstr("hello " who)
}
main
{
    printf("%D\n", addone_to_the_number_given(1))
    printf("%D\n", addone_to_the_number_givXX(2))
    "" greeting_for_the_person_named("ann")
    q = queue(open)
    t = threadstart(worker_with_a_long_name_here, q, 7)
    threadctl(join, t)
    printf("%D\n", queue(pop_top, q))
    queue(close, q)
}
thread worker_with_a_long_name_here(q, n)
{
    queue(push_back, q, n + 1)
}
