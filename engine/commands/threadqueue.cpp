// Front ends of "threadstart" (arguments matched against the thread's
// declaration) and "queue" (process-wide queues of numbers).
#include <cwchar>

#include "compiler/textscan.h"
#include "runtime/exescr.h"

void ExeScr::threadstart_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    const wchar_t* name = textscan::trimblanks(args);
    const blockrec* block = nullptr;
    for (const blockrec& b : blocktable)
        if (samesymbol(b.name, name, wcslen(name))) {
            block = &b;
            break;
        }
    if (!block || block->params.count() != count - 1)
        comperr(L"the number of argument mismatch.");
    for (int32_t k = count - 1; k >= 1; --k) {
        if (block->params.base[k - 1].kind == 1)
            nextnum(args);
        else
            nextstr(args);
    }
    mypop();
    emitcell(&ExeScr::threadstart_exec);
    // The block table is complete before any body is compiled: the record stays put.
    emitptr(block);
}

void ExeScr::queue_comp(wchar_t* args)
{
    static const subword words[] = {{L"open", 0},     {L"close", 1},     {L"pop_top", 2}, {L"pop_back", 3},
                                    {L"push_back", 4}, {L"empty", 5},    {nullptr, 0}};
    const int32_t count = splitargs(args);
    const int32_t code = subcommand(args, words);
    const int32_t want = code == 0 ? 1 : code == 4 ? 3 : 2;
    if (count != want)
        comperr(L"the number of argument mismatch.");
    for (int32_t k = 1; k < count; ++k)
        nextnum(args);
    mypop();
    emitcell(&ExeScr::queue_exec);
    emitu64(static_cast<uint64_t>(code));
}
