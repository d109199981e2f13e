// Test entry: the engine's program folder is a scratch folder with a "log"
// folder, and the host's main window is a hidden window of the test thread.
#include <gtest/gtest.h>

#include "runtime/quorvelcore.h"
#include "support/testenv.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    programdir = qtest::scratchdir();
    hWndp = qtest::ownerwindow();
    return RUN_ALL_TESTS();
}
