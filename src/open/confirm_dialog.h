// The question asked before a path is opened, while TrivaneConfirm is 1.
#pragma once

#include <windows.h>

namespace cvt {

inline constexpr int kConfirmDialogTemplate = 102;
inline constexpr int kConfirmPathControl = 1011;
inline constexpr int kConfirmDontAskBox = 1001;

// Returns FALSE for every message. lParam of WM_INITDIALOG is the NUL-terminated path.
INT_PTR CALLBACK ConfirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Asks modally; IDYES (6) to open, IDNO (7) not to, or the failure value of DialogBoxParamA.
INT_PTR RunConfirmDialog(HWND owner, const wchar_t* path);

}  // namespace cvt
