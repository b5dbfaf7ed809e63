#pragma once

#include <windows.h>

namespace cvt {

// The UTF-16 text of the last capture, NUL-terminated, or null. Owned by the selection
// capture; the menu code may shorten it in place, the open command works on a copy.
extern wchar_t* SelectedText;

// Frees SelectedText and sets it to null.
void ReleaseSelectedText();

}  // namespace cvt
