// The built-in word dispatcher, reduced to the words that statements need:
// the "for" header, "return" and "retstr" with a value, and the declarations
// the loader has already read. Every other word is refused as an unsupported
// call; the command library's front ends plug in here.
#include <string>

#include "runtime/exescr.h"

namespace {

bool blankchar(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

wchar_t* skipblanks(wchar_t* p)
{
    while (blankchar(*p))
        ++p;
    return p;
}

// Past the quoted literal at `p`, or a compile error when it does not end.
wchar_t* skipquoted(ExeScr& e, wchar_t* p)
{
    const wchar_t quote = *p;
    for (wchar_t* q = p + 1;; ++q) {
        if (*q == 0)
            e.comperr2(L"no end mark of string.", p + 1);
        if (quote == L'"' && *q == L'\\') {
            if (q[1] == 0)
                e.comperr2(L"no end mark of string.", p + 1);
            ++q;
            continue;
        }
        if (*q == quote) {
            if (quote == L'\'' && q[1] == L'\'') {
                ++q;
                continue;
            }
            return q;
        }
    }
}

}  // namespace

int32_t ExeScr::compcommand(wchar_t* text, int32_t namelen, int32_t calllen)
{
    wchar_t inl[129];
    wchar_t* copy = inl;
    if (calllen > 128)
        copy = static_cast<wchar_t*>(mymalloc2(sizeof(wchar_t) * (static_cast<uint64_t>(calllen) + 1), 50));
    wmemcpy(copy, text, static_cast<size_t>(calllen));
    copy[calllen] = 0;
    copy[namelen] = 0;
    wchar_t* args = copy + namelen + 1;
    const std::wstring word(copy);
    auto done = [&](int32_t kind) {
        if (copy != inl)
            myfree(copy, 50);
        return kind;
    };

    if (word.compare(0, 3, L"for") == 0 && (word.size() == 3 || blankchar(word[3]))) {
        const int32_t off = for_comp(args);
        forstep = text + namelen + 1 + off;
        return done(14);
    }
    if (word == L"return") {
        return_comp(args);
        return done(3);
    }
    if (word == L"retstr") {
        retstr_comp(args);
        return done(3);
    }
    if (word == L"localvar" || word == L"localfp" || word == L"localdir")
        return done(3);  // declarations: the loader has read them

    // User-function calls are not compiled yet; neither are the library's words.
    myerrexit(L"%s:%s at line %d", L"Not supported function call.", word.c_str(),
              srccursor ? lineofsrc(*srccursor) : 0);
}

int32_t ExeScr::for_comp(wchar_t* header)
{
    wchar_t* parts[3] = {header, nullptr, nullptr};
    int32_t count = 1;
    int depth = 0;
    for (wchar_t* p = header; *p; ++p) {
        if (*p == L'"' || *p == L'\'') {
            p = skipquoted(*this, p);
        } else if (*p == L'(') {
            ++depth;
        } else if (*p == L')') {
            --depth;
        } else if (*p == L';' && depth == 0) {
            if (count == 3)
                comperr(L"the number of argument mismatch.");
            *p = 0;
            parts[count++] = p + 1;
        }
    }
    if (count != 3)
        comperr(L"the number of argument mismatch.");
    wchar_t* init = skipblanks(parts[0]);
    if (*init) {
        if (!compscr(init, 1))
            comperr(L"invalid number error.");
        discardnum();
    }
    forstart = codecount() - static_cast<int32_t>(unitbase);
    wchar_t* cond = skipblanks(parts[1]);
    if (*cond) {
        if (!compscr(cond, 1))
            comperr(L"invalid number error.");
    } else {
        emitcell(&ExeScr::pushint_exec);
        emitu64(1);
    }
    return static_cast<int32_t>(parts[2] - header);
}

void ExeScr::arglist_comp(wchar_t* step)
{
    int depth = 0;
    wchar_t* close = step;
    for (;; ++close) {
        if (*close == 0 || *close == L'\n')
            comperr(L"missing ).");
        if (*close == L'"' || *close == L'\'')
            close = skipquoted(*this, close);
        else if (*close == L'(')
            ++depth;
        else if (*close == L')' && depth-- == 0)
            break;
    }
    const wchar_t saved = *close;
    *close = 0;
    // The step is compiled where its loop ends; its errors belong to the header's line.
    wchar_t** outer = srccursor;
    wchar_t* at = step;
    srccursor = &at;
    wchar_t* text = skipblanks(step);
    if (*text) {
        if (!compscr(text, 1))
            comperr(L"invalid number error.");
        discardnum();
    }
    srccursor = outer;
    *close = saved;
}

static bool isfunctstr(const ExeScr& e)
{
    return e.curfunc >= 0 && static_cast<size_t>(e.curfunc) < e.functable.size() && e.functable[e.curfunc].functstr;
}

void ExeScr::return_comp(wchar_t* args)
{
    if (isfunctstr(*this))
        comperr(L"invalid return type error.");
    if (!compscr(args, 1))
        comperr(L"invalid number error.");
    emitcell(nullptr);
}

void ExeScr::retstr_comp(wchar_t* args)
{
    if (!isfunctstr(*this))
        comperr(L"invalid return type error.");
    if (!compscr(args, 2))
        comperr(L"invalid string.");
    emitcell(nullptr);
}
