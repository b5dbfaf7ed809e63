// The host functions that the stand-in executable exports by name. Only the three that the
// plug-in calls do anything; the rest exist so that the binding finds them.
#include <cstring>

#include "standin/host_state.h"

namespace standin {

HostState& State() {
    static HostState state;
    return state;
}

const RegisteredCommand* FindCommand(int id) {
    for (const RegisteredCommand& command : State().commands) {
        if (command.id == id) return &command;
    }
    return nullptr;
}

}  // namespace standin

using standin::State;

extern "C" {

const char* WINAPI CVA_GetVersion() {
    ++State().versionCalls;
    return State().versionText;
}

BOOL WINAPI CVA_GetWindowHandles(HWND* main, HWND* tree, HWND* list, HWND* view) {
    if (!State().windowHandlesResult) return FALSE;
    HWND* targets[4] = {main, tree, list, view};
    for (int i = 0; i < 4; ++i) {
        if (targets[i] != nullptr) *targets[i] = State().windows[i];
    }
    return TRUE;
}

int WINAPI CVA_RegisterCommand(const char* description, int menuKind,
                               standin::PluginCommand callback) {
    standin::RegisteredCommand command = {};
    command.id = State().nextCommandId++;
    command.menuKind = menuKind;
    command.callback = callback;
    if (description != nullptr) {
        std::strncpy(command.description, description, sizeof(command.description) - 1);
    }
    State().commands.push_back(command);
    return command.id;
}

// Target of every other exported name (the .def aliases them here); never called.
int StandinUnusedHostFunction() { return 0; }

}  // extern "C"
