// What the host tests share: scratch folders, file helpers and the catching of
// the host's fatal exit.
#pragma once

#include <windows.h>

#include <string>

namespace htest {

// A new empty scratch folder (with its final "\") below the temp folder.
std::wstring scratch(const wchar_t* tag);

// A file's bytes, or the bytes to write.
std::string readbytes(const std::wstring& path);
void writebytes(const std::wstring& path, const std::string& bytes);

// UTF-16LE bytes of a wide text, with the byte-order mark when `bom`.
std::string utf16(const std::wstring& text, bool bom = true);
// Wide text from UTF-16LE bytes (a leading mark kept).
std::wstring widen(const std::string& bytes);

// Catches the host's fatal exit instead of showing its box; the last message
// is kept and g_screxits is cleared again by `reset`.
struct fatalcatcher {
    fatalcatcher();
    ~fatalcatcher();
    std::wstring last() const;
    int count() const;
    void reset();
};

}  // namespace htest
