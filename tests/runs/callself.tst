// Called by callnest.tst: calls itself until the depth bound stops it.
main
{
    call("callself.tst")
}
