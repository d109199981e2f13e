// File-system commands: thin layers over the platform's file calls, each
// telling a failure through its result and the last-error text.
#include "commands/filesystem.h"

#include <cwchar>
#include <string>

#include "commands/filetime.h"
#include "compiler/textscan.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "runtime/owners.h"

namespace {

// Heap id of a current directory longer than a datum's inline room.
constexpr int32_t curdirid = 2210;

// Results of the size and attribute queries that failed.
constexpr int64_t nosize = 4294967295;

// Opened for reading the size or the times: folders too, and shared with readers.
HANDLE openforquery(const wchar_t* path)
{
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                       nullptr);
}

// Opened alone for setting times; folders too.
HANDLE openforsettime(const wchar_t* path)
{
    return CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// A popped path, its buffer given back at once.
std::wstring poppath(ExeScr& e)
{
    datscell* c = e.pops();
    std::wstring path = e.datstext(c);
    e.datsrelease(c);
    return path;
}

}  // namespace

SHFILEOPSTRUCTW recyclerequest(const wchar_t* from)
{
    SHFILEOPSTRUCTW op = {};
    op.hwnd = nullptr;
    op.wFunc = FO_DELETE;
    op.pFrom = from;
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO;  // 0x54
    return op;
}

void ExeScr::keepsyserr() { syserrtext = lasterrortext(GetLastError()); }

void ExeScr::copyfile_exec()
{
    const std::wstring source = poppath(*this);
    const std::wstring target = poppath(*this);
    const BOOL failifexists = cmdargs::toi64(popd()) != 0;
    const BOOL ok = CopyFileW(source.c_str(), target.c_str(), failifexists);
    if (!ok)
        keepsyserr();
    pushint(ok);
}

void ExeScr::movefile_exec()
{
    const std::wstring source = poppath(*this);
    const std::wstring target = poppath(*this);
    const BOOL ok = MoveFileW(source.c_str(), target.c_str());
    if (!ok)
        keepsyserr();
    pushint(ok);
}

void ExeScr::deletefile_exec()
{
    const int64_t count = ip->i;
    ++ip;
    const std::wstring path = poppath(*this);
    const bool recycle = count == 2 && cmdargs::toi64(popd()) != 0;
    if (recycle) {
        // 0 on success: the platform's own sense for this path.
        const std::wstring from = path + L'\0';  // the second NUL is the string's own
        SHFILEOPSTRUCTW op = recyclerequest(from.c_str());
        pushint(SHFileOperationW(&op));
        return;
    }
    const BOOL ok = DeleteFileW(path.c_str());
    if (!ok) {
        keepsyserr();
        if (logon == 1)
            mylogmsgforced(L"%s:%s:%s\n", L"DeleteFile failed.", path.c_str(), syserrtext.c_str());
    }
    pushint(ok);
}

void ExeScr::createdirectory_exec()
{
    const std::wstring path = poppath(*this);
    pushint(createpath(path.c_str()));
}

void ExeScr::removedirectory_exec()
{
    const std::wstring path = poppath(*this);
    const BOOL ok = RemoveDirectoryW(path.c_str());
    if (!ok) {
        keepsyserr();
        if (logon == 1)
            mylogmsgforced(L"%s:%s:%s\n", L"RemoveDirectory failed.", path.c_str(), syserrtext.c_str());
    }
    pushint(ok);
}

void ExeScr::getfileattribute_exec()
{
    const std::wstring path = poppath(*this);
    const DWORD bits = GetFileAttributesW(path.c_str());
    if (bits == INVALID_FILE_ATTRIBUTES)
        keepsyserr();
    pushint(static_cast<int64_t>(bits));
}

void ExeScr::setfileattributes_exec()
{
    const std::wstring path = poppath(*this);
    const auto bits = static_cast<DWORD>(cmdargs::toi32(popd()));
    const BOOL ok = SetFileAttributesW(path.c_str(), bits);
    if (!ok) {
        keepsyserr();
        if (logon == 1)
            mylogmsgforced(L"Error:%s:%s: \n", path.c_str(), syserrtext.c_str());
    }
    pushint(ok);
}

void ExeScr::getfilesize_exec()
{
    const std::wstring path = poppath(*this);
    owners::handle f(openforquery(path.c_str()));
    LARGE_INTEGER size = {};
    if (!f.valid() || !GetFileSizeEx(f.get(), &size)) {
        keepsyserr();
        pushint(nosize);
        return;
    }
    pushint(size.QuadPart);
}

void ExeScr::getfiletime_exec()
{
    const int64_t which = ip->i;
    ++ip;
    const std::wstring path = poppath(*this);
    owners::handle f(openforquery(path.c_str()));
    FILETIME times[3] = {};
    if (!f.valid() || !GetFileTime(f.get(), &times[0], &times[1], &times[2])) {
        keepsyserr();
        pushdbl(-1.0);
        return;
    }
    pushdbl(static_cast<double>(filetime::secs1970(times[which >= 0 && which <= 2 ? which : 2])));
}

void ExeScr::setfiletime_exec()
{
    const int64_t word = ip->i;
    ++ip;
    // Every argument is taken off first, whatever then fails.
    const std::wstring path = poppath(*this);
    std::wstring target;
    int64_t secs = 0;
    if (word == 1)
        target = poppath(*this);
    else if (word >= 3)
        secs = cmdargs::toi64(popd());

    BOOL ok = FALSE;
    if (word == 1) {
        owners::handle source(openforquery(path.c_str()));
        FILETIME c, a, w;
        if (source.valid() && GetFileTime(source.get(), &c, &a, &w)) {
            owners::handle dest(openforsettime(target.c_str()));
            ok = dest.valid() && SetFileTime(dest.get(), &c, &a, &w);
        }
    } else if (word == 2) {
        owners::handle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
        SYSTEMTIME now;
        GetSystemTime(&now);
        FILETIME w;
        ok = f.valid() && SystemTimeToFileTime(&now, &w) && SetFileTime(f.get(), nullptr, nullptr, &w);
    } else {
        owners::handle f(openforsettime(path.c_str()));
        const FILETIME t = filetime::fromsecs1970(secs);
        ok = f.valid() && SetFileTime(f.get(), word == 3 ? &t : nullptr, word == 4 ? &t : nullptr,
                                   word == 5 ? &t : nullptr);
    }
    if (!ok)
        keepsyserr();
    pushint(ok ? 1 : 0);
}

void ExeScr::getdrivetype_exec()
{
    const std::wstring path = poppath(*this);
    pushint(GetDriveTypeW(path.c_str()));
}

void ExeScr::fexist_exec()
{
    const std::wstring path = poppath(*this);
    WIN32_FIND_DATAW data;
    if (!owners::findhandle(FindFirstFileW(path.c_str(), &data)).valid()) {
        keepsyserr();
        pushint(0);
        return;
    }
    pushint(1);
}

void ExeScr::getcurrentdirectory_exec()
{
    // Another script of the process may change the folder between the calls:
    // ask again until the text fits.
    std::wstring dir;
    DWORD need = GetCurrentDirectoryW(0, nullptr);
    while (need) {
        dir.assign(need, L'\0');
        const DWORD got = GetCurrentDirectoryW(need, dir.data());
        if (got < need) {
            dir.resize(got);  // 0 when the call failed
            break;
        }
        need = got > need ? got : need + 1;
    }
    if (!need)
        dir.clear();
    pushstrtext(dir.c_str(), dir.size(), curdirid);
}

void ExeScr::setcurrentdirectory_exec()
{
    const std::wstring path = poppath(*this);
    pushint(SetCurrentDirectoryW(path.c_str()));
}

// ---- front ends

void ExeScr::copyfile_comp(wchar_t* args) { fixedargs_comp(args, "ssn", &ExeScr::copyfile_exec); }

void ExeScr::movefile_comp(wchar_t* args) { fixedargs_comp(args, "ss", &ExeScr::movefile_exec); }

void ExeScr::deletefile_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count != 1 && count != 2)
        comperr(L"the number of argument mismatch.");
    if (count == 2)
        nextnum(args);
    nextstr(args);
    emitcell(&ExeScr::deletefile_exec);
    emitint(count);
}

void ExeScr::createdirectory_comp(wchar_t* args) { fixedargs_comp(args, "s", &ExeScr::createdirectory_exec); }

void ExeScr::removedirectory_comp(wchar_t* args) { fixedargs_comp(args, "s", &ExeScr::removedirectory_exec); }

void ExeScr::getfileattribute_comp(wchar_t* args) { fixedargs_comp(args, "s", &ExeScr::getfileattribute_exec); }

void ExeScr::setfileattributes_comp(wchar_t* args) { fixedargs_comp(args, "sn", &ExeScr::setfileattributes_exec); }

void ExeScr::getfilesize_comp(wchar_t* args) { fixedargs_comp(args, "s", &ExeScr::getfilesize_exec); }

void ExeScr::getfiletime_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    const wchar_t which = *textscan::skipblank(args + mypop());
    if (which < L'0' || which > L'2')
        comperr(L"Not supported parameter.");
    nextstr(args);
    emitcell(&ExeScr::getfiletime_exec);
    emitint(which - L'0');
}

void ExeScr::setfiletime_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    // The word is the first argument, always at offset 0.
    const wchar_t* word = textscan::trimblanks(args);
    static const subword words[] = {{L"dir", 1}, {L"now", 2}, {L"set0", 3}, {L"set1", 4}, {L"set2", 5}};
    int32_t code = 0;
    for (const subword& w : words)
        if (wcscmp(word, w.word) == 0)
            code = w.code;
    if (code == 0) {
        wchar_t msg[200];
        _snwprintf(msg, 200, L"Not supported command:%s", word);
        msg[199] = 0;
        comperr(msg);
    }
    if (count != (code == 2 ? 2 : 3))
        comperr(L"the number of argument mismatch.");
    if (code == 1) {
        nextstr(args);
        nextstr(args);
    } else if (code == 2) {
        nextstr(args);
    } else {
        nextnum(args);
        nextstr(args);
    }
    mypop();  // the word's own offset
    emitcell(&ExeScr::setfiletime_exec);
    emitint(code);
}

void ExeScr::getdrivetype_comp(wchar_t* args) { fixedargs_comp(args, "s", &ExeScr::getdrivetype_exec); }

void ExeScr::fexist_comp(wchar_t* args) { fixedargs_comp(args, "s", &ExeScr::fexist_exec); }

void ExeScr::setcurrentdirectory_comp(wchar_t* args) { fixedargs_comp(args, "s", &ExeScr::setcurrentdirectory_exec); }
