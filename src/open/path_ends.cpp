#include "open/path_ends.h"

#include "common/char_classes.h"

namespace cvt {

namespace {

// Characters that begin a remark after a name: the end lies before them. The particle を
// never begins a word, so after a backslash it begins the sentence ("…\日報\を見てください").
bool StartsRemark(char16_t c) {
    return c == u'\u3002' || c == u'\u3001' || c == u'\uFF0E' || c == u'\uFF0C' || c == u'(' ||
           c == u'\uFF08' || c == u'\u3092';
}

}  // namespace

std::size_t CuttableRestStart(const char16_t* path) {
    if (path == nullptr) return 0;
    std::size_t last = 0;     // one past the last backslash
    std::size_t minimum = 0;  // the last backslash must lie at or beyond this length
    int backslashes = 0;
    const bool server = path[0] == u'\\' && path[1] == u'\\';
    const bool drive = !server && path[0] != u'\0' && path[1] == u':' && path[2] == u'\\';
    if (!server && !drive) return 0;
    std::size_t i = 0;
    for (; path[i] != u'\0'; ++i) {
        if (path[i] != u'\\') continue;
        last = i + 1;
        // "\\server\share\": the fourth backslash opens the share's inside.
        if (++backslashes == 4 && server) minimum = last;
    }
    if (drive) minimum = 3;
    if (minimum == 0 || last < minimum || last == i) return 0;
    return last;
}

std::size_t ListCandidateEnds(const char16_t* path, std::size_t restStart, std::size_t* ends,
                              std::size_t capacity) {
    if (path == nullptr || restStart == 0 || ends == nullptr) return 0;
    std::size_t length = restStart;
    while (path[length] != u'\0') ++length;
    // Read backwards, so the ends come longest first and the shortest are the ones left out.
    std::size_t written = 0;
    for (std::size_t i = length; i-- > restStart && written < capacity;) {
        const bool textAfterSpaces = i > restStart && IsBlank(path[i - 1]) && !IsBlank(path[i]);
        if (!textAfterSpaces && !StartsRemark(path[i])) continue;
        std::size_t end = i;
        while (end > restStart && IsBlank(path[end - 1])) --end;
        ends[written++] = end;
    }
    return written;
}

std::size_t NameCoversRest(const char16_t* rest, const char16_t* name) {
    if (rest == nullptr || name == nullptr || name[0] == u'\0') return 0;
    if (name[0] == u'.' && (name[1] == u'\0' || (name[1] == u'.' && name[2] == u'\0'))) return 0;
    std::size_t n = 0;
    for (; name[n] != u'\0'; ++n) {
        if (rest[n] == u'\0' || FoldAscii(rest[n]) != FoldAscii(name[n])) return 0;
    }
    const char16_t last = rest[n - 1], next = rest[n];
    if (last >= 0xD800 && last <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) return 0;
    if (IsAsciiAlnum(last) && IsAsciiAlnum(next)) return 0;
    return n;
}

char16_t ListingFirstCharacter(const char16_t* rest) {
    if (rest == nullptr) return 0;
    const char16_t c = rest[0];
    if (c < 0x20 || c == u'.' || c == u'*' || c == u'?' || c == u'<' || c == u'>' || c == u'"' ||
        c == 0x7F || IsBlank(c) || StartsRemark(c) || IsSurrogate(c)) {
        return 0;
    }
    return c;
}

}  // namespace cvt
