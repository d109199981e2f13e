// User-function calls, the script's arguments, and the message polls that keep
// a running script's window answering.
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"

void ExeScr::usercall_exec()
{
    const int32_t func = static_cast<int32_t>(ip->i);
    // An index, not a pointer: the code list may move while the function runs.
    const ptrdiff_t back = ip + 1 - code;
    if (calldepth >= maxcalldepth)
        myerrexit(L"Function calls nested too deeply.:%d:", maxcalldepth);
    ++calldepth;
    const uint32_t savedbase = unitbase;
    const int32_t savedfunc = curfunc;
    curfunc = func;
    const funcrec& f = functable[static_cast<size_t>(func)];
    unitbase = static_cast<uint32_t>(f.codestart);
    pushframe(f, static_cast<int32_t>(f.paramcount), true);
    runcode(unitbase);
    // By index again: a "call" inside may have grown the table meanwhile.
    popframe(functable[static_cast<size_t>(func)]);
    unitbase = savedbase;
    curfunc = savedfunc;
    --calldepth;
    ip = code + back;
}

void ExeScr::pushframe(const funcrec& f, int32_t first, bool undefined)
{
    for (int32_t k = first; k < f.localnames.count(); ++k) {
        pushlocal(0.0, 0, nullptr, localint);
        if (undefined)
            stackdd.top[-1].state = varundef;
    }
    for (int32_t k = 0; k < f.fpnames.count(); ++k)
        fppushlocal(f.fpnames.base[k].name);
    for (int32_t k = 0; k < f.dirnames.count(); ++k)
        dirpushlocal(f.dirnames.base[k].name);
}

void ExeScr::popframe(const funcrec& f)
{
    poplocals(f.localnames.count());
    fppoplocal(f.fpnames.count());
    dirpoplocal(f.dirnames.count());
}

void ExeScr::pushlistentry(const std::vector<std::wstring>& list, uint32_t n)
{
    datscell* s = pushs();
    if (n < list.size())
        s->text = const_cast<wchar_t*>(list[n].c_str());  // the run's own list outlives the datum
}

void ExeScr::getargument_exec()
{
    pushlistentry(args, static_cast<uint32_t>(cmdargs::toi32(popd())));
}

void ExeScr::getcallargument_exec()
{
    pushlistentry(callargs, static_cast<uint32_t>(cmdargs::toi32(popd())));
}

void ExeScr::pollmessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

DWORD ExeScr::pumpwait(DWORD count, const HANDLE* events)
{
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const DWORD r = MsgWaitForMultipleObjectsEx(count, events, INFINITE, QS_ALLINPUT | QS_ALLPOSTMESSAGE,
                                                    MWMO_INPUTAVAILABLE);
        if (r != WAIT_OBJECT_0 + count)
            return r;
    }
}
