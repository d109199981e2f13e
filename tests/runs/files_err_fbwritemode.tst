// Storing bytes through a closed pointer names the pointer.
main
{
    fbwrite(bytes, 0, 1)
}
