// Win32 integration tests: this executable exports the host functions like the stand-in host,
// so the real plug-in binds to it when a test loads it.
#include <gtest/gtest.h>
#include <windows.h>

#include "standin/standin_host.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    standin::RegisterHostClasses(GetModuleHandleW(nullptr));
    return RUN_ALL_TESTS();
}
