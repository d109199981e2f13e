// "subs" and "subsstr": templates with capture references, every match or
// the first, the kept template, subject and program, the result codes, and
// empty matches next to surrogate pairs.
function localsubs()
{
    localvar(t)
    t = "one two three"
    return(subs(loc, '(\w+) (\w+)', '\2 \1', t))
}
main
{
    s = "ann:host"
    r = subs(a, '(\w+):(\w+)', '\2 at \1', s)
    printf("%d [%s] [%s]\n", r, subsstr(a), s)

    // Every match, the first only, and the place behind the first.
    s = "banana"
    r = subs(b, "a", "b", s)
    printf("%d [%s] %d\n", r, subsstr(b), matchval(b, 3))
    r = subs(b, "a", "b", s, 0, n)
    printf("%d [%s] %d\n", r, subsstr(b), matchval(b, 3))
    r = subs(b, "an", "<>", s, 0, none)
    printf("%d [%s] %d\n", r, subsstr(b), matchval(b, 3))
    r = subs(b, "a", "b", s, 0, )
    printf("%d [%s] %d\n", r, subsstr(b), matchval(b, 3))
    r = subs(b, "a", "b", s, 0, all)
    printf("%d [%s] %d\n", r, subsstr(b), matchval(b, 3))
    // From a start offset: the text before it is kept.
    r = subs(b, "a", "-", s, 2)
    printf("%d [%s]\n", r, subsstr(b))
    s = "foo"
    r = subs(b, "o", "0", s)
    printf("%d [%s] [%s]\n", r, subsstr(b), s)
    r = subs(b, "o", "0", s, 0, n)
    printf("%d [%s] [%s]\n", r, subsstr(b), s)

    // Empty matches: between every two code points, never inside a pair.
    s = "ab"
    r = subs(c, "x*", "-", s)
    printf("%d [%s]\n", r, subsstr(c))
    s = "a😀b😁"
    r = subs(c, "x*", "-", s)
    printf("%d [%s] %d\n", r, subsstr(c), strlen(subsstr(c)))
    r = subs(c, "x*", "-", s, 1, n)
    printf("%d [%s] %d\n", r, subsstr(c), matchval(c, 3))
    s = "baaac"
    r = subs(c, "a*", "-", s)
    printf("%d [%s]\n", r, subsstr(c))

    // Template references: repeated, two digits, and what is no reference.
    s = "xaby"
    r = subs(d, '(ab)', '\1\1', s)
    printf("%d [%s]\n", r, subsstr(d))
    r = subs(d, '(ab)', '[\0\n\\\1]', s)
    printf("%d [%s]\n", r, subsstr(d))
    s = "abcdefghijk"
    r = subs(d, '(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)', '<\10\1>', s)
    printf("%d [%s]\n", r, subsstr(d))
    // A template is kept to its first 256 units.
    t = ""
    for (i = 0; i < 30; i++)
        t = t "0123456789"
    s = "x"
    r = subs(d, "x", t, s)
    printf("%d %d\n", r, strlen(subsstr(d)))

    // No match: 0, and the last result text stays.
    s = "none here"
    r = subs(e, "z", "Z", s)
    printf("%d [%s]\n", r, subsstr(e))
    s = "zoo"
    r = subs(e, "z", "Z", s)
    r2 = subs(e, "q", "Q", s)
    printf("%d %d [%s]\n", r, r2, subsstr(e))

    // Blank arguments keep the program, the template and the subject.
    s = "a1b22c333"
    r = subs(f, '\d+', "#", s)
    printf("%d [%s]\n", r, subsstr(f))
    s = "other 4"
    r = subs(f, , , s)
    printf("%d [%s]\n", r, subsstr(f))
    r = subs(f, '[a-z]+', , )
    printf("%d [%s]\n", r, subsstr(f))
    r = subs(f, , "_", )
    printf("%d [%s]\n", r, subsstr(f))
    r = subs(g, , "+", )
    printf("%d [%s]\n", r, subsstr(g))

    // The start anchor: after the first pass it cannot match again.
    s = "aaa"
    r = subs(h, '^a', "-", s)
    printf("%d [%s]\n", r, subsstr(h))
    s = "ba"
    r = subs(h, '^a', "-", s)
    printf("%d [%s]\n", r, subsstr(h))

    // Refused patterns: logged, 0, or their code when only compiling.
    s = "text"
    r = subs(k, '(', "x", s)
    printf("%d\n", r)
    r = subs(k, '(', "x", s, -1)
    printf("%d\n", r)
    r = subs(k, "t", "T", s, -1)
    printf("%d [%s]\n", r, subsstr(k))
    r = subs(k, , , , 0)
    printf("%d [%s]\n", r, subsstr(k))

    // An array element and a function's local as the subject, and a long
    // result, which travels on the heap.
    arr[2] = "left right"
    r = subs(m, '(\w+) (\w+)', '\2 \1', arr[2])
    printf("%d [%s]\n", r, subsstr(m))
    r = localsubs()
    printf("%d [%s]\n", r, subsstr(loc))
    s = "ab"
    r = subs(m, '(.)', '\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1\1', s)
    printf("%d [%s] %d\n", r, subsstr(m), matchval(m, 2))
}
