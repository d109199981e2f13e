#include "commands/syscommon.h"

#include <gtest/gtest.h>

#include <objbase.h>

namespace {

// COM on the test thread for the tests that call operations there, as the run
// driver starts it on a script thread.
struct comenv : testing::Environment {
    void SetUp() override { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    void TearDown() override { CoUninitialize(); }
};
testing::Environment* const g_com = testing::AddGlobalTestEnvironment(new comenv);

}  // namespace
