// Where a path written in mail text may end before the text does. A mail often goes on after
// the path on the same line: a sentence after a space, a remark in parentheses, or a particle
// glued to the name. Only the server or the drive can tell which of these ends names a place
// that exists; this unit lists the ends and matches the names a listing of the last folder
// gives. Pure text logic, no Win32.
#pragma once

#include <cstddef>

namespace cvt {

// The most explicit candidate ends a path gets; a longer sentence keeps its longest ones.
inline constexpr std::size_t kMostCandidateEnds = 16;

// Length of path up to and including its last backslash, when the rest after it may be cut:
// the backslash must lie inside a share ("\\server\share\...") or after a drive's root
// ("X:\..."), and some text must follow it. 0 when nothing may be cut, so that a cut never
// drops a folder level or a server or share name that the mail wrote.
std::size_t CuttableRestStart(const char16_t* path);

// The explicit candidate ends of path after restStart (from CuttableRestStart), as lengths of
// path to keep, longest first, each at least restStart and shorter than path: before a run
// of spaces (U+0020, U+3000) that more text follows, and before a remark that starts with
// U+3002, U+3001, U+FF0E, U+FF0C, '(', U+FF08 or the particle U+3092; spaces right before an
// end are dropped.
// Writes at most capacity ends and returns how many.
std::size_t ListCandidateEnds(const char16_t* path, std::size_t restStart, std::size_t* ends,
                              std::size_t capacity);

// How many characters of rest the listed name covers: the name's length when rest begins
// with it, exactly or equal under ASCII case folding (Windows names ignore case), else 0.
// Also 0 for "." and "..", and for a name that would end inside a surrogate pair of rest or
// between two ASCII letters or digits (a word of the mail, not a name's end).
std::size_t NameCoversRest(const char16_t* rest, const char16_t* name);

// The character that a listing of the last folder may be narrowed to ("c*"), or 0 when the
// listing must take every name: rest starts with a separator (then the folder itself is a
// candidate, and "*" proves it exists), a dot, a control character, a surrogate or a
// character that a pattern would read as a wildcard.
char16_t ListingFirstCharacter(const char16_t* rest);

}  // namespace cvt
