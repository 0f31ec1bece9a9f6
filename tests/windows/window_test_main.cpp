// Test programs run on one user-interface thread with the window runtime
// initialised (OLE, the program's folder as current folder), as the
// program does.
#include <gtest/gtest.h>

#include "app/win32_runtime.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!quorvel::InitializeRuntime()) return 2;
    const int result = RUN_ALL_TESTS();
    quorvel::ShutdownRuntime();
    return result;
}
