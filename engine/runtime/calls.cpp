// User-function calls, the script's arguments, and the message polls that keep
// a running script's window answering.
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"

void ExeScr::usercall_exec()
{
    calluser();
}

void ExeScr::pushframe(const funcrec& f, int32_t first, bool undefined)
{
    const int32_t n = f.localnames.count() - first;
    if (n > 0 && !pushblanklocals(n, undefined))
        for (int32_t k = 0; k < n; ++k) {
            pushlocal(0.0, 0, nullptr, localint);  // grows the stack
            if (undefined)
                stackdd.top[-1].state = varundef;
        }
    // Most functions have no local file pointers or directory handles.
    if (f.fpnames.base)
        for (int32_t k = 0; k < f.fpnames.count(); ++k)
            fppushlocal(f.fpnames.base[k].name);
    if (f.dirnames.base)
        for (int32_t k = 0; k < f.dirnames.count(); ++k)
            dirpushlocal(f.dirnames.base[k].name);
}

void ExeScr::popframe(const funcrec& f)
{
    poplocals(f.localnames.count());
    if (f.fpnames.base)
        fppoplocal(f.fpnames.count());
    if (f.dirnames.base)
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

DWORD msgwait(DWORD count, const HANDLE* handles, DWORD timeout)
{
    static std::atomic<DWORD> mask{0x1DFF};
    const DWORD wide = mask;
    const DWORD r = MsgWaitForMultipleObjectsEx(count, handles, timeout, wide, MWMO_INPUTAVAILABLE);
    if (r != WAIT_FAILED || wide == (QS_ALLINPUT | QS_ALLPOSTMESSAGE))
        return r;
    mask = QS_ALLINPUT | QS_ALLPOSTMESSAGE;
    return MsgWaitForMultipleObjectsEx(count, handles, timeout, mask, MWMO_INPUTAVAILABLE);
}

DWORD ExeScr::pumpwait(DWORD count, const HANDLE* events)
{
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const DWORD r = msgwait(count, events, INFINITE);
        if (r != WAIT_OBJECT_0 + count)
            return r;
    }
}
