// State behind the stand-in host's exported CVA_ functions. The demo host and the test hosts
// share it; tests change it to play hosts of other versions or with failing calls.
#pragma once

#include <windows.h>

#include <vector>

namespace standin {

using PluginCommand = int(WINAPI*)(HWND window, LPARAM value);

struct RegisteredCommand {
    int id;
    int menuKind;
    PluginCommand callback;
    char description[128];
};

struct HostState {
    const char* versionText = "2.00.06";
    int versionCalls = 0;
    BOOL windowHandlesResult = TRUE;
    HWND windows[4] = {};  // main window, folder tree, mail list, message view
    std::vector<RegisteredCommand> commands;
    int nextCommandId = 40001;
};

HostState& State();

// The command registered under id, or null.
const RegisteredCommand* FindCommand(int id);

}  // namespace standin
