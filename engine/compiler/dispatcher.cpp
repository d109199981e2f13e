// The dispatcher of built-in words: looks a word up in the word table and
// compiles it by its entry, or as a call of a user function of the current
// module.
#include <cwchar>

#include "compiler/textscan.h"
#include "compiler/wordtable.h"
#include "runtime/exescr.h"

namespace {

bool matches(const wordentry& e, const wchar_t* word)
{
    if (e.action == wordaction::forheader)
        return wcsncmp(word, L"for", 3) == 0 && (word[3] == 0 || textscan::blank(word[3]));
    if (e.prefix)
        return wcsncmp(word, e.word, static_cast<size_t>(e.prefix)) == 0;
    return wcscmp(word, e.word) == 0;
}

// The call's copy: inline up to 128 characters, else a tracked block (id 50)
// given back on every way out that returns.
class callcopy {
public:
    callcopy(ExeScr& e, const wchar_t* text, int32_t calllen) : e(e)
    {
        if (calllen > 128)
            buf = static_cast<wchar_t*>(e.mymalloc2(sizeof(wchar_t) * (static_cast<uint64_t>(calllen) + 1), 50));
        wmemcpy(buf, text, static_cast<size_t>(calllen));
        buf[calllen] = 0;
    }
    ~callcopy()
    {
        if (buf != inl)
            e.myfree(buf, 50);
    }
    callcopy(const callcopy&) = delete;
    callcopy& operator=(const callcopy&) = delete;
    wchar_t* text() { return buf; }

private:
    ExeScr& e;
    wchar_t inl[129];
    wchar_t* buf = inl;
};

}  // namespace

int32_t ExeScr::compcommand(wchar_t* text, int32_t namelen, int32_t calllen)
{
    callcopy copy(*this, text, calllen);
    wchar_t* word = copy.text();
    // The word, a NUL where its "(" stood, then the argument text.
    word[namelen] = 0;
    wchar_t* args = namelen < calllen ? word + namelen + 1 : word + namelen;

    const wordrange range = wordsof(word[0]);
    for (const wordentry* e = range.first; e && e != range.last; ++e) {
        if (!matches(*e, word))
            continue;
        switch (e->action) {
        case wordaction::pending:
            break;  // not built yet: a user function may still carry the name
        case wordaction::frontend:
            (this->*e->front)(args);
            return e->result;
        case wordaction::frontword:
            (this->*e->front)(word);
            return e->result;
        case wordaction::variant:
            (this->*e->frontv)(args, static_cast<int32_t>(e->operand));
            return e->result;
        case wordaction::emit:
            emitcell(e->op);
            if (e->hasoperand)
                emitint(static_cast<int32_t>(e->operand));
            return e->result;
        case wordaction::enginetext:
            emitcell(&ExeScr::pushint_exec);
            emitint(static_cast<int32_t>(e->operand));
            emitcell(&ExeScr::engstr_exec);
            return e->result;
        case wordaction::declaration:
            return e->result;  // the loader has read it
        case wordaction::forheader: {
            const int32_t step = for_comp(args);
            // The step is compiled when the loop closes, from the source itself.
            forstep = text + namelen + 1 + step;
            return e->result;
        }
        case wordaction::argword:
            emitcell(e->op);
            emitint(argdigits(word + e->prefix));
            return e->result;
        }
        break;
    }

    // A user function of the module being compiled.
    if (!functable.empty()) {
        const uint32_t module =
            curfunc >= 0 && static_cast<size_t>(curfunc) < functable.size() ? functable[curfunc].module : 0;
        for (size_t k = 0; k < functable.size(); ++k) {
            const funcrec& f = functable[k];
            if (f.module == module && samesymbol(f.name, word, wcslen(word))) {
                usercall_compile(static_cast<int32_t>(k), args);
                return f.functstr ? 2 : 1;
            }
        }
    }
    // Only a compile has a source line to name; text compiled at run time has none.
    if (compiling == 1 && srccursor)
        myerrexit(L"%s:%s at line %d", L"Not supported function call.", word, lineofsrc(*srccursor));
    myerrexit(L"%s:%s", L"Not supported function call.", word);
}
