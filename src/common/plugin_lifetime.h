// The plug-in's own lifetime: its module handle, the frames of its code that are running on
// the host's thread, the pin that keeps the library loaded, and its timers. Everything that can
// run the plug-in's code later (a window, a timer) is known here, so that the exit can stop it
// or keep the library loaded for it.
#pragma once

#include <windows.h>

namespace cvt {

// The library's own instance handle; dialog templates are loaded from it.
extern HINSTANCE ModuleHandle;

// How many frames of the plug-in's code are running on the host's thread right now: exported
// callbacks, window, dialog and timer procedures, host commands. The host may call CVC_OnExit
// and free the library from a message that one of them dispatches (a modal loop, a clipboard
// wait); control then has to come back into the library's code.
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

// Set by CVC_OnExit: from then on nothing of the plug-in starts, and work that was running
// when it came ends without acting.
bool PluginExiting();
void MarkPluginExiting();

// The plug-in's timers, each recorded until it is stopped. window may be null for a thread
// timer, whose id SetTimer chooses; the id in use is returned, 0 when none was started.
UINT_PTR StartPluginTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC procedure);
void StopPluginTimer(HWND window, UINT_PTR id);
// Stops every recorded timer; false when one of them could not be stopped and may still run.
bool StopAllPluginTimers();

}  // namespace cvt
