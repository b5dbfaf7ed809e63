// The texts of the question before a path is opened, laid out for the width of their
// controls: a line broken where it is too wide, and a path shortened in its middle. The
// dialog measures; this is pure text logic, no Win32.
#pragma once

#include <cstddef>

namespace cvt {

// Whether length characters of text fit on one line of a control; the dialog answers with the
// control's font and width.
struct LineFit {
    bool (*fits)(const void* context, const char16_t* text, std::size_t length);
    const void* context;
    bool operator()(const char16_t* text, std::size_t length) const {
        return fits(context, text, length);
    }
};

// The name the question for a server that may be outside names: the server of a "\\server"
// path, otherwise the text before the first backslash; the whole path when that is empty.
struct NamedText {
    const char16_t* text;
    std::size_t length;
};
NamedText NamedServer(const char16_t* path);

// Capacity for text of length characters broken into lines ("\r\n" between them), NUL counted.
constexpr std::size_t WrappedCapacity(std::size_t length) { return 3 * length + 1; }

// Writes text broken into lines that each fit (a character wider than a line takes a line of
// its own): a line ends where a line may end (not inside a run of ASCII letters and digits, not
// before a closing mark or a backslash or after an opening mark, never inside a surrogate pair)
// unless no such place is in the line's second half. Returns the number of lines, 0 when capacity
// is too small.
std::size_t WrapLines(const char16_t* text, std::size_t length, LineFit fit, char16_t* out,
                      std::size_t capacity);

// Capacity for ShowPath with a path of pathLength characters (the text and its working space).
constexpr std::size_t ShownPathCapacity(std::size_t pathLength) {
    return WrappedCapacity(pathLength + 3) + pathLength + 4;
}

// The path as the question shows it, written wrapped like WrapLines. Its head ("\\server\share\"
// or "X:\") is always shown whole, however many lines it takes with "..." after it; the path
// is shown whole when it needs no more lines than that, otherwise the head, "..." and as much
// of the end as those lines hold, from a backslash when that end holds one. Returns the number
// of lines, 0 when capacity is too small.
std::size_t ShowPath(const char16_t* path, LineFit fit, char16_t* out, std::size_t capacity);

}  // namespace cvt
