#include "capture/restore_retry.h"

#include "capture/clipboard_backup.h"
#include "host/module.h"

namespace cvt {

namespace {

constexpr UINT kRetryPeriod = 250;    // milliseconds between tries
constexpr DWORD kRetryWindow = 5000;  // how long the saved formats wait at the most

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
    if (Pending.timer != 0) KillTimer(nullptr, Pending.timer);
    SavedClipboard.Clear();
    Pending = PendingRestore();
}

// One try: true when the retries are over, whether the formats went back or were dropped.
bool TryOnce(DWORD patience) {
    // Never into a window that is gone: the restore needs it as the clipboard's owner.
    if (GetClipboardSequenceNumber() != Pending.sequence || !IsWindow(Pending.owner)) {
        Finish();
        return true;
    }
    if (SavedClipboard.Restore(Pending.owner, patience) == 1) {
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

void RetryRestoreLater(HWND owner) {
    if (Pending.pending) Finish();
    Pending.pending = true;
    Pending.owner = owner;
    Pending.sequence = GetClipboardSequenceNumber();
    Pending.since = GetTickCount();
    Pending.timer = SetTimer(nullptr, 0, kRetryPeriod, &RetryTimer);
    if (Pending.timer == 0) Finish();
}

bool SettlePendingRestore() { return !Pending.pending || TryOnce(kCapturePatience); }

void StopRestoreRetry() {
    if (Pending.pending && !TryOnce(0)) Finish();
}

}  // namespace cvt
