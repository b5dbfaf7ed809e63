#include "capture/selection_capture.h"

#include <cstring>
#include <new>

#include "capture/clipboard_backup.h"
#include "capture/restore_retry.h"
#include "capture/selected_text.h"
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
// stopped answering would hold the host there, and the clipboard with it.
bool ClipboardOwnerIsHung() {
    HWND owner = GetClipboardOwner();
    return owner != nullptr && IsHungAppWindow(owner);
}

std::uint32_t CaptureAroundBackup(HWND window) {
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
    if (saved) {
        // Only the host's copy may stand on the clipboard when the text is read.
        ClipboardSession clipboard(OpenClipboardPatiently(window, kCapturePatience));
        if (clipboard) EmptyClipboard();
        clipboard.Close();
        SendMessageA(window, WM_COMMAND, kHostCopyCommand, 0);
    }
    ReleaseSelectedText();
    if (!saved) return kCaptureFailed;
    if (IsClipboardFormatAvailable(CF_UNICODETEXT)) TakeUnicodeText(window);
    if (SavedClipboard.Restore(window) == 1) return kCaptured;
    // The clipboard stays busy: what the user had goes back as soon as it is free, unless
    // something else is copied first.
    RetryRestoreLater(window);
    return kCaptureFailed;
}

}  // namespace

std::uint32_t CaptureSelection(HWND window) {
    // The arrow is made sure of first: when it cannot be had, the cursor is left as it is
    // rather than turned into the wait cursor for good, or into none.
    const HCURSOR arrow = SystemCursor(&g_arrowCursor, kArrowCursor);
    const HCURSOR wait = SystemCursor(&g_waitCursor, kWaitCursor);
    if (arrow != nullptr && wait != nullptr) SetCursor(wait);
    const std::uint32_t result = CaptureAroundBackup(window);
    // The arrow, not whatever showed before: the wait cursor may have replaced it.
    if (arrow != nullptr) SetCursor(arrow);
    return result;
}

}  // namespace cvt
