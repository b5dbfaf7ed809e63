#include "open/question_text.h"

#include "common/char_classes.h"

namespace cvt {

namespace {

constexpr char16_t kEllipsis[] = u"...";
constexpr std::size_t kEllipsisLength = 3;
constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

bool IsOneOf(char16_t c, const char16_t* set) {
    for (; *set != u'\0'; ++set) {
        if (*set == c) return true;
    }
    return false;
}

// A line may end before text[at] (0 < at < length of text).
bool MayBreakBefore(const char16_t* text, std::size_t at) {
    const char16_t before = text[at - 1], after = text[at];
    if (IsLowSurrogate(after)) return false;
    if (IsAsciiAlnum(before) && IsAsciiAlnum(after)) return false;
    return !IsOneOf(after, u"）」』】。、，．：；！？)]}.,:;!?\\") &&
           !IsOneOf(before, u"（「『【([{");
}

// Characters of the next line: as many as fit (at least one, a surrogate pair kept whole),
// ended at the last place a line may end when there is one in its second half.
std::size_t LineLength(const char16_t* text, std::size_t length, LineFit fit) {
    if (fit(text, length)) return length;
    std::size_t low = 1, high = length;  // fit(low) is assumed, fit(high) is false
    while (high - low > 1) {
        const std::size_t middle = low + (high - low) / 2;
        (fit(text, middle) ? low : high) = middle;
    }
    if (IsLowSurrogate(text[low])) low = low > 1 ? low - 1 : low + 1;
    if (low == length) return low;
    // A place that would leave most of the line empty is not taken: the word is broken.
    for (std::size_t at = low; at > low / 2; --at) {
        if (MayBreakBefore(text, at)) return at;
    }
    return low;
}

// Lines that text takes, counted up to limit + 1.
std::size_t CountLines(const char16_t* text, std::size_t length, LineFit fit, std::size_t limit) {
    std::size_t lines = 0;
    while (length > 0 && lines <= limit) {
        const std::size_t taken = LineLength(text, length, fit);
        text += taken;
        length -= taken;
        ++lines;
    }
    return lines;
}

std::size_t Length(const char16_t* text) {
    std::size_t length = 0;
    while (text[length] != u'\0') ++length;
    return length;
}

std::size_t NextBackslash(const char16_t* text, std::size_t from) {
    while (text[from] != u'\0' && text[from] != u'\\') ++from;
    return from;
}

// Characters of the part of path that is never left out.
std::size_t HeadLength(const char16_t* path, std::size_t length) {
    if (length >= 3 && path[1] == u':' && path[2] == u'\\') return 3;
    if (length < 2 || path[0] != u'\\' || path[1] != u'\\') return 0;
    const std::size_t share = NextBackslash(path, 2);
    if (share == length) return length;
    const std::size_t end = NextBackslash(path, share + 1);
    return end == length ? length : end + 1;
}

// Head, "..." and the last tail characters of path, into out; returns the length.
std::size_t Compose(const char16_t* path, std::size_t length, std::size_t head, std::size_t tail,
                    char16_t* out) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < head; ++i) out[at++] = path[i];
    for (std::size_t i = 0; i < kEllipsisLength; ++i) out[at++] = kEllipsis[i];
    for (std::size_t i = length - tail; i < length; ++i) out[at++] = path[i];
    return at;
}

}  // namespace

NamedText NamedServer(const char16_t* path) {
    const std::size_t start = path[0] == u'\\' && path[1] == u'\\' ? 2 : 0;
    const std::size_t end = NextBackslash(path, start);
    if (end > start) return {path + start, end - start};
    return {path, Length(path)};
}

std::size_t WrapLines(const char16_t* text, std::size_t length, LineFit fit, char16_t* out,
                      std::size_t capacity) {
    if (capacity < WrappedCapacity(length)) return 0;
    std::size_t lines = 0, at = 0;
    while (length > 0) {
        if (lines > 0) {
            out[at++] = u'\r';
            out[at++] = u'\n';
        }
        const std::size_t taken = LineLength(text, length, fit);
        for (std::size_t i = 0; i < taken; ++i) out[at++] = text[i];
        text += taken;
        length -= taken;
        ++lines;
    }
    out[at] = u'\0';
    return lines;
}

std::size_t ShowPath(const char16_t* path, LineFit fit, char16_t* out, std::size_t capacity) {
    const std::size_t length = Length(path);
    if (capacity < ShownPathCapacity(length)) return 0;
    const std::size_t head = HeadLength(path, length);
    // The working space behind the wrapped text holds the unwrapped one.
    char16_t* plain = out + WrappedCapacity(length + kEllipsisLength);
    const std::size_t allowed =
        CountLines(plain, Compose(path, length, head, 0, plain), fit, kNoLimit);
    if (head == length || CountLines(path, length, fit, allowed) <= allowed) {
        return WrapLines(path, length, fit, out, capacity);
    }
    // The longest end that keeps to those lines; ends that hold more cannot take fewer lines.
    std::size_t low = 0, high = length - head;  // low fits, high does not
    while (high - low > 1) {
        const std::size_t middle = low + (high - low) / 2;
        const std::size_t composed = Compose(path, length, head, middle, plain);
        (CountLines(plain, composed, fit, allowed) <= allowed ? low : high) = middle;
    }
    std::size_t tail = low;
    if (tail > 0 && IsLowSurrogate(path[length - tail])) --tail;
    for (std::size_t i = length - tail; i < length; ++i) {
        if (path[i] == u'\\') {
            tail = length - i;
            break;
        }
    }
    return WrapLines(plain, Compose(path, length, head, tail, plain), fit, out,
                     WrappedCapacity(length + kEllipsisLength));
}

}  // namespace cvt
