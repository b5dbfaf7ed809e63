#include "capture/restore_retry.h"

#include "capture/clipboard_backup.h"
#include "common/plugin_lifetime.h"

namespace cvt {

namespace {

constexpr UINT kRetryPeriod = 250;    // milliseconds between tries
constexpr DWORD kRetryWindow = 5000;  // how long the saved formats wait at the most

HWND FallbackOwner = nullptr;

struct PendingRestore {
    bool pending = false;
    HWND owner = nullptr;
    // The clipboard's sequence number while it holds the host's copy: any change means that
    // something else was copied, and the user's newer choice stands.
    DWORD sequence = 0;
    DWORD since = 0;
    UINT_PTR timer = 0;
};
PendingRestore Pending;

void Finish() {
    if (Pending.timer != 0) StopPluginTimer(nullptr, Pending.timer);
    SavedClipboard.Clear();
    Pending = PendingRestore();
}

// The restore needs a live window as the clipboard's owner: a composing window may have closed
// since the capture, the host's main window has not.
HWND LiveOwner() {
    if (IsWindow(Pending.owner)) return Pending.owner;
    return IsWindow(FallbackOwner) ? FallbackOwner : nullptr;
}

// One try: true when the retries are over, whether the formats went back or were dropped.
bool TryOnce(DWORD patience) {
    HWND owner = LiveOwner();
    // Checked first as well, so that a clipboard that has changed is not even opened; 0 is
    // no answer.
    const DWORD sequence = GetClipboardSequenceNumber();
    const bool changed =
        Pending.sequence != kAnySequence && sequence != 0 && sequence != Pending.sequence;
    if (changed || owner == nullptr ||
        SavedClipboard.Restore(owner, patience, Pending.sequence) == 1) {
        Finish();
        return true;
    }
    return false;
}

void CALLBACK RetryTimer(HWND, UINT, UINT_PTR, DWORD) {
    const PluginEntry entered;
    if (!Pending.pending) return;
    if (!TryOnce(0) && GetTickCount() - Pending.since >= kRetryWindow) Finish();
}

}  // namespace

void SetFallbackOwner(HWND window) { FallbackOwner = window; }

void RetryRestoreLater(HWND owner, DWORD sequence) {
    if (Pending.pending) Finish();
    Pending.pending = true;
    Pending.owner = owner;
    Pending.sequence = sequence;
    Pending.since = GetTickCount();
    // The host is ending the plug-in: one last try now, and no timer that would outlive it.
    if (PluginExiting()) {
        SettlePendingRestoreAtExit();
        return;
    }
    Pending.timer = StartPluginTimer(nullptr, 0, kRetryPeriod, &RetryTimer);
    if (Pending.timer == 0) Finish();
}

bool SettlePendingRestore() { return !Pending.pending || TryOnce(kCapturePatience); }

void SettlePendingRestoreAtExit() {
    if (Pending.pending && !TryOnce(kRestorePatience)) Finish();
}

}  // namespace cvt
