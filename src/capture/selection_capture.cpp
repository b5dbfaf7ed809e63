#include "capture/selection_capture.h"

#include <cstring>
#include <new>

#include "capture/clipboard_backup.h"
#include "capture/direct_read.h"
#include "capture/restore_retry.h"
#include "capture/selected_text.h"
#include "common/plugin_lifetime.h"
#include "common/win_handles.h"
#include "settings/settings_store.h"

namespace cvt {

namespace {

constexpr std::uint32_t kCaptured = 0;
constexpr std::uint32_t kCaptureFailed = 0x80004005u;

constexpr WORD kWaitCursor = 32514;   // IDC_WAIT
constexpr WORD kArrowCursor = 32512;  // IDC_ARROW

// The system's cursors are shared and live as long as the process, so each is loaded once:
// looking one up costs about as much as a small capture's clipboard calls.
HCURSOR g_waitCursor = nullptr;
HCURSOR g_arrowCursor = nullptr;

// A capture that waits for the clipboard handles the messages other threads send, and one of
// them may be a gesture or a menu of the host: it must not start a second capture, whose backup
// would replace the saved contents of the first.
bool Capturing = false;

HCURSOR SystemCursor(HCURSOR* loaded, WORD id) {
    if (*loaded == nullptr) *loaded = LoadCursorA(nullptr, MAKEINTRESOURCEA(id));
    return *loaded;
}

// Takes the clipboard's Unicode text into SelectedText. The buffer is twice the block's size,
// which leaves room for the NUL that a block from a careless program may lack.
void TakeUnicodeText(HWND window) {
    ClipboardSession clipboard(OpenClipboardPatiently(window, kCapturePatience));
    if (!clipboard) return;
    HANDLE block = GetClipboardData(CF_UNICODETEXT);
    if (block == nullptr) return;
    const SIZE_T bytes = GlobalSize(block);
    GlobalLockView view(block);
    if (view.data() == nullptr) return;
    // 2 * bytes bytes are bytes characters; an empty block still gets room for the NUL.
    wchar_t* text = new (std::nothrow) wchar_t[bytes > 0 ? bytes : 1];
    if (text == nullptr) return;
    std::memcpy(text, view.data(), bytes);
    text[bytes / sizeof(wchar_t)] = L'\0';
    SelectedText = text;
}

// A window that answers EM_GETSEL with an empty selection has nothing to copy. Both outputs
// start at a value no control writes, so a window that does not know the message (its
// outputs stay as they were) is captured as before, and so is every other answer.
bool SaysNothingIsSelected(HWND window) {
    constexpr DWORD kUnanswered = 0xFFFFFFFF;
    DWORD start = kUnanswered, end = kUnanswered;
    SendMessageA(window, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    return start != kUnanswered && start == end;
}

// The owner of a promised format renders it inside GetClipboardData: an owner that has
// stopped answering would hold the host there, and the clipboard with it. A window of this
// thread renders within the call itself, and counts as hung only because this thread is busy.
bool ClipboardOwnerIsHung() {
    HWND owner = GetClipboardOwner();
    return owner != nullptr && GetWindowThreadProcessId(owner, nullptr) != GetCurrentThreadId() &&
           IsHungAppWindow(owner);
}

// The host copies its selection to the clipboard, which changes once: the host's copy replaces
// the user's contents, which are saved before and put back after.
std::uint32_t CaptureThroughCopy(HWND window) {
    // Typing a capital O or opening a context menu without a selection costs the user
    // nothing: the clipboard is not touched.
    if (SaysNothingIsSelected(window)) {
        ReleaseSelectedText();
        return kCaptured;
    }
    if (ClipboardOwnerIsHung() || !SettlePendingRestore()) {
        ReleaseSelectedText();
        return kCaptureFailed;
    }
    const bool allFormats = ReadSetting(kSettingPreserve) != 0;
    const bool saved = SavedClipboard.Backup(window, allFormats ? 1 : 0) == 1;
    ReleaseSelectedText();
    if (!saved) return kCaptureFailed;
    // A number of 0 means that the system does not tell: then every copy counts as made, and
    // whatever the clipboard holds at the restore is taken for the host's copy.
    const DWORD beforeCopy = GetClipboardSequenceNumber();
    if (beforeCopy != 0 && SavedClipboard.sequence() != 0 &&
        beforeCopy != SavedClipboard.sequence()) {
        // Something was copied since the backup: the host's copy would replace it, and the
        // restore would then put back older contents. The newer copy stays.
        SavedClipboard.Clear();
        return kCaptureFailed;
    }
    SendMessageA(window, WM_COMMAND, kHostCopyCommand, 0);
    if (beforeCopy != 0 && GetClipboardSequenceNumber() == beforeCopy) {
        // The host copied nothing, so the clipboard still holds what the user had.
        SavedClipboard.Clear();
        return kCaptured;
    }
    if (IsClipboardFormatAvailable(CF_UNICODETEXT)) TakeUnicodeText(window);
    // The host's copy as it was read: anything later is another program's, and stays.
    const DWORD read = GetClipboardSequenceNumber();
    const DWORD afterRead = beforeCopy != 0 && read != 0 ? read : kAnySequence;
    if (SavedClipboard.Restore(window, kRestorePatience, afterRead) == 1) return kCaptured;
    // The clipboard stays busy: what the user had goes back as soon as it is free, unless
    // something else is copied first.
    RetryRestoreLater(window, afterRead);
    return kCaptureFailed;
}

std::uint32_t Capture(HWND window) {
    // A standard edit window says its selection itself: the clipboard is not touched at all.
    wchar_t* text = nullptr;
    switch (ReadSelectionDirectly(window, &text)) {
        case DirectRead::kText:
            ReleaseSelectedText();
            SelectedText = text;
            return kCaptured;
        case DirectRead::kNothingSelected:
            ReleaseSelectedText();
            return kCaptured;
        case DirectRead::kFailed:
            ReleaseSelectedText();
            return kCaptureFailed;
        case DirectRead::kNotPossible:
            break;
    }
    const ClipboardWaitBudget budget(kGestureClipboardBudget);
    return CaptureThroughCopy(window);
}

}  // namespace

bool CaptureRunning() { return Capturing; }

std::uint32_t CaptureSelection(HWND window) {
    if (Capturing || PluginExiting()) return kCaptureFailed;
    Capturing = true;
    // The arrow is made sure of first: when it cannot be had, the cursor is left as it is
    // rather than turned into the wait cursor for good, or into none.
    const HCURSOR arrow = SystemCursor(&g_arrowCursor, kArrowCursor);
    const HCURSOR wait = SystemCursor(&g_waitCursor, kWaitCursor);
    if (arrow != nullptr && wait != nullptr) SetCursor(wait);
    std::uint32_t result = Capture(window);
    // The arrow, not whatever showed before: the wait cursor may have replaced it.
    if (arrow != nullptr) SetCursor(arrow);
    Capturing = false;
    // The host ended the plug-in while the capture waited: the clipboard has been seen to, and
    // nothing more of the gesture runs.
    if (PluginExiting()) {
        ReleaseSelectedText();
        result = kCaptureFailed;
    }
    return result;
}

}  // namespace cvt
