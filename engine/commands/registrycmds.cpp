// Registry commands: string values under the six predefined roots.
#include <cwchar>
#include <string>

#include "runtime/exescr.h"
#include "runtime/owners.h"

namespace {

// Heap id of a value longer than a datum's inline room.
constexpr int32_t regvalueid = 2230;

// The popped arguments of one registry command.
struct regargs {
    std::wstring root, path, name, text;
};

regargs popregargs(ExeScr& e, bool withtext)
{
    regargs a;
    std::wstring* fields[4] = {&a.root, &a.path, &a.name, &a.text};
    for (int k = 0; k < (withtext ? 4 : 3); ++k) {
        datscell* c = e.pops();
        *fields[k] = e.datstext(c);
        e.datsrelease(c);
    }
    return a;
}

}  // namespace

HKEY ExeScr::regroot(const wchar_t* root)
{
    static const struct {
        const wchar_t* text;
        HKEY key;
    } roots[] = {
        {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},         {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},       {L"HKEY_USERS", HKEY_USERS},
        {L"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA}, {L"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    };
    for (const auto& r : roots)
        if (wcscmp(r.text, root) == 0)
            return r.key;
    myerrexit(L"invalid root string : %s", root);
}

void ExeScr::regoutcome(bool ok)
{
    if (logheard())
        mylogmsg(ok ? L"Success. \n" : L"Fail. \n");
}

void ExeScr::regaddstr_exec()
{
    const regargs a = popregargs(*this, true);
    HKEY root = regroot(a.root.c_str());
    if (logheard())
        mylogmsg(L"regaddstr: root:%s path:%s: key:%s: str:%s:", a.root.c_str(), a.path.c_str(), a.name.c_str(),
                 a.text.c_str());
    owners::regkey k;
    DWORD disposition = 0;
    bool ok = RegCreateKeyExW(root, a.path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              k.put(), &disposition) == ERROR_SUCCESS;
    // The characters alone, without a terminating NUL; "reggetstr" ends them itself.
    ok = ok && RegSetValueExW(k.get(), a.name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(a.text.c_str()),
                              static_cast<DWORD>(a.text.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
    regoutcome(ok);
}

void ExeScr::reggetstr_exec()
{
    const regargs a = popregargs(*this, false);
    HKEY root = regroot(a.root.c_str());
    if (logheard())
        mylogmsg(L"reggetstr: root:%s path:%s: key:%s:", a.root.c_str(), a.path.c_str(), a.name.c_str());
    datscell* result = pushs();
    owners::regkey k;
    if (RegOpenKeyExW(root, a.path.c_str(), 0, KEY_READ, k.put()) != ERROR_SUCCESS) {
        regoutcome(false);
        return;
    }
    // First into the datum's inline room; a longer value into a heap buffer of
    // its size, asked again while it grows between the two reads.
    BYTE* buf = reinterpret_cast<BYTE*>(result->inl);
    DWORD room = datsinline * sizeof(wchar_t);
    DWORD size = room;
    DWORD type = 0;
    LSTATUS r = RegQueryValueExW(k.get(), a.name.c_str(), nullptr, &type, buf, &size);
    for (int tries = 0; r == ERROR_MORE_DATA && tries < 8; ++tries) {
        const uint64_t chars = (static_cast<uint64_t>(size) + 2) / 2 + 1;
        if (result->heap)
            myfree(result->heap, result->heapid);
        result->heap = static_cast<wchar_t*>(mymalloc2(chars * sizeof(wchar_t), regvalueid));
        result->heapid = regvalueid;
        result->text = result->heap;
        buf = reinterpret_cast<BYTE*>(result->heap);
        room = static_cast<DWORD>((chars - 1) * sizeof(wchar_t));
        size = room;
        r = RegQueryValueExW(k.get(), a.name.c_str(), nullptr, &type, buf, &size);
    }
    if (r != ERROR_SUCCESS) {
        if (result->heap)
            myfree(result->heap, result->heapid);
        result->heap = nullptr;
        result->text = nullptr;
        result->heapid = 0;
        result->inl[0] = 0;
        regoutcome(false);
        return;
    }
    // Ended after the bytes read, whether the value carried its own NUL or not.
    buf[size] = 0;
    buf[size + 1] = 0;
    if (result->heap)
        result->cap = static_cast<int32_t>(wcslen(result->heap));
    regoutcome(true);
}

void ExeScr::regdel_exec()
{
    const regargs a = popregargs(*this, false);
    HKEY root = regroot(a.root.c_str());
    if (logheard())
        mylogmsg(L"regdel: root:%s path:%s: key:%s:", a.root.c_str(), a.path.c_str(), a.name.c_str());
    owners::regkey k;
    const bool ok = RegOpenKeyExW(root, a.path.c_str(), 0, KEY_ALL_ACCESS, k.put()) == ERROR_SUCCESS &&
                    RegDeleteValueW(k.get(), a.name.c_str()) == ERROR_SUCCESS;
    regoutcome(ok);
}

// ---- front ends

void ExeScr::regaddstr_comp(wchar_t* args) { fixedargs_comp(args, "ssss", &ExeScr::regaddstr_exec); }

void ExeScr::reggetstr_comp(wchar_t* args) { fixedargs_comp(args, "sss", &ExeScr::reggetstr_exec); }

void ExeScr::regdel_comp(wchar_t* args) { fixedargs_comp(args, "sss", &ExeScr::regdel_exec); }

