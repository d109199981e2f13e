// Front ends of the words that shape a script's flow.
#include "runtime/exescr.h"

void ExeScr::usercall_compile(int32_t func, wchar_t* args)
{
    const funcrec& f = functable[static_cast<size_t>(func)];
    const auto params = static_cast<int32_t>(f.paramcount);
    if (params > 0) {
        if (splitargs(args, params) != params)
            comperr(L"cannot find , error.");
        for (int32_t k = params - 1; k >= 0; --k) {
            if (f.localnames.base[k].kind == 1)
                nextnum(args);
            else
                nextstr(args);
        }
        // The first parameter lies on top of its stack and goes first.
        for (int32_t k = 0; k < params; ++k) {
            const uint32_t kind = f.localnames.base[k].kind;
            if (kind == 1)
                emitcell(&ExeScr::callargnum_exec);
            else if (kind == 2)
                emitcell(&ExeScr::callargstr_exec);
            else
                comperr(L"Instruction type unknown: Numeric or String, use num() or str().");
        }
    }
    emitcell(&ExeScr::usercall_exec);
    emitint(func);
}
