// Whole-file reading, the script text's decoding, and the replacing write that
// never leaves a half-written file behind.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "core/hostalloc.h"

namespace host {

// Why a whole-file read failed.
enum class readfail { none, open, size, read };

// Reads the whole file into a tracked block of size + 2 bytes (recorded under
// `id`), zero-terminated after the bytes read. `syserr` holds the error code
// on failure.
readfail readwhole(const std::wstring& path, uint32_t id, hostblock& block, uint64_t& bytes, DWORD& syserr);

// The log text of a failed read: "File open failed.", "Cannot get file size." ...
const wchar_t* readfailtext(readfail f);

// Script text from a file's bytes: after the byte-order mark FF FE as UTF-16LE
// (an odd last byte dropped), else converted from the ANSI code page
// (`converted` set). False when the conversion fails.
bool decodescript(const char* bytes, uint64_t n, std::wstring& text, bool& converted, DWORD& syserr);

// Where a replacing write failed: `open` when the file could not be reached
// for writing (missing folder, read-only, locked, a folder in its place, a
// replacement refused), `write` when the new text could not be put on disk
// (written, flushed or closed).
enum class writefail { none, open, write };

// Writes the bytes to a temporary file in the target's folder and flushes it;
// then a new file is that file renamed, an existing one is replaced by it
// (ReplaceFileW, which keeps the original's ACL, attributes and streams), and
// one with hard links is overwritten in place so that every name sees the new
// text. On any failure the target is left as it was, the temporary file is
// removed and `syserr` says why.
writefail writefileatomic(const std::wstring& path, const void* data, size_t bytes, DWORD& syserr);

// "FF FE" followed by the text as UTF-16LE.
std::wstring withbom(const std::wstring& text);

}  // namespace host
