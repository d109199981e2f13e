// The front ends that belong to the compiler itself: "num", "str", "iadd",
// "getargument", "getcallargument", "threadctl" and the monitor rectangles.
#include <cwchar>

#include "compiler/textscan.h"
#include "runtime/exescr.h"

namespace {

const ExeScr::subword monitorsides[] = {
    {L"left", 1}, {L"top", 2}, {L"right", 3}, {L"bottom", 4}, {nullptr, 0}};

const ExeScr::subword threadctlwords[] = {{L"join", 0},  {L"sendkey", 1}, {L"isalive", 2}, {L"eachjoin", 3},
                                          {L"alljoin", 4}, {L"count", 5},   {L"switch", 6},  {nullptr, 0}};

}  // namespace

void ExeScr::num_comp(wchar_t* args)
{
    if (splitargs(args) != 1)
        myerrexit(L"%s", L"the number of argument mismatch.");
    nextnum(args);
}

void ExeScr::str_comp(wchar_t* args)
{
    if (splitargs(args) != 1)
        myerrexit(L"%s", L"the number of argument mismatch.");
    nextstr(args);
}

void ExeScr::iadd_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    nextnum(args);
    nextnum(args);
    emitcell(&ExeScr::iadd_exec);
}

void ExeScr::getargument_comp(wchar_t* args)
{
    argnum(args);
    emitcell(&ExeScr::getargument_exec);
}

void ExeScr::getcallargument_comp(wchar_t* args)
{
    argnum(args);
    emitcell(&ExeScr::getcallargument_exec);
}

void ExeScr::threadctl_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    // The word is the first argument, whose offset is 0 and is taken back last.
    const int32_t code = subcommand(args, threadctlwords);
    const int32_t want = code == 1 ? 3 : (code == 0 || code == 2) ? 2 : 1;
    if (count != want)
        comperr(L"the number of argument mismatch.");
    for (int32_t k = 1; k < count; ++k)
        nextnum(args);
    mypop();
    emitcell(&ExeScr::threadctl_exec);
    emitint(code);
}

void ExeScr::monrect_comp(wchar_t* args)
{
    if (splitargs(args) != 2)
        comperr(L"the number of argument mismatch.");
    const int32_t side = subcommand(args + mypop(), monitorsides, true);
    nextnum(args);
    emitcell(&ExeScr::monrect_exec);
    emitint(side);
}

void ExeScr::monrectidx_comp(wchar_t* word)
{
    word = textscan::trimblanks(word);
    wchar_t* close = wcsrchr(word, L']');
    if (!close || close < word + 8)
        comperr(L"Cannot find ] error");
    *close = 0;
    argnum(word + 8);
    // One separator character stands between "]" and the side word.
    wchar_t* side = close[1] ? close + 2 : close + 1;
    const int32_t code = subcommand(side, monitorsides, true);
    emitcell(&ExeScr::monrect_exec);
    emitint(code);
}
