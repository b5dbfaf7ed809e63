// Reading the selection of a standard edit or rich edit control from the control itself, so
// that the clipboard is not touched at all.
#pragma once

#include <windows.h>

namespace cvt {

enum class DirectRead {
    kText,             // the selected text was read
    kNothingSelected,  // the control reports an empty selection
    kNotPossible,      // not such a control, or it did not answer: take the copy command
    kFailed,           // the selection could not be taken (no memory): nothing is captured
};

// For the window classes Edit, RichEdit20A, RichEdit20W, RICHEDIT50W and RichEdit. On kText,
// *text is a new[] buffer with the selected text, NUL-terminated, that the caller owns.
DirectRead ReadSelectionDirectly(HWND window, wchar_t** text);

}  // namespace cvt
