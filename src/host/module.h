#pragma once

#include <windows.h>

namespace cvt {

// The library's own instance handle; dialog templates are loaded from it.
extern HINSTANCE ModuleHandle;

// How many of the plug-in's window procedures, dialog procedures, timer procedures and host
// commands are running on the host's thread right now. The host may call CVC_OnExit and free
// the library from a message that one of them dispatches (a modal loop, a message box); control
// then has to come back into the library's code.
extern int PluginDepth;

// Counts one frame of the plug-in for as long as it lives.
class PluginEntry {
public:
    PluginEntry() { ++PluginDepth; }
    ~PluginEntry() { --PluginDepth; }
    PluginEntry(const PluginEntry&) = delete;
    PluginEntry& operator=(const PluginEntry&) = delete;
};

// Takes one more reference on the library, once, so that the host's FreeLibrary cannot unload
// it for the rest of the process.
void PinModule();

}  // namespace cvt
