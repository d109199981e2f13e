// A program for the window tests to drive from outside (see targetwindow.h).
//   targetapp.exe [/title TEXT] [/class NAME] [/log PATH] [/timeout SECONDS]
//                 [/at X Y W H]
#include <windows.h>
#include <shellapi.h>

#include "tools/targetwindow.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const target::options o = target::parse(argc, argv);
    LocalFree(argv);
    return target::run(o);
}
