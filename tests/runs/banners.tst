main
{
}
