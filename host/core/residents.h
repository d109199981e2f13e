// The resident scripts a first instance starts in its own process: 8 records
// kept in [resident] as "%02d_tn", "%02d_fs" and "%02d_active".
#pragma once

#include <array>
#include <string>

#include "core/iniimage.h"

namespace host {

constexpr int residentcount = 8;

struct residentrec {
    std::wstring title, script;
    bool active = false;   // anything but a value beginning with "0"
    bool present = false;  // all three keys found
};

std::array<residentrec, residentcount> loadresidents(const iniimage& ini);

}  // namespace host
