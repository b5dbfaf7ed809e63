// Finding and checking a server path (\\server\folder) or a drive path (X:\folder) in
// captured text. All functions work on NUL-terminated UTF-16 text and never allocate; the
// reading writes the path it finds in place into the caller's buffer. The checks compare
// exact code units: they see the path as Windows will get it.
#pragma once

namespace cvt {

// Characters no path may hold. The colon is governed by ValidatePath's position rule.
inline constexpr char16_t ForbiddenPathChars[] = u"/*?\"<>|";
// Characters that make the shell launch quote the path.
inline constexpr char16_t QuotingChars[] = u" &^";

// Start of the path that ExtractPath reads in text, without writing anything: the first
// server path in any of its spellings ("\\", "¥¥", "file://server", "smb://"), else the
// first drive path ("X:\" with a letter, "Ｘ：￥", "X:/", "Xドライブ\", "file:///X:/"). The
// yen spellings count only where no ASCII marker stands before them. nullptr when there is
// none (also for a null text).
const char16_t* LocatePath(const char16_t* text);
char16_t* LocatePath(char16_t* text);

// The path as the mail writes it (the text path), written in place from LocatePath's start
// and ended with a NUL; nullptr when there is none. Where it ends for certain: at the
// bracket that closes the one the path stands in (counting nesting), at the first control
// character, or before another path that a space or a bracket introduces; blanks at its end
// and one final '>' after them are dropped. Its spelling is made Windows': yen signs and
// full-width backslashes are backslashes, a full-width drive letter and colon and the
// full-width letters and digits of a server's name are ASCII, and a URL becomes the path it
// names, its %xx escapes decoded as UTF-8 (control characters excepted).
char16_t* ExtractPath(char16_t* text);

// True when any character of set occurs in text; an empty set gives false.
bool ContainsAnyOf(const char16_t* set, const char16_t* text);

// False when path holds a ForbiddenPathChars character or a colon at position 3 or later.
// The empty path is valid.
bool ValidatePath(const char16_t* path);

// True when the final component names a file: there is a last backslash, the character in
// front of it is not a backslash, and a '.' follows it.
bool PathNamesFile(const char16_t* path);

// True when path holds a QuotingChars character.
bool PathNeedsQuoting(const char16_t* path);

}  // namespace cvt
