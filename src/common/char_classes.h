// Character tests that the pure text units share: the reading of a path, the ends a server
// may decide, and the layout of the question's lines. UTF-16 code units, no Win32.
#pragma once

namespace cvt {

// The blanks that separate words in Japanese mail: the ASCII space and the ideographic one.
constexpr bool IsBlank(char16_t c) { return c == u' ' || c == u'\u3000'; }

constexpr bool IsAsciiLetter(char16_t c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}
constexpr bool IsAsciiAlnum(char16_t c) { return IsAsciiLetter(c) || (c >= u'0' && c <= u'9'); }

// Windows compares names with ASCII case ignored.
constexpr char16_t FoldAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

constexpr bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }
constexpr bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace cvt
