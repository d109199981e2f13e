// The argument splitter every front end shares, and the compiling of single
// arguments and sub-command words.
#include <cstring>
#include <cwchar>

#include "compiler/textscan.h"
#include "runtime/exescr.h"

wchar_t* ExeScr::skipargliteral(wchar_t* p)
{
    const wchar_t quote = *p;
    for (wchar_t* q = p + 1;; ++q) {
        if (*q == 0)
            comperr2(L"no end mark of string.", p + 1);
        if (quote == L'"' && *q == L'\\') {
            if (q[1] == 0)
                comperr2(L"no end mark of string.", p + 1);
            ++q;  // the escaped character, whatever it is
        } else if (*q == quote) {
            if (quote == L'\'' && q[1] == L'\'')
                ++q;  // a doubled single quote stands for one
            else
                return q;
        }
    }
}

int32_t ExeScr::splitargs(wchar_t* text, int32_t maxargs)
{
    int32_t count = 1;
    mypush(0);
    int depth = 0;
    for (wchar_t* p = text; *p; ++p) {
        switch (*p) {
        case L'(':
            ++depth;
            break;
        case L')':
            --depth;  // may go below zero: only depth 0 splits
            break;
        case L'"':
        case L'\'':
            p = skipargliteral(p);
            break;
        case L'/':
            if (p[1] == L'*') {
                wchar_t* end = wcsstr(p + 2, L"*/");
                if (!end)
                    comperr2(L"no */ for the comment.", p + 2);
                p = end + 1;
            }
            break;
        case L',':
            if (depth == 0 && count != maxargs) {
                *p = 0;
                ++count;
                mypush(static_cast<int32_t>(p + 1 - text));
            }
            break;
        default:
            break;
        }
    }
    return count;
}

void ExeScr::argnum(wchar_t* text)
{
    if (!compscr(text, 1))
        comperr(L"invalid number error.");
}

void ExeScr::argstr(wchar_t* text)
{
    if (!compscr(text, 2))
        comperr(L"invalid string.");
}

void ExeScr::nextnum(wchar_t* text)
{
    argnum(text + mypop());
}

void ExeScr::nextstr(wchar_t* text)
{
    argstr(text + mypop());
}

void ExeScr::fixedargs_comp(wchar_t* args, const char* kinds, execfn op)
{
    const auto count = static_cast<int32_t>(strlen(kinds));
    if (count == 1) {
        if (kinds[0] == 'n')
            argnum(args);
        else
            argstr(args);
    } else {
        if (splitargs(args) != count)
            comperr(L"the number of argument mismatch.");
        for (int32_t k = count - 1; k >= 0; --k) {
            if (kinds[k] == 'n')
                nextnum(args);
            else
                nextstr(args);
        }
    }
    emitcell(op);
}

int32_t ExeScr::subcommand(wchar_t* text, const subword* words, bool detail)
{
    const wchar_t* word = textscan::trimblanks(text);
    if (!*word)
        comperr(L"invalid name.");
    for (const subword* w = words; w->word; ++w)
        if (wcscmp(w->word, word) == 0)
            return w->code;
    if (detail)
        comperr2(L"Not supported parameter.", word);
    comperr(L"Not supported parameter.");
}

void ExeScr::arglist_comp(wchar_t* step)
{
    int depth = 0;
    wchar_t* close = step;
    for (;; ++close) {
        if (*close == 0 || *close == L'\n')
            comperr(L"missing ).");
        if (*close == L'"' || *close == L'\'')
            close = skipargliteral(close);
        else if (*close == L'(')
            ++depth;
        else if (*close == L')' && depth-- == 0)
            break;
    }
    const wchar_t saved = *close;
    *close = 0;
    // The step is compiled where its loop ends; its errors belong to the header's line.
    // The token that ended the loop's body may be examined again after it (the
    // one after an if, which decides about else): its values must stay its own.
    wchar_t** outer = srccursor;
    const tokenvalues pending = lasttoken();
    wchar_t* at = step;
    srccursor = &at;
    wchar_t* text = textscan::skipblank(step);
    if (*text) {
        if (!compscr(text, 1))
            comperr(L"invalid number error.");
        discardnum();
    }
    srccursor = outer;
    restoretoken(pending);
    *close = saved;
}

void ExeScr::destvar_comp(wchar_t* text)
{
    wchar_t* name = textscan::trimblanks(text);
    if (!textscan::asciiletter(*name))
        comperr(L"invalid name.");
    if (wcschr(name, L'[')) {
        arrayidx_comp(name);
        return;
    }
    int32_t index = findlocalvar(name);
    if (index == 0)
        index = declvar(name, 0);
    emitcell(&ExeScr::pushvaridx_exec);
    emitint(index);
}
