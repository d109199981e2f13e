#include "host/hostenv.h"

#include <cstdio>

#ifdef QUORVEL_HOSTCORE_TESTS
#include "core/syslog.h"
#include "runtime/quorvelcore.h"
#endif

namespace htest {

std::wstring scratch(const wchar_t* tag)
{
    static int counter = 0;
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    // Process ids come round again: take the first name not left by an earlier run.
    wchar_t name[MAX_PATH + 64];
    do {
        _snwprintf(name, MAX_PATH + 64, L"%squorvel%s-%lu-%d\\", tmp, tag, GetCurrentProcessId(), ++counter);
        name[MAX_PATH + 63] = 0;
    } while (!CreateDirectoryW(name, nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    return name;
}

std::string readbytes(const std::wstring& path)
{
    std::string out;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return out;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got)
        out.append(buf, got);
    CloseHandle(h);
    return out;
}

void writebytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
    CloseHandle(h);
}

std::string utf16(const std::wstring& text, bool bom)
{
    std::string out = bom ? std::string("\xFF\xFE", 2) : std::string();
    for (wchar_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return out;
}

std::wstring widen(const std::string& bytes)
{
    std::wstring out;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return out;
}

#ifdef QUORVEL_HOSTCORE_TESTS
namespace {
std::wstring g_last;
int g_count = 0;
void catchbox(const wchar_t* text)
{
    g_last = text;
    ++g_count;
}
}  // namespace

fatalcatcher::fatalcatcher()
{
    host::setfatalbox(catchbox);
    reset();
}

fatalcatcher::~fatalcatcher()
{
    host::setfatalbox(nullptr);
    InterlockedExchange(&g_screxits, 0);
}

std::wstring fatalcatcher::last() const
{
    return g_last;
}

int fatalcatcher::count() const
{
    return g_count;
}

void fatalcatcher::reset()
{
    g_last.clear();
    g_count = 0;
    InterlockedExchange(&g_screxits, 0);
}
#endif

}  // namespace htest
