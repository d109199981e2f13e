// Stand-ins for the calls that change the machine's power state. Every engine
// test binary puts them in place before its first test (testmain.cpp), so no
// test can suspend, restart, log off or power off the machine running it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace qtest {

// One call that reached a stand-in.
struct powercall {
    enum kind { powerstate, exitwindows, monitorpower } what;
    int64_t first;   // suspend / flags / level
    int64_t second;  // force / reason / 0
};

void installpowerstandins();
// The calls made since the last clearpowercalls, oldest first.
std::vector<powercall> powercalls();
void clearpowercalls();

}  // namespace qtest
