#include "core/textfile.h"

#include <cstring>
#include <string>

#include "runtime/owners.h"
#include "runtime/scriptname.h"

namespace host {

readfail readwhole(const std::wstring& path, uint32_t id, hostblock& block, uint64_t& bytes, DWORD& syserr)
{
    owners::handle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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

namespace {

// What a reader that holds the file for a moment (a virus scanner, an indexer)
// makes a replacement fail with: worth another try.
bool transient(DWORD err)
{
    return err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION ||
           err == ERROR_UNABLE_TO_REMOVE_REPLACED || err == ERROR_UNABLE_TO_MOVE_REPLACEMENT;
}

// Runs `step` up to ten times, 30 ms apart, while it fails for a transient reason.
template <class F>
bool retried(F step, DWORD& syserr)
{
    for (int tries = 0;; ++tries) {
        if (step())
            return true;
        syserr = GetLastError();
        if (syserr == 0)
            syserr = ERROR_UNABLE_TO_REMOVE_REPLACED;  // a replacement refused without a reason
        if (tries == 9 || !transient(syserr))
            return false;
        Sleep(30);
    }
}

DWORD linkcount(const std::wstring& path)
{
    owners::handle h(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    BY_HANDLE_FILE_INFORMATION fi;
    return h.valid() && GetFileInformationByHandle(h.get(), &fi) ? fi.nNumberOfLinks : 1;
}

bool writewhole(HANDLE h, const void* data, DWORD bytes)
{
    LARGE_INTEGER at = {};
    DWORD done = 0;
    if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN))
        return false;
    if (bytes && (!WriteFile(h, data, bytes, &done, nullptr) || done != bytes))
        return false;
    at.QuadPart = bytes;
    return SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h) && FlushFileBuffers(h);
}

// Writes the bytes over the file's own contents. For a file that other names
// (hard links) share: a replacement would leave them the old text. The room
// for the new text is taken before the first byte is overwritten, so that
// only a failing disk can stop the write half-way; then the old bytes go back
// (`restored`). Meanwhile the caller's temporary file holds the whole new text.
writefail overwrite(const std::wstring& path, const void* data, DWORD bytes, DWORD& syserr, bool& restored)
{
    restored = true;
    owners::handle h;
    if (!retried(
            [&] {
                h.reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
                return h.valid();
            },
            syserr))
        return writefail::open;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h.get(), &size)) {
        syserr = GetLastError();
        return writefail::open;
    }
    if (size.QuadPart > 0x7FFFFFF0) {
        syserr = ERROR_FILE_TOO_LARGE;
        return writefail::open;
    }
    std::string old(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!old.empty() && (!ReadFile(h.get(), old.data(), static_cast<DWORD>(old.size()), &got, nullptr) ||
                         got != old.size())) {
        syserr = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
        return writefail::open;
    }
    LARGE_INTEGER room;
    room.QuadPart = size.QuadPart > bytes ? size.QuadPart : bytes;
    if (!SetFilePointerEx(h.get(), room, nullptr, FILE_BEGIN) || !SetEndOfFile(h.get())) {
        syserr = GetLastError();
        SetFilePointerEx(h.get(), size, nullptr, FILE_BEGIN);
        SetEndOfFile(h.get());
        return writefail::write;
    }
    if (writewhole(h.get(), data, bytes))
        return writefail::none;
    syserr = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    restored = writewhole(h.get(), old.data(), static_cast<DWORD>(old.size()));
    return writefail::write;
}

}  // namespace

writefail writefileatomic(const std::wstring& path, const void* data, size_t bytes, DWORD& syserr)
{
    const size_t name = namestart(path);
    const std::wstring dir = name == 0 ? L"." : path.substr(0, name);
    // Windows refuses to replace a read-only file but not every platform layer
    // does: refuse it here, the same everywhere.
    const DWORD attrs = GetFileAttributesW(path.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        syserr = ERROR_ACCESS_DENIED;
        return writefail::open;
    }
    if (bytes > 0x7FFFFFF0) {
        syserr = ERROR_FILE_TOO_LARGE;
        return writefail::write;
    }
    wchar_t tmp[MAX_PATH + 16] = {};
    if (dir.size() > MAX_PATH - 14 || !GetTempFileNameW(dir.c_str(), L"qvl", 0, tmp)) {
        syserr = dir.size() > MAX_PATH - 14 ? ERROR_FILENAME_EXCED_RANGE : GetLastError();
        return writefail::open;
    }
    const DWORD n = static_cast<DWORD>(bytes);
    writefail fail = writefail::none;
    {
        owners::handle h(CreateFileW(tmp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD done = 0;
        if (!h.valid()) {
            syserr = GetLastError();
            fail = writefail::open;
        } else if (!WriteFile(h.get(), data, n, &done, nullptr) || done != n) {
            syserr = done != n && GetLastError() == 0 ? ERROR_WRITE_FAULT : GetLastError();
            fail = writefail::write;
        } else if (!FlushFileBuffers(h.get()) || !h.close()) {
            syserr = GetLastError();
            fail = writefail::write;
        }
    }
    bool keeptmp = false;
    if (fail != writefail::none) {
        // Nothing written: the target was never touched.
    } else if (attrs == INVALID_FILE_ATTRIBUTES) {
        // A new file has nothing to keep: the rename makes it whole at once.
        if (!MoveFileExW(tmp, path.c_str(), MOVEFILE_WRITE_THROUGH)) {
            syserr = GetLastError();
            fail = writefail::open;
        }
    } else if (linkcount(path) > 1) {
        bool restored = true;
        fail = overwrite(path, data, n, syserr, restored);
        // Unless the old text came back, the temporary file is the only whole copy.
        keeptmp = fail != writefail::none && !restored;
        if (fail == writefail::none)
            DeleteFileW(tmp);
    } else {
        // The replaced file lends the new one its identity: ACL, attributes,
        // creation time, short name and alternate streams stay.
        const bool replaced = retried(
            [&] {
                // Asked first with the access the replacement needs: a refused
                // ReplaceFileW may leave a stray file of its own beside the target.
                if (!owners::handle(CreateFileW(path.c_str(), GENERIC_READ | DELETE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
                         .valid())
                    return false;
                return ReplaceFileW(path.c_str(), tmp, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                                    nullptr) != 0;
            },
            syserr);
        if (!replaced)
            fail = writefail::open;
    }
    if (fail != writefail::none && !keeptmp)
        DeleteFileW(tmp);
    return fail;
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
