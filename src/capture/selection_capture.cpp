#include "capture/selection_capture.h"

#include <cstring>
#include <new>

#include "capture/clipboard_backup.h"
#include "capture/selected_text.h"
#include "common/win_handles.h"
#include "settings/settings_store.h"

namespace cvt {

namespace {

constexpr std::uint32_t kCaptured = 0;
constexpr std::uint32_t kCaptureFailed = 0x80004005u;

constexpr WORD kWaitCursor = 32514;   // IDC_WAIT
constexpr WORD kArrowCursor = 32512;  // IDC_ARROW

void ShowSystemCursor(WORD id) { SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(id))); }

// Takes the clipboard's Unicode text into SelectedText. The buffer is twice the block's size,
// which leaves room for the NUL that a block from a careless program may lack.
void TakeUnicodeText(HWND window) {
    ClipboardSession clipboard(OpenClipboardPatiently(window));
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

std::uint32_t CaptureAroundBackup(HWND window) {
    const bool allFormats = ReadSetting(kSettingPreserve) != 0;
    const bool saved = SavedClipboard.Backup(window, allFormats ? 1 : 0) == 1;
    if (saved) {
        // Only the host's copy may stand on the clipboard when the text is read.
        ClipboardSession clipboard(OpenClipboardPatiently(window));
        if (clipboard) EmptyClipboard();
        clipboard.Close();
        SendMessageA(window, WM_COMMAND, kHostCopyCommand, 0);
    }
    ReleaseSelectedText();
    if (!saved) return kCaptureFailed;
    if (IsClipboardFormatAvailable(CF_UNICODETEXT)) TakeUnicodeText(window);
    return SavedClipboard.Restore(window) == 1 ? kCaptured : kCaptureFailed;
}

}  // namespace

std::uint32_t CaptureSelection(HWND window) {
    ShowSystemCursor(kWaitCursor);
    const std::uint32_t result = CaptureAroundBackup(window);
    // The arrow, not whatever showed before: the wait cursor may have replaced it.
    ShowSystemCursor(kArrowCursor);
    return result;
}

}  // namespace cvt
