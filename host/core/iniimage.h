// The settings file "quorvel.ini" as an in-memory image of its lines: read once
// at start, changed in memory, written back once at close when it changed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace host {

// Dirty bits: a key of [setting] was set / a key of another section was set.
enum : int { dirtysetting = 1, dirtyother = 2 };

class iniimage {
public:
    // Every line in file order with its own line end (the last may have none).
    std::vector<std::wstring> lines;
    int inidirty = 0;
    // The file's last-write time at load, in seconds since 1970; 0 without a file.
    int64_t loadtime = 0;
    // The file existed but could not be taken in: it must never be written over.
    bool loadfailed = false;

    // Builds the image from the file at `path`; always 1 (failures go to the
    // fatal exit and leave the image empty and marked failed).
    int loadini(const std::wstring& path);
    // The image from the file's text after its byte-order mark.
    void loadtext(const std::wstring& text);

    bool getinis(const std::wstring& section, const std::wstring& key, std::wstring& value) const;
    void setinis(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    // Position -1 appends. An invalid position goes to the fatal exit.
    void insertinis(const std::wstring& line, int position);
    void deleteiniline(int position);
    void delinis(const std::wstring& section, const std::wstring& key);
    void freeini();

    // The file's contents: the byte-order mark and every line.
    std::wstring filetext() const;

    // Writes the file when the image is dirty and the file on disk allows it
    // (see savedecision). 1 written, 0 not.
    int saveini(const std::wstring& path, bool firstapp) const;
};

// Whether a dirty image may be written, given what is on disk now. A second
// instance never writes over a file changed since it was loaded; a first
// instance does only for changes outside [setting]. `refused` is set when the
// change on disk is the reason not to write.
bool savedecision(int dirty, bool loadfailed, bool firstapp, bool fileexists, int64_t disktime, int64_t loadtime,
                  bool& refused);

// A file's last-write time in whole seconds since 1 January 1970.
int64_t unixseconds(const FILETIME& ft);

// A section header's name ("[name]..."), or false for other lines.
bool iniheader(const std::wstring& line, std::wstring& name);
// A key line's key and value (the value without its line end), or false.
bool inikeyline(const std::wstring& line, std::wstring& key, std::wstring& value);

// Replaces backslash escapes in place, from the second character on.
void unescapeini(std::wstring& text);

// The NUL-separated file-dialog filter from the "filter" setting, ending in two
// NULs (beyond those of the string itself); the default list when empty.
std::wstring filterlist(const std::wstring& value);

// The process's image.
iniimage& theini();

}  // namespace host
