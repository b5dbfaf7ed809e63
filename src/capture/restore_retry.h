// Putting the user's clipboard back when the restore right after a capture found the clipboard
// busy: the saved formats wait, and a thread timer tries again for a few seconds, but only while
// the clipboard still holds the host's copy, so that nothing copied meanwhile is overwritten.
#pragma once

#include <windows.h>

namespace cvt {

// The window that owns a restored clipboard when the capture's window has closed meanwhile:
// the host's main window, which lives as long as the host.
void SetFallbackOwner(HWND window);

// Starts the retries for the saved formats of SavedClipboard, with owner as the clipboard
// owner, for as long as the clipboard's sequence number stays sequence. Without a timer, the
// saved formats are dropped as they would be at the next capture.
void RetryRestoreLater(HWND owner, DWORD sequence);

// Before a new capture: puts back what still waits, if the clipboard has not changed since, or
// drops it if it has. False when it still waits because the clipboard stays busy; the capture
// must then leave the clipboard alone.
bool SettlePendingRestore();

// At exit: one last try with the restore's patience, then the retries stop and whatever still
// waits is dropped, so that no timer calls into an unloaded library.
void SettlePendingRestoreAtExit();

}  // namespace cvt
