// The plug-in's items in the host's menus.
#pragma once

#include <windows.h>

namespace cvt {

// Kind 0 is the host's menu bar; kinds 3, 4, 11 and 12 are context menus of text windows.
int OnMenuInit(HWND window, HMENU menu, int kind);

}  // namespace cvt
