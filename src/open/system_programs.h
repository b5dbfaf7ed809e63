// The programs the shell launch names, by their full paths, and the policy that switches the
// command interpreter off.
#pragma once

#include <windows.h>

#include <cstddef>

#include "open/launch_plan.h"

namespace cvt {

// Capacity of a folder plus a program name; MAX_PATH covers the system's own folders.
inline constexpr std::size_t kProgramPathCapacity = MAX_PATH + 16;

// Writes folder's path, a backslash and name into buffer (kProgramPathCapacity characters).
// False when the folder cannot be had or the result does not fit: nothing is launched then,
// since a bare name would be looked for in the host's current folder too.
bool ProgramPath(ProgramFolder folder, const wchar_t* name, wchar_t* buffer);

// True when "Prevent access to the command prompt" holds a non-zero DisableCMD under
// Software\Policies\Microsoft\Windows\System, in HKEY_CURRENT_USER or else in
// HKEY_LOCAL_MACHINE. The interpreter then prints that it is disabled and waits for a key in
// its hidden window. A policy that cannot be read counts as not set.
bool InterpreterDisabledByPolicy();

}  // namespace cvt
