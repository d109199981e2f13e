// "fopen", "fclose" and "fflush": binding a named file pointer to a file,
// loading its contents as lines, one text or bytes, and writing them back.
#include <cstring>
#include <cwchar>
#include <string>

#include "compiler/textscan.h"
#include "runtime/exescr.h"

namespace {

// Heap ids of the record buffers made here.
constexpr int32_t fpreadid = 2120;   // the file as read
constexpr int32_t fpconvid = 2121;   // the text converted from UTF-8 or ANSI
constexpr int32_t fplinesid = 2122;  // the lines of a line-mode read

const unsigned char utf16mark[2] = {0xFF, 0xFE};

uint32_t encodingof(uint32_t mode)
{
    return (mode & ExeScr::fpansi) ? 1 : (mode & ExeScr::fputf8) ? 2 : 0;
}

UINT codepageof(uint32_t encoding) { return encoding == 2 ? CP_UTF8 : CP_ACP; }

// The line-mode cut of a text: each line up to and including its LF, a rest
// without LF as the last line. A NUL inside the text also ends a line and is
// dropped: a line with a NUL inside would no longer be the length its place in
// the buffer says.
template <class F>
void eachline(const wchar_t* text, size_t len, F f)
{
    size_t start = 0;
    for (size_t k = 0; k < len; ++k) {
        if (text[k] == L'\n') {
            f(text + start, k + 1 - start);
            start = k + 1;
        } else if (text[k] == 0) {
            if (k > start)
                f(text + start, k - start);
            start = k + 1;
        }
    }
    if (len > start)
        f(text + start, len - start);
}

}  // namespace

// ---- shared by the file commands

uint64_t ExeScr::fpname_comp(wchar_t* text, uint32_t small)
{
    wchar_t* name = textscan::trimblanks(text);
    if (!textscan::asciiletter(*name))
        comperr(L"invalid name.");
    int32_t index = findlocalsym2(name);
    uint64_t global = 0;
    if (index == 0) {
        index = static_cast<int32_t>(fpfind(name));
        global = 1;
    }
    return (static_cast<uint64_t>(static_cast<uint32_t>(index)) << 32) | (global << 16) | (small & 0xFFFFu);
}

void ExeScr::fpcell_comp(execfn op, wchar_t* name, uint32_t small)
{
    const uint64_t operand = fpname_comp(name, small);
    emitcell(op);
    emitu64(operand);
}

void ExeScr::fpnum_comp(wchar_t* args, execfn op)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    nextnum(args);
    fpcell_comp(op, args + mypop());
}

void ExeScr::emitpushint(int32_t value)
{
    emitcell(&ExeScr::pushint_exec);
    emitint(value);
}

FilePointer& ExeScr::fpoperand(int64_t operand)
{
    const bool global = ((static_cast<uint64_t>(operand) >> 16) & 0xFFFFu) != 0;
    return *fpat(global, static_cast<int32_t>(operand >> 32));
}

void ExeScr::fpwritebytes(FilePointer& fp, const void* data, uint64_t bytes)
{
    const auto* p = static_cast<const unsigned char*>(data);
    while (bytes > 0) {
        const DWORD chunk = bytes > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes);
        DWORD done = 0;
        const BOOL ok = fpwritefile(fp.hfile, p, chunk, &done, nullptr);
        if (!ok || done != chunk) {
            // A write that reports success but stops short has run out of room.
            syserrtext = lasterrortext(ok ? ERROR_DISK_FULL : GetLastError());
            myerrexit(L"%s:%s:%s:", L"File write failed.", fp.path ? fp.path : L"", syserrtext.c_str());
        }
        p += chunk;
        bytes -= chunk;
    }
}

void ExeScr::fpwritetext(FilePointer& fp, const wchar_t* text)
{
    if (fp.lb.encoding == 0) {
        fpwritebytes(fp, text, wcslen(text) * sizeof(wchar_t));
        return;
    }
    const UINT cp = codepageof(fp.lb.encoding);
    const int size = WideCharToMultiByte(cp, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<size_t>(size) : 0, '\0');
    if (size <= 0 || WideCharToMultiByte(cp, 0, text, -1, bytes.data(), size, nullptr, nullptr) != size) {
        const std::wstring sys = lasterrortext(GetLastError());
        myerrexit(L"%s:%s:%s:", L"WideCharToMultiByter failed.", fp.name, sys.c_str());
    }
    fpwritebytes(fp, bytes.data(), static_cast<uint64_t>(size) - 1);
}

void ExeScr::fprecreate(FilePointer& fp)
{
    if (!fp.createonwrite)
        return;
    fp.hfile = CreateFileW(fp.path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (fp.hfile == INVALID_HANDLE_VALUE) {
        syserrtext = lasterrortext(GetLastError());
        myerrexit(L"%s:%s:%s:", L"File open failed.", fp.path, syserrtext.c_str());
    }
    fp.createonwrite = 0;
    if (!fp.binary && fp.lb.encoding == 0)
        fpwritebytes(fp, utf16mark, sizeof utf16mark);
}

void ExeScr::fpwriteout(FilePointer& fp)
{
    if (fp.binary) {
        fprecreate(fp);
        if (fp.lb.bytecount)
            fpwritebytes(fp, fp.lb.text, fp.lb.bytecount);
        return;
    }
    std::wstring joined;
    for (const wchar_t* line : fp.lb.lines)
        joined += line;
    fprecreate(fp);
    fpwritetext(fp, joined.c_str());
}

// ---- fopen

void ExeScr::fopen_exec()
{
    const int64_t operand = ip->i;
    ++ip;
    datscell* c = pops();
    const std::wstring path = datstext(c);
    datsrelease(c);
    FilePointer& fp = fpoperand(operand);
    if (fp.open)
        myerrexit(L"ReOpen error.");

    const uint32_t mode = static_cast<uint32_t>(operand) & 0xFFFFu;
    const uint32_t encoding = encodingof(mode);
    const bool binary = (mode & fpbinary) != 0;
    const bool whole = (mode & fpwhole) != 0;
    const bool reading = whole || (mode & fpread) != 0;
    const bool writable = !whole && (mode & fpwrite) != 0;  // "rw" has both bits

    // An ordinary failure: the script learns it from the result and "getlasterror".
    auto failed = [&](DWORD err) {
        syserrtext = lasterrortext(err);
        if (logon == 1)
            mylogmsgforced(L"%s:%s:%s: \n", L"File open failed.", path.c_str(), syserrtext.c_str());
        pushint(0);
    };

    HANDLE h;
    if (reading) {
        const DWORD share = writable ? 0 : FILE_SHARE_READ;
        h = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    } else {
        const DWORD disposition = (mode & fpnew) ? CREATE_NEW : CREATE_ALWAYS;
        h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (h == INVALID_HANDLE_VALUE) {
        failed(GetLastError());
        return;
    }

    unsigned char* data = nullptr;
    uint32_t size = 0;
    if (reading) {
        LARGE_INTEGER li = {};
        if (!GetFileSizeEx(h, &li)) {
            const std::wstring sys = lasterrortext(GetLastError());
            CloseHandle(h);
            myerrexit(L"Cannot get file size.:%s:%s:", path.c_str(), sys.c_str());
        }
        if (static_cast<uint64_t>(li.QuadPart) >= fpmaxsize) {
            CloseHandle(h);
            failed(ERROR_FILE_TOO_LARGE);
            return;
        }
        size = static_cast<uint32_t>(li.QuadPart);
        // Room for a terminator behind the bytes, as a byte and as a wide character.
        data = static_cast<unsigned char*>(mymalloc2(static_cast<uint64_t>(size) + 4, fpreadid));
        memset(data + size, 0, 4);
        DWORD got = 0;
        if (!ReadFile(h, data, size, &got, nullptr)) {
            const DWORD err = GetLastError();
            CloseHandle(h);
            myfree(data, fpreadid);
            failed(err);
            return;
        }
        CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
        if (got < size) {  // the file shrank meanwhile: what was read is the file
            size = got;
            memset(data + size, 0, 4);
        }
    }

    fp.lb = LineBuf();
    fp.lb.encoding = encoding;
    fp.mode = mode;
    fp.writable = writable ? 1 : 0;
    fp.binary = binary ? 1 : 0;
    fp.hfile = h;
    fp.createonwrite = 0;
    fp.pathheap = nullptr;
    fp.pathheapid = 0;
    if (path.size() <= fppathinline) {
        wmemcpy(fp.pathinl, path.c_str(), path.size() + 1);
        fp.path = fp.pathinl;
        fp.pathcap = fppathinline;
    } else {
        fp.pathheap = static_cast<wchar_t*>(mymalloc2((path.size() + 1) * sizeof(wchar_t), fppathid));
        wmemcpy(fp.pathheap, path.c_str(), path.size() + 1);
        fp.pathheapid = fppathid;
        fp.path = fp.pathheap;
        fp.pathcap = static_cast<uint32_t>(path.size());
    }
    fp.open = 1;

    if (!reading) {
        if (!binary && encoding == 0)
            fpwritebytes(fp, utf16mark, sizeof utf16mark);
        pushint(1);
        return;
    }

    if (binary) {
        fp.lb.text = reinterpret_cast<wchar_t*>(data);
        fp.lb.textid = fpreadid;
        fp.lb.cap = size + 4;
        fp.lb.bytecount = size;
        filedatacnt = static_cast<int32_t>(size);
    } else {
        // The text with its mark in front; `length` counts the mark.
        wchar_t* text = reinterpret_cast<wchar_t*>(data);
        uint32_t textid = fpreadid;
        uint32_t length;
        if (size >= 2 && text[0] == 0xFEFF) {  // the mark wins over the code word
            length = size / 2;
            text[length] = 0;
        } else {
            if (encoding == 0)
                myerrexit(L"%s:%s", L"This file is not UNICODE format.", path.c_str());
            const UINT cp = codepageof(encoding);
            // UTF-8 takes no flags: MB_PRECOMPOSED is refused for it.
            const DWORD flags = encoding == 2 ? 0 : MB_PRECOMPOSED;
            const char* bytes = reinterpret_cast<const char*>(data);
            const int n = MultiByteToWideChar(cp, flags, bytes, -1, nullptr, 0);
            wchar_t* conv = nullptr;
            if (n > 0) {
                conv = static_cast<wchar_t*>(mymalloc2((static_cast<uint64_t>(n) + 2) * sizeof(wchar_t), fpconvid));
                conv[0] = 0xFEFF;
            }
            if (n <= 0 || MultiByteToWideChar(cp, flags, bytes, -1, conv + 1, n) != n) {
                const std::wstring sys = lasterrortext(GetLastError());
                myerrexit(L"%s:%s:%s:", L"MultiByteToWideChar failed.", path.c_str(), sys.c_str());
            }
            myfree(data, fpreadid);
            text = conv;
            textid = fpconvid;
            length = static_cast<uint32_t>(n);
        }
        if (whole) {
            fp.lb.text = text;
            fp.lb.textid = textid;
            fp.lb.cap = length;
            fp.lb.used = length;
            filedatacnt = static_cast<int32_t>(length);
        } else {
            uint32_t count = 0;
            eachline(text + 1, length - 1, [&](const wchar_t*, size_t) { ++count; });
            const uint64_t cap = static_cast<uint64_t>(length) + count;
            wchar_t* lines = static_cast<wchar_t*>(mymalloc2((cap + 1) * sizeof(wchar_t), fplinesid));
            lines[0] = 0xFEFF;
            wchar_t* at = lines + 1;
            fp.lb.lines.reserve(count);
            eachline(text + 1, length - 1, [&](const wchar_t* line, size_t n) {
                wmemcpy(at, line, n);
                at[n] = 0;
                fp.lb.lines.push_back(at);
                at += n + 1;
            });
            *at = 0;
            myfree(text, static_cast<int32_t>(textid));
            fp.lb.text = lines;
            fp.lb.textid = fplinesid;
            fp.lb.cap = static_cast<uint32_t>(cap);
            fp.lb.used = static_cast<uint32_t>(at - lines);
            filelinecnt = static_cast<int32_t>(count);
        }
    }
    if (writable)
        fp.createonwrite = 1;
    pushint(1);
}

// ---- fclose

void ExeScr::fclose_exec()
{
    const int64_t operand = ip->i;
    ++ip;
    FilePointer& fp = fpoperand(operand);
    if (!fp.open)
        myerrexit(L"invalid filepointer.");
    if (fp.writable)
        fpwriteout(fp);
    fprelease(fp);  // closes the handle too
    fp.lb.bytecount = 0;
    fp.writable = 0;
    fp.binary = 0;
    fp.createonwrite = 0;
}

// ---- fflush

void ExeScr::fflush_exec()
{
    const int64_t operand = ip->i;
    ++ip;
    FilePointer& fp = fpoperand(operand);
    if (!fp.open) {
        if (logon == 1)
            mylogmsgforced(L"%s:%s:\n", L"invalid filepointer.", fp.name);
        stopflag = 1;
        return;
    }
    if (!fp.writable) {
        if (logon == 1)
            mylogmsgforced(L"%s \n", L"This file is not writable.");
        stopflag = 1;
        return;
    }
    if ((operand & 0xFFFF) == 1) {
        if (fp.hfile != INVALID_HANDLE_VALUE)
            FlushFileBuffers(fp.hfile);
        return;
    }
    // What is written is given up: later writes collect anew behind it. A binary
    // buffer goes the same way, so that its count never outlives its bytes.
    fpwriteout(fp);
    if (fp.lb.text)
        myfree(fp.lb.text, static_cast<int32_t>(fp.lb.textid));
    fp.lb.text = nullptr;
    fp.lb.cap = 0;
    fp.lb.used = 0;
    fp.lb.bytecount = 0;
    fp.lb.lines.clear();
}

// ---- front ends

void ExeScr::fopen_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count != 3 && count != 4)
        comperr(L"the number of argument mismatch.");
    uint32_t mode = 0;
    if (count == 4) {
        const wchar_t* code = textscan::skipblank(args + mypop());
        mode = *code == L's' ? fpansi : *code == L'u' ? fputf8 : 0;
    }
    const wchar_t* word = textscan::skipblank(args + mypop());
    if (*word == L's') {
        if (word[1] != L'r')
            comperr(L"Not supported parameter.");
        mode |= fpwhole;
    } else {
        if (*word == L'b') {
            mode |= fpbinary;
            ++word;
        }
        if (*word == L'r')
            mode |= word[1] == L'w' ? fpreadwrite : fpread;
        else if (*word == L'w')
            mode |= word[1] == L'n' ? (fpwrite | fpnew) : fpwrite;
        else
            comperr(L"Not supported parameter.");
    }
    nextstr(args);
    fpcell_comp(&ExeScr::fopen_exec, args + mypop(), mode);
}

void ExeScr::fclose_comp(wchar_t* args)
{
    fpcell_comp(&ExeScr::fclose_exec, args);
}

void ExeScr::fflush_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    const uint32_t kind = *textscan::skipblank(args + mypop()) == L'd' ? 1 : 0;
    fpcell_comp(&ExeScr::fflush_exec, args + mypop(), kind);
}
