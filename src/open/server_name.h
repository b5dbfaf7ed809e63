// Where the server of a path stands, judged from the path's text alone: opening a server path
// makes Windows connect and sign in with the user's logon, so the judgement has to come before
// any file call. Pure text logic, no Win32.
#pragma once

#include <cstddef>

namespace cvt {

enum class ServerPlace {
    kInside,   // a drive path, or a server of the organisation by the name rules
    kOutside,  // anything the rules cannot place inside
    kAskZone,  // a dotted name: inside only when Windows' zone settings say so
};

// Longest server name that counts at all: a DNS name has at most 253 characters.
inline constexpr std::size_t kMaxServerNameLength = 253;

// The server name of length characters (it may hold a NUL).
//   inside:  one label of ASCII letters, digits, '-', '_' and '$' that Windows would not read
//            as an IPv4 number (all digits, or "0x" and hex digits); dotted decimal IPv4 in
//            10/8, 172.16/12, 192.168/16, 169.254/16 or 127/8, with no leading zeros (a zero
//            in front would make the part octal);
//   zone:    other dotted names of those characters, with no empty label, not all of whose
//            labels are numbers, and not an IPv6 literal name (*.ipv6-literal.net);
//   outside: everything else, the empty name and names longer than kMaxServerNameLength.
ServerPlace ClassifyServerName(const char16_t* name, std::size_t length);

// The place of a path about to be opened: "X:\..." with an ASCII letter X is inside (a mapped
// drive is the user's own choice), "\\server..." is judged by its server name (the text up to
// the next backslash or the end), anything else is outside.
ServerPlace ClassifyPathServer(const char16_t* path);

// The characters of the URL that Windows' zone manager is asked about, "file://server/share",
// for a server path; the capacity for a path of pathLength characters, NUL included.
constexpr std::size_t ZoneUrlCapacity(std::size_t pathLength) { return pathLength + 8; }
// Writes the URL into buffer (ZoneUrlCapacity(length of path) characters); false when path is
// no server path or the buffer is too small.
bool FormatZoneUrl(const char16_t* path, char16_t* buffer, std::size_t capacity);

}  // namespace cvt
