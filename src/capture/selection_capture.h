// Fetching the selected text of a host window through the clipboard, without losing what the
// user had on it.
#pragma once

#include <windows.h>

#include <cstdint>

namespace cvt {

// The host's copy command, sent as WM_COMMAND.
inline constexpr WPARAM kHostCopyCommand = 57634;

// Replaces SelectedText with the window's selection (null when it copied no Unicode text).
// 0 on success; 0x80004005 when the clipboard could not be opened for the backup (nothing
// was sent to the window) or for the restore.
std::uint32_t CaptureSelection(HWND window);

}  // namespace cvt
