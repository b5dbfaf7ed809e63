// Loads the plug-in into an executable that plays a host of a given version and export set,
// and reports through its exit code: bit 0 the load succeeded, bit 8 the loader said the
// entry point refused (error 1114), bits 1-7 how often the host's version was asked.
//   bind_probe_VARIANT.exe VERSION PLUGIN_PATH
#include <windows.h>

#include "standin/host_state.h"

int main(int argc, char** argv) {
    if (argc < 3) return 0x200;
    standin::State().versionText = argv[1];
    HMODULE plugin = LoadLibraryA(argv[2]);
    const DWORD error = plugin ? 0 : GetLastError();
    int code = plugin ? 1 : 0;
    code |= (standin::State().versionCalls & 0x7F) << 1;
    if (error == ERROR_DLL_INIT_FAILED) code |= 0x100;
    return code;
}
