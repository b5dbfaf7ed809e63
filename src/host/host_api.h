// The host's functions, bound by name from the host executable when the library loads.
#pragma once

#include <windows.h>

#include <cstddef>

#include "host/host_function_names.h"

namespace cvt {

// Host command callbacks: a host window (owner of anything the command opens) and a value
// that the plug-in does not read.
using HostCommandCallback = int(WINAPI*)(HWND window, LPARAM value);

using GetVersionFunction = const char*(WINAPI*)();
using GetWindowHandlesFunction = BOOL(WINAPI*)(HWND*, HWND*, HWND*, HWND*);
using RegisterCommandFunction = int(WINAPI*)(const char* description, int menuKind,
                                             HostCommandCallback callback);

// One entry per host function. The entries follow the lookup order, except that
// CVA_SetStatus stands right after CVA_GetStatus and CVA_GetSize right after CVA_SetSource.
// hostModule is non-null only after a successful binding.
struct HostApiTable {
    void* entries[kHostFunctionCount];
    HMODULE hostModule;
};

extern HostApiTable HostApi;

// Where the function at position lookupIndex of kHostFunctionNames sits in the table.
std::size_t HostApiSlot(std::size_t lookupIndex);

// Binds the table and applies the version gate; 1 when the plug-in can run in this host.
int BindHostApi();

// The three host functions the plug-in calls (null before binding).
GetVersionFunction HostGetVersion();
GetWindowHandlesFunction HostGetWindowHandles();
RegisterCommandFunction HostRegisterCommand();

}  // namespace cvt
