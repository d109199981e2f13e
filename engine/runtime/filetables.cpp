// File-pointer and directory-handle tables, and the line buffer of an open file.
#include <cwchar>
#include <functional>

#include "runtime/exescr.h"

namespace {

template <class Rec>
void copyname(Rec& r, const wchar_t* name)
{
    size_t n = wcsnlen(name, Rec::namemax);
    wmemcpy(r.name, name, n);
    r.name[n] = 0;
}

template <class Rec>
uint32_t findorappend(std::vector<Rec>& table, const wchar_t* name)
{
    for (size_t k = 0; k < table.size(); ++k)
        if (wcsncmp(table[k].name, name, Rec::namemax) == 0)
            return static_cast<uint32_t>(k);
    table.emplace_back();
    copyname(table.back(), name);
    return static_cast<uint32_t>(table.size() - 1);
}

// Closes the record's file, if one is open, and marks the handle invalid.
void closefile(FilePointer& fp)
{
    if (fp.hfile != INVALID_HANDLE_VALUE && fp.hfile != nullptr)
        CloseHandle(fp.hfile);
    fp.hfile = INVALID_HANDLE_VALUE;
}

// Whether p lies inside the block [base, base + chars].
bool inside(const wchar_t* p, const wchar_t* base, size_t chars)
{
    return base && std::less_equal<const wchar_t*>()(base, p) &&
           std::less_equal<const wchar_t*>()(p, base + chars);
}

}  // namespace

uint32_t ExeScr::fpfind(const wchar_t* name) { return findorappend(fpglobal, name); }

uint32_t ExeScr::dirfind(const wchar_t* name) { return findorappend(dirglobal, name); }

void ExeScr::fppushlocal(const wchar_t* name)
{
    fplocal.emplace_back();
    copyname(fplocal.back(), name);
}

void ExeScr::dirpushlocal(const wchar_t* name)
{
    dirlocal.emplace_back();
    copyname(dirlocal.back(), name);
}

void ExeScr::fprelease(FilePointer& fp)
{
    if (fp.lb.text)
        myfree(fp.lb.text, static_cast<int32_t>(fp.lb.textid));
    fp.lb.text = nullptr;
    fp.lb.cap = 0;
    fp.lb.used = 0;
    fp.lb.lines.clear();
    if (fp.pathheap)
        myfree(fp.pathheap, static_cast<int32_t>(fp.pathheapid));
    if (fp.path == fp.pathheap)
        fp.path = nullptr;
    fp.pathheap = nullptr;
    closefile(fp);
    fp.open = 0;
}

void ExeScr::fppoplocal(int32_t count)
{
    if (count <= 0)
        return;
    if (fplocal.size() < static_cast<size_t>(count))
        myerrexit(L"filepointer buffer Stack underflow error.");
    for (int32_t k = 0; k < count; ++k)
        fprelease(fplocal[fplocal.size() - 1 - static_cast<size_t>(k)]);
    fplocal.resize(fplocal.size() - static_cast<size_t>(count));
}

void ExeScr::dirpoplocal(int32_t count)
{
    if (count <= 0)
        return;
    if (dirlocal.size() < static_cast<size_t>(count))
        myerrexit(L"Directory buffer Stack underflow error.");
    dirlocal.resize(dirlocal.size() - static_cast<size_t>(count));
}

void ExeScr::fpfreeall()
{
    for (FilePointer& fp : fpglobal) {
        if (fp.open == 1)
            fprelease(fp);
        else
            closefile(fp);
    }
    std::vector<FilePointer>().swap(fpglobal);
}

void ExeScr::fpfreelocal()
{
    for (FilePointer& fp : fplocal)
        fprelease(fp);
    std::vector<FilePointer>().swap(fplocal);
}

void ExeScr::dirfreeall() { std::vector<DirHandle>().swap(dirglobal); }

void ExeScr::dirfreelocal() { std::vector<DirHandle>().swap(dirlocal); }

void ExeScr::linebuf_at(LineBuf* lb, int32_t index)
{
    const int32_t count = static_cast<int32_t>(lb->lines.size());
    if (index < 0 || index >= count)
        myerrexit(L"%s: num=%d, max=%d", L"number of position is invalid", index, count);
    wchar_t* line = lb->lines[static_cast<size_t>(index)];
    const size_t n = wcslen(line) + 1;
    wchar_t* end = lb->text + lb->used;  // the NUL behind the used text
    wmemmove(line, line + n, static_cast<size_t>(end - (line + n)) + 1);
    lb->lines.erase(lb->lines.begin() + index);
    for (wchar_t*& p : lb->lines)
        if (p > line)
            p -= n;
    lb->used -= static_cast<uint32_t>(n);
}

void ExeScr::linebuf_insertptr(LineBuf* lb, wchar_t* line, int32_t index)
{
    const int32_t count = static_cast<int32_t>(lb->lines.size());
    if (index < -1 || index > count)
        myerrexit(L"%s: num=%d, max=%d", L"number of position is invalid", index, count);
    if (index == -1)
        lb->lines.push_back(line);
    else
        lb->lines.insert(lb->lines.begin() + index, line);
}

void ExeScr::linebuf_insertstr(LineBuf* lb, const wchar_t* text, int32_t index)
{
    const int32_t count = static_cast<int32_t>(lb->lines.size());
    if (index < -1 || index > count)
        myerrexit(L"%s: num=%d, max=%d", L"number of position is invalid", index, count);
    // A text that lies in the buffer itself (a line of this file) would move
    // under the copy: take it out first.
    std::wstring own;
    if (inside(text, lb->text, lb->cap)) {
        own = text;
        text = own.c_str();
    }
    const size_t n = wcslen(text) + 1;
    const size_t need = lb->used + n;
    if (need > (UINT32_MAX - 1) / 2)  // the capacity 2 x need would not fit
        mymallocfail((2 * static_cast<uint64_t>(need) + 1) * sizeof(wchar_t), linebufid);
    if (lb->cap < need) {
        wchar_t* block = static_cast<wchar_t*>(mymalloc2((2 * need + 1) * sizeof(wchar_t), linebufid));
        if (lb->text) {
            wmemcpy(block, lb->text, lb->used + 1);
            for (wchar_t*& p : lb->lines)
                p = block + (p - lb->text);
            myfree(lb->text, static_cast<int32_t>(lb->textid));
        } else {
            block[0] = 0;
        }
        lb->text = block;
        lb->textid = linebufid;
        lb->cap = static_cast<uint32_t>(2 * need);
    }
    if (index == -1 || index == count) {
        wchar_t* at = lb->text + lb->used;
        wmemcpy(at, text, n);
        at[n] = 0;  // the NUL behind the used text
        lb->lines.push_back(at);
    } else {
        wchar_t* p = lb->lines[static_cast<size_t>(index)];
        wchar_t* end = lb->text + lb->used;
        wmemmove(p + n, p, static_cast<size_t>(end - p) + 1);
        wmemcpy(p, text, n);
        for (wchar_t*& q : lb->lines)
            if (q >= p)
                q += n;
        linebuf_insertptr(lb, p, index);
    }
    lb->used += static_cast<uint32_t>(n);
}
