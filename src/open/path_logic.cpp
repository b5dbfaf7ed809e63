#include "open/path_logic.h"

#include <cstdint>

namespace cvt {

namespace {

// Character classes of the ASCII range: each scan tests one class bit per character. Index
// 128 stands for every character from U+0080 up, which belongs to no class.
enum : std::uint8_t {
    kEnd = 1,  // the terminating NUL; every scan stops on it
    kForbidden = 8,
    kColon = 16,
    kQuoting = 32,
};

struct ClassTable {
    std::uint8_t of[129] = {};
};

constexpr ClassTable MakeClassTable() {
    ClassTable table;
    table.of[0] = kEnd;
    for (const char16_t* c = ForbiddenPathChars; *c != u'\0'; ++c) table.of[*c] |= kForbidden;
    for (const char16_t* c = QuotingChars; *c != u'\0'; ++c) table.of[*c] |= kQuoting;
    table.of[u':'] |= kColon;
    return table;
}

constexpr ClassTable kClasses = MakeClassTable();

inline std::uint8_t ClassOf(char16_t c) { return kClasses.of[c < 128 ? c : 128]; }

// Highest character of any class in mask, so that most characters are passed over with a
// single comparison.
constexpr char16_t HighestOf(std::uint8_t mask) {
    char16_t highest = 0;
    for (char16_t c = 0; c < 128; ++c) {
        if (kClasses.of[c] & mask) highest = c;
    }
    return highest;
}

// First character at or after p with a class in mask (mask includes kEnd). Unrolled so that
// most characters cost one comparison and a not-taken branch; each read is guarded by the one
// before it not being the NUL, so nothing past the terminator is touched.
template <std::uint8_t mask, typename Char>
inline Char* Scan(Char* p) {
    static_assert(mask & kEnd, "every scan must stop at the end");
    constexpr char16_t kHighest = HighestOf(mask);
    static_assert(kHighest < 128, "classes live in the ASCII range");
    auto hit = [](char16_t c) { return c <= kHighest && (kClasses.of[c] & mask) != 0; };
    for (;; p += 4) {
        if (hit(p[0])) return p;
        if (hit(p[1])) return p + 1;
        if (hit(p[2])) return p + 2;
        if (hit(p[3])) return p + 3;
    }
}

}  // namespace

bool ContainsAnyOf(const char16_t* set, const char16_t* text) {
    if (set == nullptr || text == nullptr || *set == u'\0') return false;
    // A filter on the low byte lets most characters pass with one test; hits are confirmed
    // against the set itself.
    std::uint32_t filter[8] = {};
    for (const char16_t* s = set; *s != u'\0'; ++s) filter[(*s & 0xFF) >> 5] |= 1u << (*s & 31);
    for (const char16_t* p = text; *p != u'\0'; ++p) {
        const char16_t c = *p;
        if (((filter[(c & 0xFF) >> 5] >> (c & 31)) & 1u) == 0) continue;
        for (const char16_t* s = set; *s != u'\0'; ++s) {
            if (*s == c) return true;
        }
    }
    return false;
}

bool ValidatePath(const char16_t* path) {
    if (path == nullptr) return true;
    // A forbidden character, or any colon at position 3 or later (which makes the last colon
    // stand there too), gives the same verdict, so the first one found decides.
    for (const char16_t* p = path;; ++p) {
        p = Scan<kEnd | kForbidden | kColon>(p);
        const std::uint8_t cls = ClassOf(*p);
        if (cls & kEnd) return true;
        if (cls & kForbidden) return false;
        if (p - path >= 3) return false;  // a colon
    }
}

bool PathNamesFile(const char16_t* path) {
    if (path == nullptr) return false;
    // Only the final component counts, so it is read backwards from the end.
    const char16_t* p = Scan<kEnd>(path);
    bool dot = false;
    for (; p != path && p[-1] != u'\\'; --p) dot = dot || p[-1] == u'.';
    if (p == path) return false;  // no backslash
    const char16_t* lastBackslash = p - 1;
    if (lastBackslash != path && lastBackslash[-1] == u'\\') return false;
    return dot;
}

bool PathNeedsQuoting(const char16_t* path) {
    if (path == nullptr) return false;
    return *Scan<kEnd | kQuoting>(path) != u'\0';
}

}  // namespace cvt
