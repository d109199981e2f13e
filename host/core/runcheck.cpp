#include "core/runcheck.h"

#include <windows.h>

#include "core/syslog.h"
#include "runtime/scriptname.h"

namespace host {

std::wstring runblocker(const std::wstring& programdir, const std::wstring& script)
{
    const std::wstring stem = programdir + L"log\\" + runname(script);
    std::wstring name = stem + L".log";
    DWORD err = 0;
    for (int n = 0; n <= 99; ++n) {
        if (n > 0)
            name = stem + format(L"_%02d.log", n);
        // Opened, not created: an earlier log stays as it is until the run makes it anew.
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            const bool made = GetLastError() != ERROR_ALREADY_EXISTS;
            CloseHandle(h);
            if (made)
                DeleteFileW(name.c_str());
            return {};
        }
        err = GetLastError();
    }
    return format(L"%s:%s:%s: \n", L"Log file open failure.", name.c_str(), syserrtext(err).c_str());
}

}  // namespace host
