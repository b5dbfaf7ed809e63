#include "open/progress_dialog.h"

#include <commctrl.h>

#include "common/plugin_lifetime.h"

namespace cvt {

std::uint32_t ProgressTickCount = 0;

namespace {

// -1 until the system has been asked.
std::int32_t MarqueeSupported = -1;

constexpr WPARAM kMarqueeOn = 1;
constexpr LPARAM kMarqueeInterval = 100;  // milliseconds between animation updates
constexpr LPARAM kStepRange = MAKELPARAM(0, 100);
constexpr WPARAM kStepSize = 5;

void SetUpBar(HWND dialog) {
    HWND bar = GetDlgItem(dialog, kProgressBarControl);
    if (SupportsMarqueeProgress() == 1) {
        const LONG style = GetWindowLongA(bar, GWL_STYLE);
        SetWindowLongA(bar, GWL_STYLE, style | PBS_MARQUEE);
        // The marquee is common controls 6, which a host gets only through its own manifest.
        // Version 6 answers TRUE; older controls do not know the message and are taken to
        // answer 0, as for any message they pass on. Then this bar and every later one of
        // this load steps, as on Windows 2000.
        if (SendMessageA(bar, PBM_SETMARQUEE, kMarqueeOn, kMarqueeInterval) != 0) return;
        SetWindowLongA(bar, GWL_STYLE, style);
        MarqueeSupported = 0;
    }
    SendMessageA(bar, PBM_SETRANGE, 0, kStepRange);
    SendMessageA(bar, PBM_SETSTEP, kStepSize, 0);
}

void Tick(HWND dialog) {
    HWND bar = GetDlgItem(dialog, kProgressBarControl);
    if (++ProgressTickCount > kProgressTicksBeforeReset) {
        ProgressTickCount = 0;
        SendMessageA(bar, PBM_SETPOS, 0, 0);
    }
    // The marquee animates by itself.
    if (SupportsMarqueeProgress() == 0) SendMessageA(bar, PBM_STEPIT, 0, 0);
}

// The mark of a live progress window, so that the exit can find and close every one.
constexpr char kProgressMark[] = "CvTrivane.Progress";

BOOL CALLBACK FindMarked(HWND window, LPARAM found) {
    if (GetPropA(window, kProgressMark) == nullptr) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// The window being destroyed: DestroyWindow deactivates the window it destroys, and the
// WA_INACTIVE that arrives meanwhile must not start a second, nested destruction (which,
// under some window managers, never completes and skips WM_DESTROY and its KillTimer).
HWND ClosingWindow = nullptr;

void CloseOnce(HWND dialog) {
    if (ClosingWindow == dialog) return;
    HWND outer = ClosingWindow;
    ClosingWindow = dialog;
    DestroyWindow(dialog);
    ClosingWindow = outer;
}

}  // namespace

int SupportsMarqueeProgress() {
    if (MarqueeSupported != -1) return MarqueeSupported;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    // On failure the zeros mean an old system: the step bar works everywhere.
    GetVersionExW(&version);
    const bool xpOrLater =
        version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1);
    MarqueeSupported = xpOrLater ? 1 : 0;
    return MarqueeSupported;
}

INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    const PluginEntry entered;
    switch (message) {
        case WM_INITDIALOG:
            SetPropA(dialog, kProgressMark, reinterpret_cast<HANDLE>(1));
            StartPluginTimer(dialog, kProgressTimerId, kProgressTimerPeriod, nullptr);
            SetUpBar(dialog);
            break;
        case WM_TIMER:
            Tick(dialog);
            break;
        case WM_ACTIVATE:
            // The launched window came to the front, or the user clicked elsewhere.
            if (LOWORD(wParam) == WA_INACTIVE) CloseOnce(dialog);
            break;
        case WM_CLOSE:
            CloseOnce(dialog);
            break;
        case WM_DESTROY:
            StopPluginTimer(dialog, kProgressTimerId);
            RemovePropA(dialog, kProgressMark);
            break;
    }
    return static_cast<INT_PTR>(FALSE);
}

bool DestroyProgressWindows() {
    HWND window = nullptr;
    while (
        !EnumThreadWindows(GetCurrentThreadId(), &FindMarked, reinterpret_cast<LPARAM>(&window)) &&
        window != nullptr) {
        // One that cannot be destroyed ends the search: it would be found again and again.
        if (!DestroyWindow(window)) return false;
        window = nullptr;
    }
    return true;
}

HWND ShowProgressDialog(HWND owner) {
    HWND window = CreateDialogParamA(ModuleHandle, MAKEINTRESOURCEA(kProgressDialogTemplate), owner,
                                     &ProgressDialogProc, 0);
    if (window != nullptr) ShowWindow(window, SW_SHOW);
    return window;
}

}  // namespace cvt
