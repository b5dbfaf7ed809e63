#include "open/path_logic.h"

#include <cstdint>

namespace cvt {

namespace {

// Character classes of the ASCII range: each scan tests one class bit per character. Index
// 128 stands for every character from U+0080 up, which belongs to no class.
enum : std::uint8_t {
    kEnd = 1,  // the terminating NUL; every scan stops on it
    kBackslash = 2,
    kCarriageReturn = 4,
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
    table.of[u'\\'] = kBackslash;
    table.of[u'\r'] = kCarriageReturn;
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

template <typename Char>
Char* Locate(Char* text) {
    if (text == nullptr) return nullptr;
    Char* drive = nullptr;
    bool driveSeen = false;
    // Both markers end in a backslash, so only backslashes need a closer look.
    for (Char* p = text;; ++p) {
        p = Scan<kEnd | kBackslash>(p);
        if (*p == u'\0') return drive;
        if (p == text) continue;
        const char16_t before = p[-1];
        if (before == u'\\') return p - 1;
        if (before == u':' && !driveSeen) {
            driveSeen = true;
            if (p - 1 != text) drive = p - 2;
        }
    }
}

char16_t* FindCarriageReturnOrEnd(char16_t* p) { return Scan<kEnd | kCarriageReturn>(p); }

// end points at the path's terminating NUL.
void StripBracketBefore(char16_t* path, char16_t* end) {
    if (end != path && end[-1] == u'>') end[-1] = u'\0';
}

}  // namespace

const char16_t* LocatePath(const char16_t* text) { return Locate(text); }

char16_t* LocatePath(char16_t* text) { return Locate(text); }

void CutAtCarriageReturn(char16_t* path) {
    if (path == nullptr) return;
    *FindCarriageReturnOrEnd(path) = u'\0';
}

void StripTrailingBracket(char16_t* path) {
    if (path == nullptr) return;
    StripBracketBefore(path, Scan<kEnd>(path));
}

char16_t* ExtractPath(char16_t* text) {
    if (text == nullptr) return nullptr;
    char16_t* drive = nullptr;
    char16_t* driveCut = nullptr;  // first carriage return at or after drive
    bool driveSeen = false;
    char16_t* p = text;
    for (;; ++p) {
        // Carriage returns matter only between a drive path's start and its first one.
        p = drive != nullptr && driveCut == nullptr ? Scan<kEnd | kBackslash | kCarriageReturn>(p)
                                                    : Scan<kEnd | kBackslash>(p);
        const char16_t c = *p;
        if (c == u'\0') break;
        if (c == u'\r') {
            driveCut = p;
            continue;
        }
        if (p == text) continue;
        const char16_t before = p[-1];
        if (before == u'\\') {
            // A server path wins; it runs on from here to the first carriage return.
            char16_t* start = p - 1;
            char16_t* end = FindCarriageReturnOrEnd(p + 1);
            *end = u'\0';
            StripBracketBefore(start, end);
            return start;
        }
        if (before == u':' && !driveSeen) {
            driveSeen = true;
            if (p - 1 != text) {
                drive = p - 2;
                if (*drive == u'\r') driveCut = drive;
            }
        }
    }
    if (drive == nullptr) return nullptr;
    char16_t* end = driveCut != nullptr ? driveCut : p;
    *end = u'\0';
    StripBracketBefore(drive, end);
    return drive;
}

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
