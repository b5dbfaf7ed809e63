#include "host/menu_caption.h"

#include "open/path_logic.h"

namespace cvt {

namespace {

constexpr std::size_t kShortLimit = 18;
constexpr std::size_t kLongLimit = 30;
constexpr std::size_t kShortenedPathCapacity = 30;
// Room for the longest path that goes in (kLongLimit characters) with every ampersand doubled.
constexpr std::size_t kDoubledPathCapacity = 2 * kLongLimit + 1;

constexpr char16_t kWholePathFormat[] = u"%s を開く(&O)          ";
constexpr char16_t kShortenedPathFormat[] = u"%s...を開く(&O)          ";

// Length of text, counted no further than limit + 1: that is enough to tell whether it
// exceeds the limit, and a selection may be long.
std::size_t LengthUpTo(const char16_t* text, std::size_t limit) {
    std::size_t n = 0;
    while (n <= limit && text[n] != u'\0') ++n;
    return n;
}

// Copies text with each '&' written twice; text must fit doubled, NUL included.
void DoubleAmpersands(const char16_t* text, char16_t* out) {
    for (; *text != u'\0'; ++text) {
        *out++ = *text;
        if (*text == u'&') *out++ = u'&';
    }
    *out = u'\0';
}

}  // namespace

char16_t* LocateMenuPath(char16_t* text) { return ExtractPath(text); }

Status BuildMenuCaption(const char16_t* path, std::uint32_t menuKind, char16_t* caption) {
    if (path == nullptr || caption == nullptr) return kInvalidArg;
    const std::size_t limit = menuKind == kShortCaptionMenuKind ? kShortLimit : kLongLimit;
    char16_t doubled[kDoubledPathCapacity];
    if (LengthUpTo(path, limit) <= limit) {
        DoubleAmpersands(path, doubled);
        return BoundedFormat(caption, kMenuCaptionCapacity, kWholePathFormat, doubled);
    }
    // The copy is cut by the buffer when the limit is 30: that leaves 29 characters.
    char16_t shortened[kShortenedPathCapacity];
    BoundedCopy(shortened, kShortenedPathCapacity, path, limit);
    DoubleAmpersands(shortened, doubled);
    return BoundedFormat(caption, kMenuCaptionCapacity, kShortenedPathFormat, doubled);
}

}  // namespace cvt
