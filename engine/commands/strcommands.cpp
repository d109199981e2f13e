// Runtimes of the string commands that search, compare, lower-case, trim and
// tokenise.
#include <cwchar>
#include <string>

#include "runtime/cmdargs.h"
#include "runtime/exescr.h"

namespace {

// Heap ids of the buffers made here.
constexpr int32_t tolowerid = 2101;
constexpr int32_t tokenlistid = 2102;
constexpr int32_t tokenbufid = 2103;
constexpr int32_t strtokstrid = 2104;

constexpr int32_t tokenfirst = 20;

// The fields of the search commands' packed operand.
uint32_t argcount(int64_t word) { return static_cast<uint32_t>(word >> 16) & 0xFFFFu; }
int32_t variant(int64_t word) { return static_cast<int32_t>(word >> 32); }

const wchar_t* tokentext(const ExeScr::tokencell& t) { return t.onheap ? t.heap : t.inl; }

}  // namespace

void ExeScr::strstr_exec()
{
    const int64_t word = ip->i;
    ++ip;
    datscell* hay = pops();
    datscell* needle = pops();
    // A negative start becomes a huge one and so lies beyond every text.
    uint32_t start = 0;
    if (argcount(word) == 3)
        start = static_cast<uint32_t>(cmdargs::toi64(popd()));
    const wchar_t* text = datstext(hay);
    int64_t result = -1;
    if (start != 0 && start > datstextlen(hay)) {  // (no text is shorter than a start of 0)
        if (logon == 1)
            mylogmsgforced(L"%s\n", L"invalid number error.");
    } else {
        const wchar_t* set = datstext(needle);
        const wchar_t* m = findtext(text + start, set, variant(word) != 0);
        if (m)
            result = m - text;
    }
    datsrelease(needle);
    datsrelease(hay);
    pushint(result);
}

void ExeScr::strchr_exec()
{
    const int64_t word = ip->i;
    ++ip;
    const int32_t code = cmdargs::toi32(popd());
    int64_t start = 0;
    if (argcount(word) == 3)
        start = cmdargs::toi32(popd());
    datscell* c = pops();
    const wchar_t* text = datstext(c);
    const int64_t len = static_cast<int64_t>(datstextlen(c));
    if (start < 0)
        start = 0;
    if (start > len)
        start = len;
    int64_t result = -1;
    // The character is the code's low 16 bits; 0 finds the terminator.
    const wchar_t ch = static_cast<wchar_t>(code & 0xFFFF);
    const wchar_t* m = variant(word) == 0 ? wcschr(text + start, ch) : wcsrchr(text + start, ch);
    if (m)
        result = m - text;
    datsrelease(c);
    pushint(result);
}

void ExeScr::strcmp_exec()
{
    const int64_t count = ip->i;
    ++ip;
    int32_t n = -1;
    if (count == 3)
        n = cmdargs::toi32(popd());
    datscell* a = pops();
    datscell* b = pops();
    // A negative count other than -1 would be a huge unsigned one: whole texts too.
    const int r = n < 0 ? wcscmp(datstext(a), datstext(b))
                        : wcsncmp(datstext(a), datstext(b), static_cast<size_t>(n));
    datsrelease(b);
    datsrelease(a);
    pushint(r < 0 ? -1 : (r > 0 ? 1 : 0));
}

void ExeScr::tolowerstr_exec()
{
    datscell* c = pops();
    std::wstring t = datstext(c);
    datsrelease(c);
    // ASCII only: scripts compare these texts with ASCII words, whatever the locale.
    for (wchar_t& ch : t)
        if (ch >= L'A' && ch <= L'Z')
            ch = static_cast<wchar_t>(ch | 0x20);
    pushstrtext(t.c_str(), t.size(), tolowerid);
}

void ExeScr::trim_exec()
{
    const int32_t index = static_cast<int32_t>(popd().i);
    varrec* v = varat(index);
    if (v->state != varstr)
        myerrexit(L"%s", L"invalid variable reference.");
    wchar_t* text = vartext(v);
    size_t n = vartextlen(v);
    while (n > 0 && (text[n - 1] == L'\n' || text[n - 1] == L'\r'))
        text[--n] = 0;
    settextlen(v, n);
}

void ExeScr::strtok_exec()
{
    // Copies: tokenising must not cut a variable's own text.
    datscell* c = pops();
    const std::wstring text = datstext(c);
    datsrelease(c);
    c = pops();
    const std::wstring delims = datstext(c);
    datsrelease(c);

    tokencount = 0;
    const wchar_t* p = text.c_str();
    const wchar_t* d = delims.c_str();
    for (;;) {
        p += wcsspn(p, d);
        if (*p == 0)
            break;
        const size_t n = wcscspn(p, d);
        if (tokencount == tokens.count()) {
            if (tokens.full())
                growbuf(tokens, tokenfirst, tokenlistid);
            tokencell* fresh = tokens.top++;
            fresh->inl[0] = 0;
            fresh->heap = nullptr;
            fresh->cap = 0;
            fresh->onheap = 0;
        }
        tokencell& t = tokens.base[tokencount++];
        wchar_t* dst = t.inl;
        t.onheap = 0;
        if (n > static_cast<size_t>(datsinline)) {
            if (static_cast<size_t>(t.cap) < n) {
                if (t.heap)
                    myfree(t.heap, tokenbufid);
                t.heap = static_cast<wchar_t*>(mymalloc2((n + 1) * sizeof(wchar_t), tokenbufid));
                t.cap = static_cast<int32_t>(n);
            }
            dst = t.heap;
            t.onheap = 1;
        }
        wmemcpy(dst, p, n);
        dst[n] = 0;
        p += n;
    }
    pushint(tokencount);
}

void ExeScr::strtokstr_exec()
{
    const int32_t k = cmdargs::toi32(popd());
    if (k < 0 || k >= tokencount) {
        pushs();
        return;
    }
    const wchar_t* t = tokentext(tokens.base[k]);
    pushstrtext(t, wcslen(t), strtokstrid);
}

void ExeScr::tokenlistfree()
{
    for (tokencell* t = tokens.base; t && t < tokens.top; ++t)
        if (t->heap)
            myfree(t->heap, tokenbufid);
    freebuf(tokens);
    tokencount = 0;
}

// ---- front ends

void ExeScr::strlen_comp(wchar_t* args)
{
    argstr(args);
    emitcell(&ExeScr::strlen_exec);
}

void ExeScr::tolowerstr_comp(wchar_t* args)
{
    argstr(args);
    emitcell(&ExeScr::tolowerstr_exec);
}

void ExeScr::strtokstr_comp(wchar_t* args)
{
    argnum(args);
    emitcell(&ExeScr::strtokstr_exec);
}

void ExeScr::getc_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    nextnum(args);
    nextstr(args);
    emitcell(&ExeScr::getc_exec);
}

void ExeScr::setc_comp(wchar_t* args)
{
    if (splitargs(args) != 3)
        comperr(L"the number of argument mismatch.");
    nextnum(args);
    nextnum(args);
    destvar_comp(args + mypop());
    emitcell(&ExeScr::setc_exec);
}

void ExeScr::cutstr_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count != 2 && count != 3)
        comperr(L"the number of argument mismatch.");
    for (int32_t k = 1; k < count; ++k)
        nextnum(args);
    nextstr(args);
    emitcell(&ExeScr::cutstr_exec);
    emitint(count);
}

// "strstr"/"strpbrk" (second argument a string) and "strchr"/"strrchr" (a
// character code): an optional start, then the first string.
void ExeScr::searchcomp(wchar_t* args, int32_t variant, bool secondisstring, execfn op)
{
    const int32_t count = splitargs(args);
    if (count != 2 && count != 3)
        comperr(L"the number of argument mismatch.");
    if (count == 3)
        nextnum(args);
    if (secondisstring)
        nextstr(args);
    else
        nextnum(args);
    nextstr(args);
    emitcell(op);
    emitu64((static_cast<uint64_t>(variant) << 32) | (static_cast<uint64_t>(count) << 16));
}

void ExeScr::strstr_comp(wchar_t* args, int32_t variant)
{
    searchcomp(args, variant, true, &ExeScr::strstr_exec);
}

void ExeScr::strchr_comp(wchar_t* args, int32_t variant)
{
    searchcomp(args, variant, false, &ExeScr::strchr_exec);
}

void ExeScr::strcmp_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    if (count != 2 && count != 3)
        comperr(L"the number of argument mismatch.");
    if (count == 3)
        nextnum(args);
    nextstr(args);
    nextstr(args);
    emitcell(&ExeScr::strcmp_exec);
    emitu64(static_cast<uint64_t>(count));
}

void ExeScr::trim_comp(wchar_t* args)
{
    if (splitargs(args) != 1)
        comperr(L"the number of argument mismatch.");
    destvar_comp(args + mypop());
    emitcell(&ExeScr::trim_exec);
}

void ExeScr::strtok_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    nextstr(args);
    nextstr(args);
    emitcell(&ExeScr::strtok_exec);
}
