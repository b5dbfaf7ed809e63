// Finding and checking a server path (\\server\folder) or a drive path (X:\folder) in
// captured text. All functions work on NUL-terminated UTF-16 text, compare exact code units,
// never allocate, and trim in place by writing a NUL into the caller's buffer.
#pragma once

namespace cvt {

// Characters no path may hold. The colon is governed by ValidatePath's position rule.
inline constexpr char16_t ForbiddenPathChars[] = u"/*?\"<>|";
// Characters that make the shell launch quote the path.
inline constexpr char16_t QuotingChars[] = u" &^";

// Start of the path in text: the first "\\" pair anywhere, else the character in front of
// the first ":\" pair when that colon is not text's first character. nullptr when there is
// none (also for a null text). Only the first ":\" counts, and a "\\" pair anywhere wins.
const char16_t* LocatePath(const char16_t* text);
char16_t* LocatePath(char16_t* text);

// Ends path at its first carriage return (U+000D), if any.
void CutAtCarriageReturn(char16_t* path);

// Removes one '>' when it is path's final character.
void StripTrailingBracket(char16_t* path);

// LocatePath, then CutAtCarriageReturn and StripTrailingBracket on the path, in one pass over
// text. Returns the path's start inside text, or nullptr. The path may come out empty when a
// carriage return stands directly before the first ":\" pair.
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
