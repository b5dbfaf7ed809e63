// Opening the path in the last captured selection.
#pragma once

#include <windows.h>

namespace cvt {

// Host command callback and the gestures' action: extracts and checks the path in a copy of
// SelectedText, asks when the user wants to be asked, shows the progress window and hands the
// path to the shell. window owns the message box and the dialogs; value is not read.
int WINAPI OpenPathCommand(HWND window, LPARAM value);

}  // namespace cvt
