#pragma once

#include <windows.h>

namespace cvt {

// The library's own instance handle; dialog templates are loaded from it.
extern HINSTANCE ModuleHandle;

}  // namespace cvt
