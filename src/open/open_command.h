// Opening the path in the last captured selection.
#pragma once

#include <windows.h>

namespace cvt {

// Host command callback and the gestures' action: extracts and checks the path in a copy of
// SelectedText, asks when the user wants to be asked, shows the progress window and hands the
// path to the shell. window owns the message box and the dialogs; value is not read.
int WINAPI OpenPathCommand(HWND window, LPARAM value);

enum class OpenOutcome {
    kNothing,  // no selection, no path, or no memory: nothing was shown
    kActed,    // the path was opened, asked about, or reported as invalid
};

// The open command's work, for the gestures. When it is about to act, beforeFirstWindow (if
// given) runs with window before any window of the command appears.
OpenOutcome OpenSelectedPath(HWND window, void (*beforeFirstWindow)(HWND window));

}  // namespace cvt
