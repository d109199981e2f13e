// Directory listings: a folder read into a named handle at once, its entries
// read by index and sorted in memory.
#include <algorithm>
#include <cwchar>
#include <string>

#include "commands/filetime.h"
#include "compiler/textscan.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/owners.h"

namespace {

// Heap id of an entry name pushed by "dirreads".
constexpr int32_t dirnameid = 2201;

// The handle operand of "dirclose", "dirreads" and "dirreadd".
uint64_t handleword(const ExeScr::dirref& r)
{
    return (static_cast<uint64_t>(static_cast<uint32_t>(r.index)) << 32) | (r.global ? 0x10000u : 0u);
}
bool wordglobal(int64_t word) { return ((static_cast<uint64_t>(word) >> 16) & 0xFFFFu) != 0; }
int32_t wordindex(int64_t word) { return static_cast<int32_t>(static_cast<uint64_t>(word) >> 32); }

// The first character of a bare word argument behind its blanks and tabs.
wchar_t firstof(wchar_t* text) { return *textscan::skipblank(text); }

enum sortkey : uint32_t { nameup, namedown, dateup, datedown, sizeup, sizedown };

// Orders two entries by the grouping (folders first or last), then the key.
// Dates compare as whole seconds, sizes as unsigned 64-bit values.
bool sortsbefore(const DirEntry& a, const DirEntry& b, uint32_t key, uint32_t grouping)
{
    if (grouping == 1 || grouping == 2) {
        const bool adir = (a.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool bdir = (b.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (adir != bdir)
            return grouping == 1 ? adir : bdir;
    }
    switch (key) {
    case nameup: return wcscmp(a.name.c_str(), b.name.c_str()) < 0;
    case namedown: return wcscmp(b.name.c_str(), a.name.c_str()) < 0;
    case dateup: return filetime::secs1601(a.written) < filetime::secs1601(b.written);
    case datedown: return filetime::secs1601(b.written) < filetime::secs1601(a.written);
    case sizeup: return a.size < b.size;
    case sizedown: return b.size < a.size;
    default: return false;
    }
}

DirEntry entryof(const WIN32_FIND_DATAW& data)
{
    DirEntry e;
    e.name = data.cFileName;
    e.attributes = data.dwFileAttributes;
    e.created = data.ftCreationTime;
    e.accessed = data.ftLastAccessTime;
    e.written = data.ftLastWriteTime;
    e.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return e;
}

}  // namespace

ExeScr::dirref ExeScr::dirhandle_comp(wchar_t* text)
{
    const wchar_t* name = textscan::trimblanks(text);
    if (!textscan::asciiletter(*name))
        comperr(L"invalid name.");
    if (const int32_t local = findlocalsym3(name))
        return {local, false};
    return {static_cast<int32_t>(dirfind(name)), true};
}

DirHandle* ExeScr::opendirat(int64_t word)
{
    DirHandle* d = dirat(wordglobal(word), wordindex(word));
    if (d->open != 1)
        myerrexit(L"%s", L"invalid dirpointer.");
    return d;
}

// An entry index must name an entry of the listing.
static const DirEntry& entryat(ExeScr& e, const DirHandle& d, int64_t index)
{
    const auto count = static_cast<int64_t>(d.entries.size());
    if (index < 0 || index >= count)
        e.myerrexit(L"%s: num=%lld, max=%lld", L"number of position is invalid", index, count);
    return d.entries[static_cast<size_t>(index)];
}

void ExeScr::diropen_exec()
{
    const auto word = static_cast<uint64_t>(popd().i);  // read raw: it is no script value
    datscell* c = pops();
    const std::wstring path = datstext(c);
    datsrelease(c);
    DirHandle* d = dirat((word & 0xFFFFFFFFu) != 0, static_cast<int32_t>(word >> 32));
    if (d->open == 1)
        myerrexit(L"%s:%s", L"ReOpen error.", d->name);

    const std::wstring pattern = path + (!path.empty() && path.back() == L'\\' ? L"*" : L"\\*");
    WIN32_FIND_DATAW data;
    const owners::findhandle find(FindFirstFileW(pattern.c_str(), &data));
    if (!find.valid()) {
        keepsyserr();
        if (logon == 1)
            mylogmsg(L"%s:%s:%s\n", L"Dir open failed.", path.c_str(), syserrtext.c_str());
        pushint(0);
        return;
    }
    d->entries.clear();
    do
        d->entries.push_back(entryof(data));
    while (FindNextFileW(find.get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        keepsyserr();
        if (logon == 1)
            mylogmsgforced(L"FindNextFile failed.:%s:%s: \n", path.c_str(), syserrtext.c_str());
    }
    dirbuffcnt = static_cast<int32_t>(d->entries.size());
    d->open = 1;
    pushint(1);
}

void ExeScr::dirclose_exec()
{
    const int64_t word = ip->i;
    ++ip;
    DirHandle* d = opendirat(word);
    std::vector<DirEntry>().swap(d->entries);
    d->open = 0;
}

void ExeScr::dirreads_exec()
{
    const int64_t word = ip->i;
    ++ip;
    const int64_t index = cmdargs::toi64(popd());
    const DirEntry& entry = entryat(*this, *opendirat(word), index);
    pushstrtext(entry.name.c_str(), entry.name.size(), dirnameid);
}

void ExeScr::dirreadd_exec()
{
    const int64_t word = ip->i;
    ++ip;
    const int64_t index = cmdargs::toi64(popd());
    const int64_t item = cmdargs::toi64(popd());
    const DirEntry& entry = entryat(*this, *opendirat(word), index);
    switch (item) {
    case 0: pushint(entry.attributes); break;
    case 1: pushdbl(static_cast<double>(entry.size)); break;
    // Signed: a time before 1970 is a negative count, not a wrapped one.
    case 2: pushdbl(static_cast<double>(filetime::secs1970(entry.written))); break;
    case 3: pushdbl(static_cast<double>(filetime::ticks(entry.written))); break;
    default: pushint(0); break;
    }
}

void ExeScr::dirsort_exec()
{
    const auto word = static_cast<uint64_t>(ip->i);
    ++ip;
    const auto key = static_cast<uint32_t>(word & 0xFFFFu);
    const auto grouping = static_cast<uint32_t>((word >> 16) & 0xFFFFu);
    const auto index = static_cast<int32_t>(word >> 32);
    DirHandle* d = dirat(index >= 0, index);
    if (d->open != 1)
        myerrexit(L"%s", L"invalid dirpointer.");
    std::sort(d->entries.begin(), d->entries.end(),
              [key, grouping](const DirEntry& a, const DirEntry& b) { return sortsbefore(a, b, key, grouping); });
}

// ---- front ends

void ExeScr::diropen_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    nextstr(args);
    const dirref r = dirhandle_comp(args + mypop());
    emitcell(&ExeScr::pushint_exec);
    emitu64((static_cast<uint64_t>(static_cast<uint32_t>(r.index)) << 32) | (r.global ? 1u : 0u));
    emitcell(&ExeScr::diropen_exec);
}

void ExeScr::dirclose_comp(wchar_t* args)
{
    if (splitargs(args) != 1)
        comperr(L"the number of argument mismatch.");
    const dirref r = dirhandle_comp(args + mypop());
    emitcell(&ExeScr::dirclose_exec);
    emitu64(handleword(r));
}

void ExeScr::dirreads_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    nextnum(args);
    const dirref r = dirhandle_comp(args + mypop());
    emitcell(&ExeScr::dirreads_exec);
    emitu64(handleword(r));
}

void ExeScr::dirreadd_comp(wchar_t* args)
{
    if (splitargs(args) != 3)
        comperr(L"the number of argument mismatch.");
    const wchar_t item = firstof(args + mypop());
    if (item < L'0' || item > L'3')
        comperr(L"Not supported parameter.");
    emitcell(&ExeScr::pushint_exec);
    emitint(item - L'0');
    nextnum(args);
    const dirref r = dirhandle_comp(args + mypop());
    emitcell(&ExeScr::dirreadd_exec);
    emitu64(handleword(r));
}

void ExeScr::dirsort_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count != 2 && count != 3)
        comperr(L"the number of argument mismatch.");
    uint32_t grouping = 0;
    if (count == 3) {
        const wchar_t g = firstof(args + mypop());
        if (g == L't')
            grouping = 1;
        else if (g == L'b')
            grouping = 2;
        else
            comperr(L"Not supported parameter.");
    }
    const wchar_t* k = textscan::skipblank(args + mypop());
    static const wchar_t* const keys[] = {L"na", L"nd", L"da", L"dd", L"sa", L"sd"};
    uint32_t key = 6;
    for (uint32_t n = 0; n < 6; ++n)
        if (wcsncmp(k, keys[n], 2) == 0)
            key = n;
    if (key == 6)
        comperr(L"Not supported parameter.");
    const dirref r = dirhandle_comp(args + mypop());
    emitcell(&ExeScr::dirsort_exec);
    emitu64((static_cast<uint64_t>(static_cast<uint32_t>(r.index)) << 32) | (grouping << 16) | key);
}
