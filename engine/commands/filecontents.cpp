// The contents of an open file pointer: its lines ("fread", "fwrite", "fdel",
// "getfilelinecnt", "filesort"), its whole text ("fspread", "fsdread") and its
// bytes ("fbread", "fbwrite").
#include <algorithm>
#include <cstring>
#include <cwchar>

#include "compiler/textscan.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"

namespace {

constexpr int32_t freadid = 2123;   // the copy of a writable file's line
constexpr int32_t fbytesid = 2124;  // a grown byte buffer

const wchar_t* const badpointer = L"invalid filepointer.";
const wchar_t* const badposition = L"number of position is invalid";

bool linemode(const FilePointer& fp) { return fp.open && !fp.binary && !(fp.mode & ExeScr::fpwhole); }
bool wholemode(const FilePointer& fp) { return fp.open && (fp.mode & ExeScr::fpwhole); }
bool binarymode(const FilePointer& fp) { return fp.open && fp.binary; }

uint32_t accesssize(int64_t operand) { return static_cast<uint32_t>(operand & 0xFFFF); }

}  // namespace

// ---- line mode

void ExeScr::fread_exec()
{
    const int64_t operand = ip->i;
    ++ip;
    const int32_t index = cmdargs::toi32(popd());
    FilePointer& fp = fpoperand(operand);
    if (!linemode(fp))
        myerrexit(L"%s", badpointer);
    if (index < 0 || static_cast<size_t>(index) >= fp.lb.lines.size())
        myerrexit(L"%s %d", badposition, index);
    const wchar_t* line = fp.lb.lines[static_cast<size_t>(index)];
    if (fp.writable) {
        pushstrtext(line, wcslen(line), freadid);
    } else {
        datscell* s = pushs();
        s->text = const_cast<wchar_t*>(line);  // a read-only file's lines stay put
    }
}

void ExeScr::fwrite_exec()
{
    const int64_t operand = ip->i;
    ++ip;
    const int32_t index = cmdargs::toi32(popd());
    datscell* c = pops();
    FilePointer& fp = fpoperand(operand);
    // A read-only file's handle was closed after reading: nothing can go there now.
    if (!linemode(fp) || (index == -2 && !fp.writable))
        myerrexit(L"%s:%s:\n", badpointer, fp.name);
    if (index == -2) {
        fprecreate(fp);
        fpwritetext(fp, datstext(c));
    } else {
        linebuf_insertstr(&fp.lb, datstext(c), index);
    }
    datsrelease(c);
}

void ExeScr::fdel_exec()
{
    const int64_t operand = ip->i;
    ++ip;
    const int32_t index = cmdargs::toi32(popd());
    FilePointer& fp = fpoperand(operand);
    if (index < 0 || static_cast<size_t>(index) >= fp.lb.lines.size())
        myerrexit(L"%s %d", badposition, index);
    linebuf_at(&fp.lb, index);
}

void ExeScr::getfilelinecnt_exec()
{
    const int64_t operand = ip->i;
    ++ip;
    pushint(static_cast<int64_t>(fpoperand(operand).lb.lines.size()));
}

void ExeScr::filesort_exec()
{
    const int64_t operand = ip->i;
    ++ip;
    const int32_t column = cmdargs::toi32(popd());
    const bool ascending = cmdargs::toi32(popd()) == 1;
    FilePointer& fp = fpoperand(operand);
    if (fp.lb.lines.empty())
        return;
    // A line shorter than the column compares as the empty text; a negative
    // column is the line's start.
    const size_t col = column < 0 ? 0 : static_cast<size_t>(column);
    auto key = [col](const wchar_t* line) { return wcsnlen(line, col) < col ? L"" : line + col; };
    if (ascending)
        std::sort(fp.lb.lines.begin(), fp.lb.lines.end(),
                  [&](const wchar_t* a, const wchar_t* b) { return wcscmp(key(a), key(b)) < 0; });
    else
        std::sort(fp.lb.lines.begin(), fp.lb.lines.end(),
                  [&](const wchar_t* a, const wchar_t* b) { return wcscmp(key(a), key(b)) > 0; });
}

// ---- whole-text mode

void ExeScr::fspread_exec()
{
    const int64_t operand = ip->i;
    ++ip;
    FilePointer& fp = fpoperand(operand);
    if (!wholemode(fp))
        myerrexit(L"%s", badpointer);
    datscell* s = pushs();
    s->text = fp.lb.text;
}

void ExeScr::fsdread_exec()
{
    const int64_t operand = ip->i;
    ++ip;
    const int32_t pos = cmdargs::toi32(popd());
    FilePointer& fp = fpoperand(operand);
    if (!wholemode(fp))
        myerrexit(L"%s", badpointer);
    if (static_cast<uint32_t>(pos) >= fp.lb.used)
        myerrexit(L"%s %d", badposition, pos);
    pushint(static_cast<int64_t>(fp.lb.text[pos]));
}

// ---- binary

void ExeScr::fbread_exec()
{
    const int64_t operand = ip->i;
    ++ip;
    const int32_t pos = cmdargs::toi32(popd());
    FilePointer& fp = fpoperand(operand);
    if (!binarymode(fp))
        myerrexit(L"%s", badpointer);
    if (pos < 0 || static_cast<uint32_t>(pos) >= fp.lb.bytecount)
        myerrexit(L"%s %d", badposition, pos);
    const auto* bytes = reinterpret_cast<const unsigned char*>(fp.lb.text) + pos;
    const uint32_t n = std::min(accesssize(operand), fp.lb.bytecount - static_cast<uint32_t>(pos));
    uint32_t value = 0;
    for (uint32_t k = 0; k < n; ++k)
        value |= static_cast<uint32_t>(bytes[k]) << (8 * k);
    pushint(value);
}

void ExeScr::fbwrite_exec()
{
    const int64_t operand = ip->i;
    ++ip;
    const uint64_t value = static_cast<uint64_t>(cmdargs::toi64(popd()));
    const int32_t pos = cmdargs::toi32(popd());
    FilePointer& fp = fpoperand(operand);
    if (!binarymode(fp))
        myerrexit(L"%s:%s:\n", badpointer, fp.name);
    LineBuf& lb = fp.lb;
    if (pos < -1 || (pos >= 0 && static_cast<uint32_t>(pos) >= lb.bytecount))
        myerrexit(L"%s %d", badposition, pos);
    const uint32_t size = accesssize(operand);
    const uint32_t at = pos == -1 ? lb.bytecount : static_cast<uint32_t>(pos);
    // Every store has 4 bytes of room; the buffer doubles (128 bytes first).
    const uint64_t need = static_cast<uint64_t>(at) + 4;
    if (lb.cap < need) {
        uint64_t cap = lb.cap == 0 ? 128 : static_cast<uint64_t>(lb.cap) * 2;
        while (cap < need)
            cap *= 2;
        if (cap > UINT32_MAX)
            mymallocfail(cap, fbytesid);
        auto* block = static_cast<unsigned char*>(mymalloc2(cap, fbytesid));
        if (lb.text) {
            memcpy(block, lb.text, lb.bytecount);
            myfree(lb.text, static_cast<int32_t>(lb.textid));
        }
        lb.text = reinterpret_cast<wchar_t*>(block);
        lb.textid = fbytesid;
        lb.cap = static_cast<uint32_t>(cap);
    }
    auto* bytes = reinterpret_cast<unsigned char*>(lb.text) + at;
    for (uint32_t k = 0; k < size; ++k)
        bytes[k] = static_cast<unsigned char>(value >> (8 * k));
    // Bytes stored past the end belong to the file from now on.
    lb.bytecount = std::max(lb.bytecount, at + size);
    pushint(1);
}

// ---- front ends

void ExeScr::fread_comp(wchar_t* args) { fpnum_comp(args, &ExeScr::fread_exec); }

void ExeScr::fwrite_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count != 2 && count != 3)
        comperr(L"the number of argument mismatch.");
    if (count == 3) {
        wchar_t* index = args + mypop();
        // Only the first character is looked at: any expression that begins
        // with "d" selects the direct write.
        if (*textscan::skipblank(index) == L'd')
            emitpushint(-2);
        else
            argnum(index);
    } else {
        emitpushint(-1);
    }
    nextstr(args);
    fpcell_comp(&ExeScr::fwrite_exec, args + mypop());
}

void ExeScr::fdel_comp(wchar_t* args) { fpnum_comp(args, &ExeScr::fdel_exec); }

void ExeScr::getfilelinecnt_comp(wchar_t* args)
{
    fpcell_comp(&ExeScr::getfilelinecnt_exec, args);
}

void ExeScr::filesort_comp(wchar_t* args)
{
    if (splitargs(args) != 3)
        comperr(L"the number of argument mismatch.");
    emitpushint(*textscan::skipblank(args + mypop()) == L'a' ? 1 : 0);
    nextnum(args);
    fpcell_comp(&ExeScr::filesort_exec, args + mypop());
}

void ExeScr::fspread_comp(wchar_t* args)
{
    if (splitargs(args) != 1)
        comperr(L"the number of argument mismatch.");
    fpcell_comp(&ExeScr::fspread_exec, args + mypop());
}

void ExeScr::fsdread_comp(wchar_t* args) { fpnum_comp(args, &ExeScr::fsdread_exec); }

void ExeScr::fbytes_comp(wchar_t* args, execfn op)
{
    const wchar_t* word = textscan::skipblank(args + mypop());
    const uint32_t size = *word == L'1' ? 2 : *word == L'2' ? 4 : 1;
    fpcell_comp(op, args + mypop(), size);
}

void ExeScr::fbread_comp(wchar_t* args)
{
    if (splitargs(args) != 3)
        comperr(L"the number of argument mismatch.");
    nextnum(args);
    fbytes_comp(args, &ExeScr::fbread_exec);
}

void ExeScr::fbwrite_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count != 3 && count != 4)
        comperr(L"the number of argument mismatch.");
    if (count == 4)
        nextnum(args);
    else
        emitpushint(-1);
    nextnum(args);
    fbytes_comp(args, &ExeScr::fbwrite_exec);
}
