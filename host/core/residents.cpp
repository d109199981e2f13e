#include "core/residents.h"

#include "core/enrolrows.h"

namespace host {

std::array<residentrec, residentcount> loadresidents(const iniimage& ini)
{
    std::array<residentrec, residentcount> out;
    for (int i = 0; i < residentcount; ++i) {
        residentrec& r = out[static_cast<size_t>(i)];
        std::wstring active;
        r.present = ini.getinis(L"resident", rowkey(i, L"tn"), r.title) &&
                    ini.getinis(L"resident", rowkey(i, L"fs"), r.script) &&
                    ini.getinis(L"resident", rowkey(i, L"active"), active);
        r.active = active.empty() || active[0] != L'0';
    }
    return out;
}

}  // namespace host
