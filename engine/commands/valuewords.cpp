// Value words: read like variables, each pushes one value and pops nothing.
#include <cwchar>

#include "compiler/textscan.h"
#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"

void ExeScr::argcnt_exec()
{
    const int64_t which = ip->i;
    ++ip;
    pushint(static_cast<int64_t>(which == 0 ? args.size() : callargs.size()));
}

void ExeScr::arg_exec()
{
    const auto n = static_cast<uint32_t>(ip->i);
    ++ip;
    pushlistentry(args, n);
}

void ExeScr::carg_exec()
{
    const auto n = static_cast<uint32_t>(ip->i);
    ++ip;
    pushlistentry(callargs, n);
}

void ExeScr::workarea_exec()
{
    const int64_t side = ip->i;
    ++ip;
    RECT r = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    const LONG edges[4] = {r.left, r.top, r.right, r.bottom};
    pushint(edges[side & 3]);
}

void ExeScr::is64bit_exec()
{
    SYSTEM_INFO info = {};
    GetNativeSystemInfo(&info);
    pushint(info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? 1 : 0);
}

void ExeScr::osversion_exec()
{
    static const DWORD versions[5][2] = {{5, 1}, {6, 0}, {6, 1}, {6, 2}, {10, 0}};
    const auto which = static_cast<uint32_t>(ip->i);
    ++ip;
    if (which > 4) {
        pushint(0);
        return;
    }
    OSVERSIONINFOEXW want = {};
    want.dwOSVersionInfoSize = sizeof want;
    want.dwMajorVersion = versions[which][0];
    want.dwMinorVersion = versions[which][1];
    want.wServicePackMajor = 0;
    const DWORD mask = VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR;
    DWORDLONG cond = 0;
    cond = VerSetConditionMask(cond, VER_MAJORVERSION, VER_GREATER_EQUAL);
    cond = VerSetConditionMask(cond, VER_MINORVERSION, VER_GREATER_EQUAL);
    cond = VerSetConditionMask(cond, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    pushint(VerifyVersionInfoW(&want, mask, cond) ? 1 : 0);
}

void ExeScr::systimefield_exec()
{
    const auto field = static_cast<uint32_t>(ip->i);
    ++ip;
    const WORD fields[8] = {keptsystime.wYear,   keptsystime.wMonth,  keptsystime.wDayOfWeek, keptsystime.wDay,
                            keptsystime.wHour,   keptsystime.wMinute, keptsystime.wSecond,
                            keptsystime.wMilliseconds};
    pushint(field < 8 ? fields[field] : 0);
}

void ExeScr::engvar_exec()
{
    const auto sel = static_cast<int32_t>(ip->i);
    ++ip;
    int64_t v = 0;
    switch (sel) {
    case 0: v = static_cast<int64_t>(instanceid); break;
    case 1: v = reinterpret_cast<intptr_t>(hWndp); break;
    case 3: v = reinterpret_cast<intptr_t>(dshowwnd.load()); break;
    case 6: v = filelinecnt; break;
    case 7: v = filedatacnt; break;
    case 8: v = dirbuffcnt; break;
    case 9: v = index1ret; break;
    case 10: v = index2ret; break;
    case 11: v = charret; break;
    case 12: v = xcaret; break;
    case 13: v = ycaret; break;
    case 14: v = hdropcnt; break;
    case 15: v = wmicnt; break;
    case 16: v = idivrem; break;
    case 17: v = imuldx; break;
    case 18: v = static_cast<int16_t>(eflags); break;
    case 19: v = deflastint; break;
    case 20: v = vbret; break;
    case 21: v = code ? lineofcode(static_cast<int32_t>(ip - code)) : -1; break;
    case 24: v = dshowwidth; break;
    case 25: v = dshowheight; break;
    case 28: v = xspos; break;
    case 29: v = yspos; break;
    case 30: v = xcpos; break;
    case 31: v = ycpos; break;
    case 32: v = winrect.left; break;
    case 33: v = winrect.right; break;
    case 34: v = winrect.top; break;
    case 35: v = winrect.bottom; break;
    case 36: v = tbpos; break;
    case 37: v = dsmmtime; break;
    case 38: v = cliright; break;
    case 39: v = clibottom; break;
    default: break;
    }
    pushint(v);
}

int32_t ExeScr::argdigits(const wchar_t* at)
{
    const auto digit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    if (!digit(at[0]) || !digit(at[1]))
        myerrexit(L"%s", L"invalid name.");
    return (at[0] - L'0') * 10 + (at[1] - L'0');
}

void ExeScr::carg_comp(wchar_t* word)
{
    const int32_t n = argdigits(word + 5);
    emitcell(&ExeScr::carg_exec);
    emitint(n);
}

namespace {

const ExeScr::subword systimefields[] = {{L"wYear", 0},   {L"wMonth", 1},  {L"wDayOfWeek", 2},
                                         {L"wDay", 3},    {L"wHour", 4},   {L"wMinute", 5},
                                         {L"wSecond", 6}, {L"wMilliseconds", 7}, {nullptr, 0}};

// The field's code in the order of SYSTEMTIME; any other word, the empty one
// included, is refused with the word.
int32_t fieldcode(ExeScr& e, wchar_t* text)
{
    const wchar_t* word = textscan::trimblanks(text);
    for (const ExeScr::subword* f = systimefields; f->word; ++f)
        if (wcscmp(f->word, word) == 0)
            return f->code;
    e.comperr2(L"Not supported parameter.", word);
}

}  // namespace

void ExeScr::systemtime_comp(wchar_t* args)
{
    const int32_t field = fieldcode(*this, args);
    emitcell(&ExeScr::systimefield_exec);
    emitint(field);
}

void ExeScr::systemtimefield_comp(wchar_t* word)
{
    wchar_t* at = textscan::trimblanks(word);
    const int32_t field = fieldcode(*this, wcslen(at) > 11 ? at + 11 : at + wcslen(at));
    emitcell(&ExeScr::systimefield_exec);
    emitint(field);
}
