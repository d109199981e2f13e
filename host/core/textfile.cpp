#include "core/textfile.h"

#include <cstring>

#include "core/handles.h"

namespace host {

readfail readwhole(const std::wstring& path, uint32_t id, hostblock& block, uint64_t& bytes, DWORD& syserr)
{
    uniquehandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) {
        syserr = GetLastError();
        return readfail::open;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h.get(), &size)) {
        syserr = GetLastError();
        return readfail::size;
    }
    if (size.QuadPart > 0x7FFFFFF0) {
        syserr = ERROR_FILE_TOO_LARGE;
        return readfail::size;
    }
    const DWORD want = static_cast<DWORD>(size.QuadPart);
    hostblock b(static_cast<size_t>(want) + 2, id);
    if (!b) {
        syserr = ERROR_NOT_ENOUGH_MEMORY;
        return readfail::read;
    }
    DWORD got = 0;
    if (!ReadFile(h.get(), b.as<char>(), want, &got, nullptr)) {
        syserr = GetLastError();
        return readfail::read;
    }
    b.as<char>()[got] = 0;
    b.as<char>()[got + 1] = 0;
    bytes = got;
    block = std::move(b);
    return readfail::none;
}

const wchar_t* readfailtext(readfail f)
{
    switch (f) {
    case readfail::open:
        return L"File open failed.";
    case readfail::size:
        return L"Cannot get file size.";
    case readfail::read:
        return L"Cannot read file.";
    default:
        return L"";
    }
}

bool decodescript(const char* bytes, uint64_t n, std::wstring& text, bool& converted, DWORD& syserr)
{
    if (n >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
        const size_t chars = static_cast<size_t>((n - 2) / 2);
        text.resize(chars);
        if (chars)
            memcpy(text.data(), bytes + 2, chars * sizeof(wchar_t));
        converted = false;
        return true;
    }
    converted = true;
    text.clear();
    if (n == 0)
        return true;
    const int len = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, static_cast<int>(n), nullptr, 0);
    if (len <= 0) {
        syserr = GetLastError();
        return false;
    }
    text.resize(static_cast<size_t>(len));
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes, static_cast<int>(n), text.data(), len) != len) {
        syserr = GetLastError();
        return false;
    }
    return true;
}

bool writefileatomic(const std::wstring& path, const void* data, size_t bytes, DWORD& syserr)
{
    const size_t slash = path.rfind(L'\\');
    const std::wstring dir = slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
    // Windows refuses to replace a read-only file but not every platform layer
    // does: refuse it here, the same everywhere.
    const DWORD attrs = GetFileAttributesW(path.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        syserr = ERROR_ACCESS_DENIED;
        return false;
    }
    wchar_t tmp[MAX_PATH + 16] = {};
    if (dir.size() > MAX_PATH - 14 || !GetTempFileNameW(dir.c_str(), L"qvl", 0, tmp)) {
        syserr = dir.size() > MAX_PATH - 14 ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        return false;
    }
    bool ok = false;
    {
        uniquehandle h(CreateFileW(tmp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD done = 0;
        if (!h.valid())
            syserr = GetLastError();
        else if (bytes > 0xFFFFFFFFu)
            syserr = ERROR_FILE_TOO_LARGE;
        else if (!WriteFile(h.get(), data, static_cast<DWORD>(bytes), &done, nullptr) || done != bytes)
            syserr = done != bytes && GetLastError() == 0 ? ERROR_WRITE_FAULT : GetLastError();
        else if (!FlushFileBuffers(h.get()))
            syserr = GetLastError();
        else if (!h.close())
            syserr = GetLastError();
        else
            ok = true;
    }
    // A reader that has the target open for a moment (a virus scanner, an
    // indexer) makes the replacement fail: try again for a short while.
    for (int tries = 0; ok; ++tries) {
        if (MoveFileExW(tmp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            break;
        syserr = GetLastError();
        if (tries == 9 || (syserr != ERROR_ACCESS_DENIED && syserr != ERROR_SHARING_VIOLATION))
            ok = false;
        else
            Sleep(30);
    }
    if (!ok)
        DeleteFileW(tmp);
    return ok;
}

std::wstring withbom(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size() + 1);
    out += static_cast<wchar_t>(0xFEFF);
    out += text;
    return out;
}

}  // namespace host
