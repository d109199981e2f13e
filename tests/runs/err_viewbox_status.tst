// "status" takes one or three settings: two stop the script before it starts.
main
{
    "before"
    viewbox(vb, status, 1, 0xffffff)
}
