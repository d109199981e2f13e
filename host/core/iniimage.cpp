#include "core/iniimage.h"

#include "core/syslog.h"
#include "core/textfile.h"

namespace host {

namespace {

// Line end removed, for comparing and reading values.
size_t contentlength(const std::wstring& line)
{
    size_t n = line.size();
    if (n && line[n - 1] == L'\n')
        --n;
    if (n && line[n - 1] == L'\r')
        --n;
    return n;
}

int hexdigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return 0;
}

bool filetime(const std::wstring& path, bool& exists, int64_t& seconds)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        const DWORD err = GetLastError();
        exists = false;
        return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND;
    }
    exists = true;
    seconds = unixseconds(data.ftLastWriteTime);
    return true;
}

}  // namespace

int64_t unixseconds(const FILETIME& ft)
{
    const uint64_t t = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<int64_t>(t / 10000000ULL) - 11644473600LL;
}

bool iniheader(const std::wstring& line, std::wstring& name)
{
    if (line.empty() || line[0] != L'[')
        return false;
    const size_t close = line.find(L']');
    if (close == std::wstring::npos)
        return false;
    name = line.substr(1, close - 1);
    return true;
}

bool inikeyline(const std::wstring& line, std::wstring& key, std::wstring& value)
{
    const size_t eq = line.find(L'=');
    if (eq == std::wstring::npos)
        return false;
    const size_t end = contentlength(line);
    key = line.substr(0, eq);
    value = eq < end ? line.substr(eq + 1, end - eq - 1) : std::wstring();
    return true;
}

void iniimage::loadtext(const std::wstring& text)
{
    lines.clear();
    size_t start = 0;
    while (start < text.size()) {
        const size_t lf = text.find(L'\n', start);
        const size_t end = lf == std::wstring::npos ? text.size() : lf + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
}

int iniimage::loadini(const std::wstring& path)
{
    freeini();
    loadtime = 0;
    loadfailed = false;
    hostblock block;
    uint64_t bytes = 0;
    DWORD err = 0;
    switch (readwhole(path, id_iniread, block, bytes, err)) {
    case readfail::none:
        break;
    case readfail::open:
        if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND)
            return 1;  // no file yet: every setting takes its default
        loadfailed = true;
        logmsg(L"File open failed.:%s:%s: \n", path.c_str(), syserrtext(err).c_str());
        return 1;
    case readfail::size:
        loadfailed = true;
        fatalexit(L"Cannot get file size.:%s:%s:", path.c_str(), syserrtext(err).c_str());
        return 1;
    case readfail::read:
        loadfailed = true;
        logmsg(L"Cannot read file.:%s:%s: \n", path.c_str(), syserrtext(err).c_str());
        return 1;
    }
    const wchar_t* text = block.as<wchar_t>();
    const size_t chars = static_cast<size_t>(bytes / 2);
    if (chars == 0 || text[0] != 0xFEFF) {
        // Refused, and kept safe: a file we could not read is never written over.
        loadfailed = true;
        fatalexit(L"%s:%s", L"This file is not UNICODE format.", path.c_str());
        return 1;
    }
    loadtext(std::wstring(text + 1, chars - 1));
    bool exists = false;
    int64_t t = 0;
    if (filetime(path, exists, t) && exists)
        loadtime = t;
    return 1;
}

bool iniimage::getinis(const std::wstring& section, const std::wstring& key, std::wstring& value) const
{
    bool insection = false;
    std::wstring name, k, v;
    for (const std::wstring& line : lines) {
        if (iniheader(line, name))
            insection = name == section;
        else if (insection && inikeyline(line, k, v) && k == key) {
            value = v;
            return true;
        }
    }
    return false;
}

void iniimage::setinis(const std::wstring& section, const std::wstring& key, const std::wstring& value)
{
    if (lines.empty())
        for (const wchar_t* h : {L"[setting]\r\n", L"[main]\r\n", L"[log]\r\n", L"[script]\r\n", L"[hotkey]\r\n",
                                 L"[runkey]\r\n"})
            insertinis(h, -1);
    const std::wstring newline = key + L"=" + value + L"\r\n";
    bool insection = false, found = false;
    int next = -1;
    std::wstring name, k, v;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (iniheader(lines[i], name)) {
            if (found && next < 0 && name != section)
                next = static_cast<int>(i);
            insection = name == section;
            found = found || insection;
            if (insection)
                next = -1;  // a repeated header reopens the section
        } else if (insection && inikeyline(lines[i], k, v) && k == key) {
            lines[i] = newline;
            inidirty |= section == L"setting" ? dirtysetting : dirtyother;
            return;
        }
    }
    if (found) {
        insertinis(newline, next);
    } else {
        insertinis(L"[" + section + L"]\r\n", -1);
        insertinis(newline, -1);
    }
    inidirty |= section == L"setting" ? dirtysetting : dirtyother;
}

void iniimage::insertinis(const std::wstring& line, int position)
{
    const int count = static_cast<int>(lines.size());
    if (position < -1 || position > count) {
        fatalexit(L"%s: num=%d, max=%d", L"number of position is invalid", position, count);
        return;
    }
    const size_t at = position == -1 ? lines.size() : static_cast<size_t>(position);
    // A last line without its line end would run into the new one.
    if (at > 0 && (lines[at - 1].empty() || lines[at - 1].back() != L'\n'))
        lines[at - 1] += L"\r\n";
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), line);
}

void iniimage::deleteiniline(int position)
{
    if (position < 0 || position >= static_cast<int>(lines.size())) {
        fatalexit(L"%s: num=%d, max=%d", L"number of position is invalid", position,
                  static_cast<int>(lines.size()));
        return;
    }
    lines.erase(lines.begin() + position);
}

void iniimage::delinis(const std::wstring& section, const std::wstring& key)
{
    bool insection = false;
    std::wstring name, k, v;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (iniheader(lines[i], name))
            insection = name == section;
        else if (insection && inikeyline(lines[i], k, v) && k == key) {
            deleteiniline(static_cast<int>(i));
            return;
        }
    }
    logmsg(L"delinis:%s\n", L"key is not found.");
}

void iniimage::freeini()
{
    lines.clear();
}

std::wstring iniimage::filetext() const
{
    std::wstring out(1, static_cast<wchar_t>(0xFEFF));
    for (const std::wstring& line : lines)
        out += line;
    return out;
}

bool savedecision(int dirty, bool loadfailed, bool firstapp, bool fileexists, int64_t disktime, int64_t loadtime,
                  bool& refused)
{
    refused = false;
    if (!dirty || loadfailed)
        return false;
    if (fileexists && disktime != loadtime) {
        if (!firstapp || !(dirty & dirtyother)) {
            refused = true;
            return false;
        }
    }
    return true;
}

int iniimage::saveini(const std::wstring& path, bool firstapp) const
{
    if (!inidirty)
        return 0;
    if (loadfailed) {
        logmsg(L"%s:%s: \n", L"Not saved: the settings file could not be read", path.c_str());
        return 0;
    }
    bool exists = false, refused = false;
    int64_t disktime = 0;
    if (!filetime(path, exists, disktime))
        return 0;
    if (!savedecision(inidirty, loadfailed, firstapp, exists, disktime, loadtime, refused)) {
        if (refused)
            logmsg(L"ini was updated then no update...\n");
        return 0;
    }
    const std::wstring text = filetext();
    DWORD err = 0;
    if (writefileatomic(path, text.data(), text.size() * sizeof(wchar_t), err) != writefail::none) {
        logmsg(L"%s:quorvel.ini:%s: \n", L"File open failed.", syserrtext(err).c_str());
        return 0;
    }
    return 1;
}

void unescapeini(std::wstring& text)
{
    for (size_t i = 1; i + 1 < text.size(); ++i) {
        if (text[i] != L'\\')
            continue;
        const wchar_t c = text[i + 1];
        switch (c) {
        case L'\\':
        case L'\'':
        case L'"':
            text.replace(i, 2, 1, c);
            break;
        case L'n':
            text[i] = L'\r';
            text[i + 1] = L'\n';
            ++i;
            break;
        case L'r':
            text.replace(i, 2, 1, L'\r');
            break;
        case L't':
            text.replace(i, 2, 1, L'\t');
            break;
        case L'0':
            text.replace(i, 2, 1, L'\0');
            break;
        case L'x':
            if (i + 3 < text.size())
                text.replace(i, 4, 1, static_cast<wchar_t>(hexdigit(text[i + 2]) * 16 + hexdigit(text[i + 3])));
            break;
        default:
            break;  // the backslash stays
        }
    }
}

std::wstring filterlist(const std::wstring& value)
{
    std::wstring f = value;
    unescapeini(f);
    while (!f.empty() && f.back() == L'\0')
        f.pop_back();
    if (f.empty())
        f = std::wstring(L"Script(*.tst)\0*.tst\0All(*.*)\0*.*", 32);
    // The dialog reads pairs up to an empty string: end with two NULs.
    f.push_back(L'\0');
    f.push_back(L'\0');
    return f;
}

iniimage& theini()
{
    static iniimage image;
    return image;
}

}  // namespace host
