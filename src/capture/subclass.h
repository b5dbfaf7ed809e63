// Watching the host's text windows for the two gestures, a triple click and Shift+O. The
// plug-in's window procedure replaces the host's and passes every message on.
#pragma once

#include <windows.h>

namespace cvt {

// Posted by a subclassed window to itself on the third press of a triple click.
inline constexpr UINT TripleClickMessage = 0xD1CA;

// Records the window's procedure and installs SubclassProc. A window that already has
// SubclassProc is left alone: recording it as its own predecessor would recurse forever.
void InstallSubclass(HWND window);

// Puts the recorded procedure back on every window that still has SubclassProc, so that a
// host which unloads the plug-in before closing its windows keeps working.
void RemoveAllSubclasses();

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace cvt
