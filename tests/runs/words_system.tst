// Processes, log switches, WMI, system information, the clipboard and the
// device words through the real start path.
main
{
    creproc('cmd.exe /c exit 0', 1)
    printf("%D\n", killprocess(12.5))
    logging(2, 2)
    printf("hidden\n")
    logging(0, 7)
    printf("shown\n")
    wmiproc(init, 'root\cimv2', 'Select * From Win32_OperatingSystem')
    wmiproc(item, "ver", "Version")
    wmiproc(item, "prim", "Primary")
    r = wmiproc(read)
    printf("%D %D %D %D\n", r, wmicnt(), strlen(ver[0]) > 0, prim[0])
    printf("[%s]\n", getsysteminfo(4))
    setclipboarddata("from a script")
    r = getclipboarddata(text)
    printf("%D %s\n", r, text)
    printf("%D\n", usbeject(97))
    setprog(value, 5)
    status(1, "no status bar here")
}
