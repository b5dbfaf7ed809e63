// A function that a module exports, looked up by name and typed, or null.
#pragma once

#include <windows.h>

namespace cvt {

template <typename Function>
Function ProcAddress(HMODULE module, const char* name) {
    // Through a copy of the bits, so that the cast between function types is explicit.
    FARPROC address = module != nullptr ? GetProcAddress(module, name) : nullptr;
    Function function;
    static_assert(sizeof(function) == sizeof(address), "flat addresses");
    __builtin_memcpy(&function, &address, sizeof(address));
    return function;
}

}  // namespace cvt
