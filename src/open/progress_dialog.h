// The small modeless window shown while the shell starts; it removes itself when it loses
// activation or is closed, so nobody keeps its handle.
#pragma once

#include <windows.h>

#include <cstdint>

#include "res/resource_ids.h"

namespace cvt {

inline constexpr int kProgressDialogTemplate = IDD_PROGRESS;
inline constexpr int kProgressBarControl = IDC_PROGRESS_BAR;
inline constexpr UINT_PTR kProgressTimerId = 52682;
inline constexpr UINT kProgressTimerPeriod = 100;  // milliseconds
// The highest count of ticks; the tick after it resets the count and the bar to 0, so a
// round is 21 ticks.
inline constexpr std::uint32_t kProgressTicksBeforeReset = 20;

// Timer ticks since the last reset, shared by every progress window of the library's life.
extern std::uint32_t ProgressTickCount;

// 1 on Windows XP (5.1) and later, whose progress bar can have a marquee mode, else 0; 0 too
// once a bar has refused the marquee (a host without common controls 6). The system is asked
// once per library load.
int SupportsMarqueeProgress();

// Returns FALSE for every message.
INT_PTR CALLBACK ProgressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Destroys every progress window of this thread, at exit; false when one stays.
bool DestroyProgressWindows();

// Creates the window owned by owner and shows it; null when it could not be created. The
// handle is good only while the window lives: it closes itself.
HWND ShowProgressDialog(HWND owner);

}  // namespace cvt
