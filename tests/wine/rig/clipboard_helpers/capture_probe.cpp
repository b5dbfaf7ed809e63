// A test build of the capture: the same sources as the plug-in, with the capture's result
// and SelectedText reachable from a test. The plug-in itself exports only the host's
// callbacks, where neither can be seen.
#include <windows.h>

#include <cstdint>

#include "capture/clipboard_backup.h"
#include "capture/selected_text.h"
#include "capture/selection_capture.h"

extern "C" {

__declspec(dllexport) std::uint32_t ProbeCaptureSelection(HWND window) {
    return cvt::CaptureSelection(window);
}

__declspec(dllexport) const wchar_t* ProbeSelectedText() { return cvt::SelectedText; }

__declspec(dllexport) void ProbeReleaseSelectedText() { cvt::ReleaseSelectedText(); }

__declspec(dllexport) int ProbeBackup(HWND owner, int allFormats) {
    return cvt::SavedClipboard.Backup(owner, allFormats);
}

__declspec(dllexport) int ProbeRestore(HWND owner) { return cvt::SavedClipboard.Restore(owner); }

__declspec(dllexport) void ProbeClear() { cvt::SavedClipboard.Clear(); }

}  // extern "C"
