// Sub-command words are compared exactly.
main
{
    x = imagebox(Width, 0)
}
