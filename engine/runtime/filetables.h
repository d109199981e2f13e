// Records of the file-pointer and directory-handle tables: the
// named files of the file commands and the named directory listings of the
// directory commands, global or local to a function.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

// Global file-pointer names are significant to 20 characters, directory-handle
// names to 21 (the local names of a function are found by their 21 at
// compile time).
constexpr int fpnamemax = 20;
constexpr int dirnamemax = 21;
// Room of the inline path of a FilePointer, in characters (a terminator follows).
constexpr uint32_t fppathinline = 128;
// Allocation id of a text buffer grown by linebuf_insertstr.
constexpr int32_t linebufid = 194;
// Allocation id under which the file commands take a heap path copy.
constexpr int32_t fppathid = 2125;

// The text of an open file as a list of lines. The lines lie one behind the
// other in `text`, each with its NUL; `used` is the sum over all lines of
// length + 1 (plus one for the byte-order mark that a file read from disk keeps
// in front of its first line). The block holds `cap` + 1 characters, so
// `text[used]` always exists and is kept a NUL. A binary file keeps its bytes
// in `text` instead: `cap` and `bytecount` then count bytes.
struct LineBuf {
    std::vector<wchar_t*> lines;  // in file order, each pointing into `text`
    uint32_t encoding = 0;        // set by "fopen"; 2 = UTF-8
    wchar_t* text = nullptr;      // tracked block, or null
    uint32_t textid = 0;          // its allocation id
    uint32_t cap = 0;             // in characters
    uint32_t bytecount = 0;       // binary files: the bytes held
    uint32_t used = 0;            // in characters
};

// One named file. A fresh record is closed, with no buffers and no file handle.
struct FilePointer {
    static constexpr int namemax = fpnamemax;
    wchar_t name[fpnamemax + 1] = {};
    uint32_t open = 0;  // 1 while a file is open on the record
    LineBuf lb;         // the line buffer
    uint32_t mode = 0;      // mode bits of the "fopen" operand
    uint32_t writable = 0;  // 1: the contents are written back
    uint32_t binary = 0;    // 1: a byte buffer, no lines
    wchar_t pathinl[fppathinline + 1] = {};
    wchar_t* path = nullptr;    // pathinl or pathheap, null while none is set
    uint32_t pathcap = 0;       // fppathinline for the inline text
    wchar_t* pathheap = nullptr;
    uint32_t pathheapid = 0;
    HANDLE hfile = INVALID_HANDLE_VALUE;  // invalid while no file is open
    uint32_t createonwrite = 0; // create the file when the first write is flushed

    FilePointer() = default;
    // Records move when their table grows: a path pointer to the inline text
    // follows the record to its new place.
    FilePointer(const FilePointer& o) { *this = o; }
    FilePointer& operator=(const FilePointer& o)
    {
        if (this == &o)
            return *this;
        wmemcpy(name, o.name, fpnamemax + 1);
        open = o.open;
        lb = o.lb;
        mode = o.mode;
        writable = o.writable;
        binary = o.binary;
        wmemcpy(pathinl, o.pathinl, fppathinline + 1);
        path = o.path == o.pathinl ? pathinl : o.path;
        pathcap = o.pathcap;
        pathheap = o.pathheap;
        pathheapid = o.pathheapid;
        hfile = o.hfile;
        createonwrite = o.createonwrite;
        return *this;
    }
};

// One directory entry.
struct DirEntry {
    std::wstring name;
    uint32_t attributes = 0;
    FILETIME created = {};
    FILETIME accessed = {};
    FILETIME written = {};
    uint64_t size = 0;
};

// One named directory listing.
struct DirHandle {
    static constexpr int namemax = dirnamemax;
    wchar_t name[dirnamemax + 1] = {};
    uint32_t open = 0;
    std::vector<DirEntry> entries;
};
