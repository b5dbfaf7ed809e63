// The modal dialog that switches the four settings on and off.
#pragma once

#include <windows.h>

#include "res/resource_ids.h"

namespace cvt {

inline constexpr int kSetupDialogTemplate = IDD_SETUP;

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the dialog owned by owner; returns its result (1 OK, 2 Cancel, or the failure value
// of DialogBoxParamA).
INT_PTR RunSetupDialog(HWND owner);

// Host command callback of the tools-menu item.
int WINAPI SetupCommand(HWND window, LPARAM value);

}  // namespace cvt
