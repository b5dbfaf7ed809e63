// Watching the host's text windows for the two gestures, a triple click and Shift+O. The
// plug-in's window procedure replaces the host's and passes every message on.
#pragma once

#include <windows.h>

namespace cvt {

// Posted by a subclassed window to itself on the third press of a triple click.
inline constexpr UINT TripleClickMessage = 0xD1CA;

// Records the window's procedure and installs SubclassProc. A window that is subclassed
// already is left alone: recording SubclassProc, or a procedure stacked on top of it, as the
// host's would recurse for ever.
void InstallSubclass(HWND window);

// Puts the recorded procedure back on every window that still has SubclassProc, so that a
// host which unloads the plug-in before closing its windows keeps working. A window with
// another procedure on top of SubclassProc keeps it, and the library then pins itself in
// memory, so that the unload the host asks for never happens.
void RemoveAllSubclasses();

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace cvt
