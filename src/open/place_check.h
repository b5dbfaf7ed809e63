// Which place a text path names: the text path itself or one of its candidate ends, whichever
// is the longest that exists. Asking a server can take tens of seconds when it does not
// answer, so the checks run on a thread of their own and the host's thread waits for them,
// dispatching its messages, until one deadline.
#pragma once

#include <windows.h>

#include <cstddef>

namespace cvt {

// All checks of one open end by this time, or the text path is opened as written.
inline constexpr DWORD kPlaceCheckDeadline = 3000;  // milliseconds
// Checks that end sooner show no progress window.
inline constexpr DWORD kPlaceCheckGrace = 200;  // milliseconds

// The length of path to open: the whole path when it exists, when no shorter candidate
// exists, or when the checks cannot start or finish in time; never less than the part up to
// its last backslash. Shows the progress window owned by owner once the checks take longer
// than the grace and leaves its handle in *progress (which stays null otherwise).
std::size_t ResolvePlace(HWND owner, const char16_t* path, HWND* progress);

}  // namespace cvt
