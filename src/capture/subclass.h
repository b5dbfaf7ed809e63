// Watching the host's text windows: the plug-in's window procedure replaces the host's and
// passes every message on.
#pragma once

#include <windows.h>

namespace cvt {

// Records the window's procedure and installs SubclassProc. A window that already has
// SubclassProc is left alone: recording it as its own predecessor would recurse forever.
void InstallSubclass(HWND window);

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace cvt
