// Fetching the selected text of a host window, from the window itself where it can say it, or
// through the clipboard without losing what the user had on it.
#pragma once

#include <windows.h>

#include <cstdint>

namespace cvt {

// The host's copy command, sent as WM_COMMAND.
inline constexpr WPARAM kHostCopyCommand = 57634;

// Replaces SelectedText with the window's selection (null when it copied no Unicode text).
// 0 on success; 0x80004005 when the clipboard could not be opened for the backup (nothing
// was sent to the window) or for the restore.
// A standard edit or rich edit control gives its selection without the clipboard. Only one
// capture runs at a time: one asked for meanwhile fails at once, and so does one after exit.
std::uint32_t CaptureSelection(HWND window);

// True while a capture runs, down to its last restore.
bool CaptureRunning();

}  // namespace cvt
