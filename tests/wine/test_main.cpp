// Win32 integration tests: this executable exports the host functions like the stand-in host,
// so the real plug-in binds to it when a test loads it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "standin/standin_host.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // A DLL to load before any test loads the plug-in, as another plug-in of the host would
    // bring it: the toolchain's shared unwinder (CVT_PRELOAD_RUNTIME=libgcc_s_dw2-1.dll).
    if (const char* preload = std::getenv("CVT_PRELOAD_RUNTIME")) {
        if (LoadLibraryA(preload) == nullptr) {
            std::fprintf(stderr, "cannot load %s first\n", preload);
            return 2;
        }
    }
    standin::RegisterHostClasses(GetModuleHandleW(nullptr));
    return RUN_ALL_TESTS();
}
