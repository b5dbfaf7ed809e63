#include "open/path_ends.h"

namespace cvt {

namespace {

bool IsSpace(char16_t c) { return c == u' ' || c == u'\u3000'; }

// Characters that begin a remark after a name: the end lies before them.
bool StartsRemark(char16_t c) {
    return c == u'\u3002' || c == u'\u3001' || c == u'\uFF0E' || c == u'\uFF0C' || c == u'(' ||
           c == u'\uFF08';
}

bool IsAsciiAlphanumeric(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

char16_t FoldAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; }

bool IsSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDFFF; }

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
    // Found shortest first while reading forwards; kept as the longest `capacity` ones.
    std::size_t found[kMostCandidateEnds];
    std::size_t count = 0, first = 0;  // found[first..] in a ring once full
    std::size_t spaceRun = 0;          // start of the spaces just read, or 0 for none
    auto add = [&](std::size_t end) {
        if (count > 0 && found[(first + count - 1) % kMostCandidateEnds] == end) return;
        if (count < kMostCandidateEnds) {
            found[(first + count++) % kMostCandidateEnds] = end;
        } else {
            found[first] = end;
            first = (first + 1) % kMostCandidateEnds;
        }
    };
    for (std::size_t i = restStart; path[i] != u'\0'; ++i) {
        const char16_t c = path[i];
        if (IsSpace(c)) {
            if (spaceRun == 0) spaceRun = i;
            continue;
        }
        if (spaceRun != 0) add(spaceRun);  // more text follows the spaces
        if (StartsRemark(c)) add(spaceRun != 0 ? spaceRun : i);
        spaceRun = 0;
    }
    std::size_t written = 0;
    for (std::size_t k = count; k > 0 && written < capacity; --k) {
        ends[written++] = found[(first + k - 1) % kMostCandidateEnds];
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
    if (IsAsciiAlphanumeric(last) && IsAsciiAlphanumeric(next)) return 0;
    return n;
}

char16_t ListingFirstCharacter(const char16_t* rest) {
    if (rest == nullptr) return 0;
    const char16_t c = rest[0];
    if (c < 0x20 || c == u'.' || c == u'*' || c == u'?' || c == u'<' || c == u'>' || c == u'"' ||
        c == 0x7F || IsSpace(c) || StartsRemark(c) || IsSurrogate(c)) {
        return 0;
    }
    return c;
}

}  // namespace cvt
