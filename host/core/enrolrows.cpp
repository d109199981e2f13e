#include "core/enrolrows.h"

#include "core/launchset.h"
#include "core/syslog.h"

namespace host {

namespace {

const wchar_t* const hklsection = L"hotkeylauncher";
const wchar_t* const ressection = L"resident";

// Found and not empty.
bool lookup(const iniimage& ini, const wchar_t* section, const std::wstring& key, std::wstring& value)
{
    value.clear();
    return ini.getinis(section, key, value) && !value.empty();
}

}  // namespace

std::wstring rowkey(int row, const wchar_t* field)
{
    return format(L"%02d_%s", row, field);
}

bool notemissing(const std::wstring& title, const std::wstring& script)
{
    if (title.empty())
        logmsg(L"No input for title.\n");
    if (script.empty())
        logmsg(L"No input for script.\n");
    return !title.empty() && !script.empty();
}

ehrowtext ehreadrow(const iniimage& ini, int row)
{
    ehrowtext r;
    std::wstring mod;
    if (!lookup(ini, hklsection, rowkey(row, L"tn"), r.title) ||
        !lookup(ini, hklsection, rowkey(row, L"fs"), r.script) ||
        !lookup(ini, hklsection, rowkey(row, L"op"), r.options) ||
        !lookup(ini, hklsection, rowkey(row, L"fsmod"), mod) || mod[0] < L'0' || mod[0] > L'5' ||
        !lookup(ini, hklsection, rowkey(row, L"vk"), r.key))
        return ehrowtext();
    r.mod = mod[0] - L'0';
    return r;
}

void ehwriterow(iniimage& ini, int row, const ehrowtext& r)
{
    ini.setinis(hklsection, rowkey(row, L"tn"), r.title);
    ini.setinis(hklsection, rowkey(row, L"fs"), r.script);
    ini.setinis(hklsection, rowkey(row, L"fsmod"), format(L"%d", r.mod));
    ini.setinis(hklsection, rowkey(row, L"vk"), r.key);
    ini.setinis(hklsection, rowkey(row, L"op"), r.options);
}

void ehdeleterow(iniimage& ini, int row)
{
    for (const wchar_t* f : {L"tn", L"fs", L"fsmod", L"vk", L"op"})
        ini.delinis(hklsection, rowkey(row, f));
    logmsg(L"Delete %02d key.\n", row);
}

resrowtext resreadrow(const iniimage& ini, int row)
{
    resrowtext r;
    std::wstring active;
    if (!lookup(ini, ressection, rowkey(row, L"tn"), r.title) ||
        !lookup(ini, ressection, rowkey(row, L"fs"), r.script) ||
        !lookup(ini, ressection, rowkey(row, L"active"), active))
        return resrowtext();
    r.active = active[0] != L'0';
    return r;
}

resrowtext ressaverow(iniimage& ini, int row, const resrowtext& r)
{
    if (notemissing(r.title, r.script)) {
        ini.setinis(ressection, rowkey(row, L"tn"), r.title);
        ini.setinis(ressection, rowkey(row, L"fs"), r.script);
        ini.setinis(ressection, rowkey(row, L"active"), r.active ? L"1" : L"0");
        logmsg(L"Resident Enroll: %02d title:%s Script:%s \n", row, r.title.c_str(), r.script.c_str());
        return r;
    }
    for (const wchar_t* f : {L"tn", L"fs", L"active"})
        ini.delinis(ressection, rowkey(row, f));
    logmsg(L"Resident Delete : %02d.\n", row);
    return resrowtext();
}

esrowtext esreadrow(const iniimage& ini, int set, int slot)
{
    esrowtext r;
    if (!lookup(ini, L"script", slotkey(set, slot, 1), r.title))
        return esrowtext();
    if (!lookup(ini, L"script", slotkey(set, slot, 2), r.script))
        return esrowtext{r.title, L"", L"/quit /hide"};
    r.options.clear();
    ini.getinis(L"script", slotkey(set, slot, 3), r.options);
    return r;
}

void essaverow(iniimage& ini, int set, int slot, const esrowtext& r)
{
    if (!notemissing(r.title, r.script)) {
        for (int f = 1; f <= 3; ++f)
            ini.delinis(L"script", slotkey(set, slot, f));
        logmsg(L"Delete %c keys \n", slotchar(slot));
        return;
    }
    ini.setinis(L"script", slotkey(set, slot, 1), r.title);
    ini.setinis(L"script", slotkey(set, slot, 2), r.script);
    logmsg(L"Enroll %c title:%s Script:%s \n", slotchar(slot), r.title.c_str(), r.script.c_str());
    ini.setinis(L"script", slotkey(set, slot, 3), r.options);
}

}  // namespace host
