// The plug-in's text code works on char16_t and Windows' wide functions on wchar_t. Both are
// UTF-16 code units on Windows, so one may be read as the other; these are the only places
// where that happens, and the build fails where it would not hold.
#pragma once

namespace cvt {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t is a UTF-16 code unit here");

inline const char16_t* AsUtf16(const wchar_t* text) {
    return reinterpret_cast<const char16_t*>(text);
}
inline char16_t* AsUtf16(wchar_t* text) { return reinterpret_cast<char16_t*>(text); }
inline const wchar_t* AsWide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}

}  // namespace cvt
