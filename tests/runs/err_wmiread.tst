// "read" after a new "init" needs new "item" calls.
main
{
    wmiproc(init, 'root\cimv2', 'Select * From Win32_OperatingSystem')
    wmiproc(item, "ver", "Version")
    wmiproc(read)
    "between"
    wmiproc(init, 'root\cimv2', 'Select * From Win32_OperatingSystem')
    wmiproc(read)
    "never"
}
