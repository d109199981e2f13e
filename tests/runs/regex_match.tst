// "match", "matchstr" and "matchval": every result code, reuse of the
// program and of the subject, and a match that outlives its subject's
// variable. Each command that changes the object stands on its own line:
// printf compiles its arguments last first.
function localmatch()
{
    localvar(t)
    t = "local:" "abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz0123456789abcdefghijklmnopqrstuvwxyz"
    return(match(loc, '(\w+):(\w+)', t))
}
main
{
    // A match and its captures.
    r = match(a, '(\d+)-(\d+)', "tel 12-345")
    printf("%d [%s] [%s] [%s] [%s]\n", r, matchstr(a, 0), matchstr(a, 1), matchstr(a, 2), matchstr(a, 3))
    printf("at %d to %d, %d captures, %d %d %d\n", matchval(a, 0), matchval(a, 1), matchval(a, 2), matchval(a, 3), matchval(a, 9), matchval(a, 1.9))
    printf("[%s] [%s]\n", matchstr(a, -1), matchstr(a, 4294967297))

    // No match: nothing to read, and no place either.
    r = match(a, '(\d+)-(\d+)', "tel 12/345")
    printf("%d\n", r)
    printf("[%s]\n", matchstr(a, 0))
    printf("[%s] %d %d %d\n", matchstr(a, 1), matchval(a, 0), matchval(a, 1), matchval(a, 2))

    // Start and end offsets.
    r = match(b, "b", "abcb", 2)
    printf("%d at %d\n", r, matchval(b, 0))
    r = match(b, "c", "abc", 0, 2)
    printf("%d\n", r)
    r = match(b, "c", "abc", 0, 3)
    printf("%d at %d\n", r, matchval(b, 0))
    r = match(b, "b", "abc", 7)
    printf("%d\n", r)

    // The start anchor, refused patterns and group calls nested too deeply.
    r = match(c, '^b', "ab")
    printf("%d\n", r)
    r = match(c, '^a', "ab")
    printf("%d [%s]\n", r, matchstr(c, 0))
    r = match(c, '(ab', "subject one")
    printf("%d\n", r)
    r = match(c, '\u{12x}', "subject two")
    printf("%d\n", r)
    p = ""
    for (i = 0; i < 257; i++)
        p = p "[a]"
    r = match(c, p, "subject three")
    printf("%d\n", r)
    r = match(c, 'a(?R)', "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa")
    printf("%d\n", r)
    // A reuse after a refused pattern has no program to run.
    r = match(c, '(', "x")
    r2 = match(c, , "y")
    printf("%d %d\n", r, r2)

    // A blank pattern reuses the program, a blank subject the subject.
    r = match(d, '(\d+)', "a 42 b 7")
    r = match(d, , "x 99")
    printf("%d [%s]\n", r, matchstr(d, 1))
    r = match(d, , , 2)
    printf("%d [%s] at %d\n", r, matchstr(d, 1), matchval(d, 0))
    r = match(d, '[a-z]', )
    printf("%d [%s]\n", r, matchstr(d, 0))
    // The empty pattern matches the empty text at the start offset.
    r = match(d, "", "abc", 2)
    printf("%d at %d [%s]\n", r, matchval(d, 0), matchstr(d, 0))
    // A name that never compiled: the empty pattern on the empty subject.
    r = match(e, , )
    printf("%d %D %D [%s]\n", r, matchval(e, 0), matchval(e, 1), matchstr(e, 0))

    // The object keeps its own copy of the subject: the match survives a new
    // value of the variable and the end of a function's local frame.
    v = "key=value, and a text long enough to live on the heap of the variable ................................................................"
    r = match(f, '(\w+)=(\w+)', v)
    v = "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz"
    v = 1
    printf("%d [%s] [%s] [%s]\n", r, matchstr(f, 0), matchstr(f, 1), matchstr(f, 2))
    r = match(f, '\w+', )
    printf("%d [%s]\n", r, matchstr(f, 0))
    r = localmatch()
    w = "overwrites the frame's old place on the local stack ......................................................................................"
    printf("%d [%s] %d\n", r, matchstr(loc, 1), matchval(loc, 1))
    printf("[%s]\n", matchstr(loc, 2))

    // A literal pattern searched by its shift table, in a subject too long
    // for the object's own room.
    long = ""
    for (i = 0; i < 30; i++)
        long = long "0123456789"
    r = match(h, "cde", long "abcdef")
    printf("%d at %d\n", r, matchval(h, 0))
    r = match(h, "789a", long "abcdef")
    printf("%d at %d [%s]\n", r, matchval(h, 0), matchstr(h, 0))

    // Surrogate pairs: one code point, two code units.
    r = match(g, '.(.)', "😀😁x")
    printf("%d %d %d %d\n", r, matchval(g, 0), matchval(g, 1), strlen(matchstr(g, 1)))
}
