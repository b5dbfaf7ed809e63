// Reading the path a line of mail means: where it starts, where the text alone says it ends,
// and the spellings that mail writers use for the same path (yen signs, full-width letters,
// file: and smb: URLs, "S:/a", "Sドライブ\a"), all turned into the path Windows takes.
//
// The reading writes the path in place over the text it was read from: every spelling is at
// least as long as the path it stands for, so the write never overtakes the read.
#include <cstddef>
#include <cstdint>

#include "common/char_classes.h"
#include "open/path_logic.h"

namespace cvt {

namespace {

constexpr char16_t kYen = 0x00A5;
constexpr char16_t kWideYen = 0xFFE5;
constexpr char16_t kWideBackslash = 0xFF3C;
constexpr char16_t kWideColon = 0xFF1A;
constexpr char16_t kDriveWord[] = u"ドライブ";
constexpr std::size_t kDriveWordLength = 4;

bool IsYenSign(char16_t c) { return c == kYen || c == kWideYen || c == kWideBackslash; }
bool IsBackslashLike(char16_t c) { return c == u'\\' || IsYenSign(c); }
bool IsColonLike(char16_t c) { return c == u':' || c == kWideColon; }
bool IsControl(char16_t c) { return c < 0x20; }

bool IsWideLetter(char16_t c) {
    return (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0xFF41 && c <= 0xFF5A);
}
bool IsDriveLetter(char16_t c) { return IsAsciiLetter(c) || IsWideLetter(c); }

// Full-width letters, digits and the punctuation a host name may hold, read as ASCII; every
// other character as it is.
char16_t NarrowOf(char16_t c) {
    if (IsWideLetter(c) || (c >= 0xFF10 && c <= 0xFF19) || c == 0xFF0D || c == 0xFF0E ||
        c == 0xFF3F) {
        return static_cast<char16_t>(c - 0xFEE0);
    }
    return c;
}

// Pairs of brackets that mail puts around a path. The symmetric quotes close at their next
// occurrence; the others count nesting, so balanced brackets inside names stay.
struct BracketPair {
    char16_t open;
    char16_t close;
};
constexpr BracketPair kBrackets[] = {
    {u'「', u'」'}, {u'『', u'』'}, {u'【', u'】'}, {u'（', u'）'}, {u'(', u')'}, {u'"', u'"'},
    {u'“', u'”'},   {u'‘', u'’'},   {u'<', u'>'},   {u'＜', u'＞'}, {u'[', u']'}, {u'［', u'］'},
    {u'`', u'`'},   {u'〔', u'〕'}, {u'〈', u'〉'}, {u'《', u'》'}, {u'{', u'}'}, {u'｛', u'｝'},
};
constexpr int kNoBracket = -1;
constexpr int kBracketPairs = static_cast<int>(sizeof(kBrackets) / sizeof(kBrackets[0]));

// The pair that c opens or closes, or kNoBracket. Asked for nearly every character of a
// path, so it is a switch rather than a search of the table.
constexpr int PairOf(char16_t c) {
    switch (c) {
        case u'「':
        case u'」':
            return 0;
        case u'『':
        case u'』':
            return 1;
        case u'【':
        case u'】':
            return 2;
        case u'（':
        case u'）':
            return 3;
        case u'(':
        case u')':
            return 4;
        case u'"':
            return 5;
        case u'“':
        case u'”':
            return 6;
        case u'‘':
        case u'’':
            return 7;
        case u'<':
        case u'>':
            return 8;
        case u'＜':
        case u'＞':
            return 9;
        case u'[':
        case u']':
            return 10;
        case u'［':
        case u'］':
            return 11;
        case u'`':
            return 12;
        case u'〔':
        case u'〕':
            return 13;
        case u'〈':
        case u'〉':
            return 14;
        case u'《':
        case u'》':
            return 15;
        case u'{':
        case u'}':
            return 16;
        case u'｛':
        case u'｝':
            return 17;
        default:
            return kNoBracket;
    }
}

constexpr bool SwitchMatchesTable() {
    for (int i = 0; i < kBracketPairs; ++i) {
        if (PairOf(kBrackets[i].open) != i || PairOf(kBrackets[i].close) != i) return false;
    }
    return true;
}
static_assert(SwitchMatchesTable(), "PairOf must name the pairs of kBrackets");

bool IsBracket(char16_t c) { return PairOf(c) != kNoBracket; }

// Punctuation that lists or introduces things: "参考：P:\a", "\\a\b、\\a\c".
bool IsListPunctuation(char16_t c) {
    switch (c) {
        case u':':
        case u',':
        case u';':
        case u'：':
        case u'，':
        case u'；':
        case u'、':
        case u'。':
            return true;
        default:
            return false;
    }
}

// Characters that may let a path start directly after them: a new path in running text
// stands after a space, a bracket, list punctuation or a line break.
bool SeparatesPaths(char16_t c) {
    return IsBlank(c) || IsBracket(c) || IsListPunctuation(c) || IsControl(c);
}

enum class Spelling {
    kUnc,         // \\server
    kDrive,       // X:\  (ASCII)
    kWideUnc,     // ¥¥server, ￥￥server, ＼＼server (and mixed with '\')
    kWideDrive,   // X:¥, Ｘ：￥ and the other mixes with a full-width or yen character
    kDriveWord,   // Xドライブ\ (any backslash-like)
    kSlashDrive,  // X:/a/b
    kFileUrl,     // file://server/a, file:///X:/a, file://///server/a, file://localhost/X:/a
    kSmbUrl,      // smb://server/a
};

struct Start {
    const char16_t* at = nullptr;  // first character of the spelling
    Spelling spelling = Spelling::kUnc;
    // URLs: where the server name or the drive letter begins, and whether it is a drive.
    const char16_t* body = nullptr;
    bool urlDrive = false;
    bool server = false;  // the path names a server (decides which start wins)
};

bool MatchesWordAt(const char16_t* p, const char16_t* lowerWord) {
    for (; *lowerWord != u'\0'; ++p, ++lowerWord) {
        const char16_t c = *p;  // the NUL fails the comparison before anything past it is read
        if (FoldAscii(c) != *lowerWord) return false;
    }
    return true;
}

// "X:/" or "X|/" (the old form) at p, as a file URL writes a drive.
bool UrlDriveAt(const char16_t* p) {
    return IsAsciiLetter(p[0]) && (p[1] == u':' || p[1] == u'|') && (p[2] == u'/' || p[2] == u'\0');
}

// A file: or smb: URL that starts at p ("file:" or "smb:" already matched there).
bool MatchUrl(const char16_t* p, bool file, Start* start) {
    const char16_t* q = p + (file ? 5 : 4);
    std::size_t slashes = 0;
    while (q[slashes] == u'/') ++slashes;
    const char16_t* body = q + slashes;
    start->at = p;
    start->body = body;
    if (!file) {
        if (slashes != 2 || *body == u'\0' || IsBlank(*body) || IsControl(*body)) return false;
        start->spelling = Spelling::kSmbUrl;
        start->server = true;
        return true;
    }
    start->spelling = Spelling::kFileUrl;
    if (slashes == 3 && UrlDriveAt(body)) {
        start->urlDrive = true;
        return true;
    }
    if (slashes == 2 && MatchesWordAt(body, u"localhost/") && UrlDriveAt(body + 10)) {
        start->body = body + 10;
        start->urlDrive = true;
        return true;
    }
    if ((slashes == 2 || slashes == 4 || slashes == 5) && *body != u'\0' && !IsBlank(*body) &&
        !IsControl(*body)) {
        start->server = true;
        return true;
    }
    return false;
}

// The path that starts at p, in any spelling, or false. asciiBefore says that an ASCII marker
// ("\\" or "X:\") stands earlier in the text: the yen spellings then do not count, since the
// writer showed that this text writes backslashes as backslashes.
bool StartAt(const char16_t* text, const char16_t* p, bool asciiBefore, Start* start) {
    const char16_t c = p[0];
    if (c == u'\0') return false;
    const char16_t before = p == text ? u'\0' : p[-1];
    *start = Start{};
    start->at = p;
    if (IsBackslashLike(c) && IsBackslashLike(p[1])) {
        const bool ascii = c == u'\\' && p[1] == u'\\';
        if (!ascii && asciiBefore) return false;
        start->spelling = ascii ? Spelling::kUnc : Spelling::kWideUnc;
        start->server = true;
        return true;
    }
    if (IsDriveLetter(c)) {
        // A letter inside a word is no drive letter only for the URL-like spellings; "X:\"
        // counts wherever it stands, as it always has.
        if (IsColonLike(p[1]) && IsBackslashLike(p[2])) {
            const bool ascii = IsAsciiLetter(c) && p[1] == u':' && p[2] == u'\\';
            if (!ascii && asciiBefore) return false;
            start->spelling = ascii ? Spelling::kDrive : Spelling::kWideDrive;
            return true;
        }
        if (p[1] == u':' && p[2] == u'/' && IsAsciiLetter(c) &&
            (p == text || SeparatesPaths(before))) {
            start->spelling = Spelling::kSlashDrive;
            return true;
        }
        if (MatchesWordAt(p + 1, kDriveWord) && IsBackslashLike(p[1 + kDriveWordLength])) {
            start->spelling = Spelling::kDriveWord;
            return true;
        }
        if (!IsAsciiAlnum(before)) {
            if (MatchesWordAt(p, u"file:")) return MatchUrl(p, true, start);
            if (MatchesWordAt(p, u"smb://")) return MatchUrl(p, false, start);
        }
    }
    return false;
}

// Every spelling holds a pair of neighbours: a backslash-like character, a colon (ASCII or
// full-width) or the ブ of "ドライブ", then a backslash-like character or a slash ("\\\\", "X:\",
// "X:/", "file://", "ブ\"). One of any two neighbours stands at an even distance from where
// a search begins, so the searches below look at every second character.
bool OpensPair(char16_t c) { return IsBackslashLike(c) || IsColonLike(c) || c == u'ブ'; }
bool ClosesPair(char16_t c) { return IsBackslashLike(c) || c == u'/'; }
bool MayBeInPair(char16_t c) {
    return c <= u'\\'
               ? (c == u'\\' || c == u':' || c == u'/')
               : (c == kYen || c == u'ブ' || c >= kWideColon) && (OpensPair(c) || ClosesPair(c));
}

// After an ASCII drive path the yen spellings no longer count, so only "\\\\", "file://" and
// "smb://" can still win over it. Each holds a pair of equal characters ('\\' or '/'), and
// one of any two neighbours stands at an even distance from where the search begins: every
// second character is enough to find them.
bool FindServerAfterAsciiDrive(const char16_t* text, const char16_t* p, Start* found) {
    for (;; p += 2) {
        const char16_t c = p[0];
        if (c == u'\0') return false;
        if (c == u'\\' || c == u'/') {
            // The pair that starts before this character, then the one that starts at it.
            const char16_t* pair = p > text && p[-1] == c ? p - 1 : (p[1] == c ? p : nullptr);
            for (int i = 0; pair != nullptr && i < 2; ++i) {
                const char16_t* at = nullptr;
                if (c == u'\\') {
                    at = pair;
                } else if (pair - text >= 4 && pair[-1] == u':') {
                    // "file://" or "smb://"; StartAt reads the word itself.
                    at = pair - text >= 5 && (pair[-5] | 0x20) == u'f' ? pair - 5 : pair - 4;
                }
                if (at != nullptr && StartAt(text, at, true, found) && found->server) return true;
                pair = pair != p && p[1] == c ? p : nullptr;
            }
        }
        if (p[1] == u'\0') return false;
    }
}

// The start of the path in text: the first server path in any spelling, else the first drive
// path. The first "\\" thus wins over a drive path before it, as it always has.
bool FindStart(const char16_t* text, Start* found) {
    Start drive;
    bool driveFound = false;
    bool asciiBefore = false;
    for (const char16_t* p = text;; p += 2) {
        if (asciiBefore) return FindServerAfterAsciiDrive(text, p, found) || (*found = drive, true);
        const char16_t c = p[0];
        if (c == u'\0') break;
        if (MayBeInPair(c)) {
            // The pair that ends at this character, then the one that starts at it; reads before
            // p stay within text, reads after it stop at the NUL.
            const char16_t* const pairs[] = {p > text ? p - 1 : nullptr, p};
            for (const char16_t* first : pairs) {
                if (first == nullptr || !OpensPair(first[0]) || !ClosesPair(first[1])) continue;
                // The spellings this pair may belong to, by where they would start: "file:" and
                // "smb:" before "://", "\\\\" at the pair, "X:" and "Xドライブ" before it.
                // Once a drive path is found, only a server path can still win.
                const std::ptrdiff_t back = first - text;
                const char16_t* starts[3];
                int count = 0;
                if (first[0] == u':' && first[1] == u'/' && first[2] == u'/') {
                    if (back >= 4) starts[count++] = first - 4;
                    if (back >= 3) starts[count++] = first - 3;
                }
                if (IsBackslashLike(first[0])) {
                    if (IsBackslashLike(first[1])) starts[count++] = first;
                } else if (!driveFound && back >= 1 && IsColonLike(first[0])) {
                    starts[count++] = first - 1;
                } else if (!driveFound && back >= 4 && first[0] == u'ブ') {
                    starts[count++] = first - 4;
                }
                for (int i = 0; i < count; ++i) {
                    Start start;
                    if (!StartAt(text, starts[i], asciiBefore, &start)) continue;
                    if (start.server) {
                        *found = start;
                        return true;
                    }
                    if (!driveFound || start.at < drive.at) {
                        drive = start;
                        driveFound = true;
                    }
                    if (start.spelling == Spelling::kDrive) asciiBefore = true;
                }
            }
        }
        if (p[1] == u'\0') break;
    }
    if (driveFound) *found = drive;
    return driveFound;
}

// The bracket the path sits in: the innermost opening bracket on the path's line, before its
// start, that nothing closes before the start. kNoBracket when there is none.
int EnclosingBracket(const char16_t* text, const char16_t* start) {
    int closed[kBracketPairs] = {};
    int quotes[kBracketPairs] = {};  // symmetric quotes seen, and where the nearest one stands
    const char16_t* nearestQuote[kBracketPairs] = {};
    int enclosing = kNoBracket;
    const char16_t* enclosingAt = nullptr;
    for (const char16_t* p = start; p != text && !IsControl(p[-1]);) {
        --p;
        const int i = PairOf(*p);
        if (i == kNoBracket) continue;
        const BracketPair& pair = kBrackets[i];
        if (pair.open == pair.close) {
            if (quotes[i]++ == 0) nearestQuote[i] = p;
        } else if (*p == pair.close) {
            ++closed[i];
        } else if (enclosing == kNoBracket) {
            if (closed[i] == 0) {
                enclosing = i;
                enclosingAt = p;
            } else {
                --closed[i];
            }
        }
    }
    // An odd count of a symmetric quote before the start leaves the nearest one open.
    for (int i = 0; i < kBracketPairs; ++i) {
        if (quotes[i] % 2 == 1 && (enclosingAt == nullptr || nearestQuote[i] > enclosingAt)) {
            enclosing = i;
            enclosingAt = nearestQuote[i];
        }
    }
    return enclosing;
}

// Characters that may end a path: controls (the NUL among them), blanks, brackets and list
// punctuation.
struct StopTable {
    bool ascii[128] = {};
};

constexpr StopTable MakeStopTable() {
    StopTable table;
    for (char16_t c = 0; c < 0x20; ++c) table.ascii[c] = true;
    table.ascii[u' '] = true;
    table.ascii[u':'] = table.ascii[u','] = table.ascii[u';'] = true;
    for (const BracketPair& pair : kBrackets) {
        if (pair.open < 128) table.ascii[pair.open] = true;
        if (pair.close < 128) table.ascii[pair.close] = true;
    }
    return table;
}
constexpr StopTable kStops = MakeStopTable();

// Above ASCII: the ideographic space, the brackets, the list punctuation and the yen signs lie
// in these ranges; a hit is looked at closely.
constexpr bool MaybeStop(char16_t c) {
    return c < 128 ? kStops.ascii[c]
                   : c >= 0xFF08 || (c >= 0x3000 && c <= 0x3015) || (c >= 0x2018 && c <= 0x201D) ||
                         c == kYen;
}

const char16_t* NextStop(const char16_t* p) {
    for (;; p += 4) {
        if (MaybeStop(p[0])) return p;
        if (MaybeStop(p[1])) return p + 1;
        if (MaybeStop(p[2])) return p + 2;
        if (MaybeStop(p[3])) return p + 3;
    }
}

// Line breaks that a path continues across: a mailer that wraps long lines breaks a path
// before one of its backslashes, and a reply quotes the next line with '>'.
struct Gaps {
    static constexpr int kMost = 8;
    const char16_t* from[kMost];  // the line break
    const char16_t* to[kMost];    // the backslash the path goes on with
    int count = 0;
};

// Where the path goes on after the line break at p, or nullptr: the next line, past its quote
// marks and blanks, starts with a single backslash, and the path before the break does not
// end with one.
const char16_t* ContinuationAfter(const char16_t* p) {
    if (IsBackslashLike(p[-1])) return nullptr;
    const char16_t* q = p;
    if (*q == u'\r') ++q;
    if (*q == u'\n') ++q;
    if (q == p) return nullptr;  // another control character
    while (*q == u'>' || *q == u'＞' || IsBlank(*q)) ++q;
    return IsBackslashLike(q[0]) && !IsBackslashLike(q[1]) ? q : nullptr;
}

// Where the text says the path ends: at the bracket that closes the one it sits in, at a
// control character, or at a blank, bracket or list punctuation that another path follows.
// from is the first character after the spelling's marker. *yenSeen tells whether a yen sign
// or a full-width backslash stands before the end; gaps gets the line breaks it goes across.
const char16_t* FindEnd(const char16_t* text, const char16_t* from, int bracket, bool* yenSeen,
                        Gaps* gaps) {
    const char16_t open = bracket == kNoBracket ? 0 : kBrackets[bracket].open;
    const char16_t close = bracket == kNoBracket ? 0 : kBrackets[bracket].close;
    int depth = 0;
    for (const char16_t* p = from;; ++p) {
        p = NextStop(p);
        const char16_t c = *p;
        if (IsControl(c)) {
            const char16_t* next = c == u'\0' ? nullptr : ContinuationAfter(p);
            if (next == nullptr || gaps->count == Gaps::kMost) return p;
            gaps->from[gaps->count] = p;
            gaps->to[gaps->count++] = next;
            p = next - 1;
            continue;
        }
        if (IsYenSign(c)) {
            *yenSeen = true;
            continue;
        }
        if (bracket != kNoBracket) {
            if (c == close) {
                if (depth == 0) return p;
                --depth;
            } else if (c == open) {
                ++depth;
            }
        }
        Start next;
        if (SeparatesPaths(c) && StartAt(text, p + 1, false, &next)) return p;
    }
}

// Two hex digits at p, or -1.
int HexByteAt(const char16_t* p) {
    int value = 0;
    for (int i = 0; i < 2; ++i) {
        const char16_t c = p[i];
        int digit;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        } else {
            return -1;
        }
        value = value * 16 + digit;
    }
    return value;
}

// Decodes the %xx escapes at p (before end) as one UTF-8 character into out (one or two
// UTF-16 units) and returns the characters read, or 0 when they are no whole, well-formed
// character. Control characters are not decoded: the path would hide them.
std::size_t DecodeEscape(const char16_t* p, const char16_t* end, char16_t* out, int* units) {
    auto byteAt = [&](std::size_t i) {
        return p + 3 * i + 2 < end && p[3 * i] == u'%' ? HexByteAt(p + 3 * i + 1) : -1;
    };
    const int lead = byteAt(0);
    if (lead < 0) return 0;
    int count;
    std::uint32_t code;
    if (lead < 0x80) {
        count = 1;
        code = static_cast<std::uint32_t>(lead);
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        count = 2;
        code = static_cast<std::uint32_t>(lead & 0x1F);
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        count = 3;
        code = static_cast<std::uint32_t>(lead & 0x0F);
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        count = 4;
        code = static_cast<std::uint32_t>(lead & 0x07);
    } else {
        return 0;
    }
    for (int i = 1; i < count; ++i) {
        const int next = byteAt(static_cast<std::size_t>(i));
        if (next < 0x80 || next > 0xBF) return 0;
        code = (code << 6) | static_cast<std::uint32_t>(next & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[count] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    if (code < 0x20 || code == 0x7F) return 0;
    if (code >= 0x10000) {
        code -= 0x10000;
        out[0] = static_cast<char16_t>(0xD800 + (code >> 10));
        out[1] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        *units = 2;
    } else {
        out[0] = static_cast<char16_t>(code);
        *units = 1;
    }
    return static_cast<std::size_t>(3 * count);
}

// Writes the path read from [start.at, end) over the same characters and ends it with a NUL.
char16_t* WritePath(const Start& start, const char16_t* end, bool yenSeen, const Gaps& gaps) {
    char16_t* const out = const_cast<char16_t*>(start.at);
    const bool ascii = start.spelling == Spelling::kUnc || start.spelling == Spelling::kDrive;
    if (ascii && !yenSeen && gaps.count == 0) {
        // The path is the text itself.
        *const_cast<char16_t*>(end) = u'\0';
        return out;
    }
    char16_t* w = out;
    const char16_t* r = start.at;
    bool url = false;
    switch (start.spelling) {
        case Spelling::kUnc:
        case Spelling::kDrive:
            break;
        case Spelling::kWideUnc:
            *w++ = u'\\';
            *w++ = u'\\';
            r += 2;
            // The server's name is ASCII; full-width letters and digits in it are typing.
            for (; r != end && !IsBackslashLike(*r) && !IsControl(*r); ++r) *w++ = NarrowOf(*r);
            break;
        case Spelling::kWideDrive:
        case Spelling::kDriveWord:
            *w++ = NarrowOf(*r);
            *w++ = u':';
            *w++ = u'\\';
            r += start.spelling == Spelling::kDriveWord ? 2 + kDriveWordLength : 3;
            break;
        case Spelling::kSlashDrive:
            url = true;  // its slashes are backslashes
            break;
        case Spelling::kFileUrl:
        case Spelling::kSmbUrl:
            url = true;
            r = start.body;
            if (start.urlDrive) {
                *w++ = *r;
                *w++ = u':';
                r += 2;
                // "file:///S:" names the drive's root, not its current folder.
                if (r >= end || *r != u'/') *w++ = u'\\';
            } else {
                *w++ = u'\\';
                *w++ = u'\\';
            }
            break;
    }
    const bool wide = !ascii;
    int gap = 0;
    for (; r < end;) {
        if (gap < gaps.count && r == gaps.from[gap]) {
            r = gaps.to[gap++];
            continue;
        }
        const char16_t c = *r;
        // A yen sign after a blank is a price in the sentence after the path ("見積書 ¥5,000"),
        // not a backslash of mixed typing.
        const bool yen = c == kYen || c == kWideYen || (wide && c == kWideBackslash);
        if (c == u'\\' || (yen && !IsBlank(w[-1])) || (url && c == u'/')) {
            *w++ = u'\\';
            ++r;
            continue;
        }
        if (url && start.spelling != Spelling::kSlashDrive && c == u'%') {
            int units = 0;
            if (const std::size_t read = DecodeEscape(r, end, w, &units)) {
                w += units;
                r += read;
                continue;
            }
        }
        *w++ = c;
        ++r;
    }
    *w = u'\0';
    return out;
}

}  // namespace

const char16_t* LocatePath(const char16_t* text) {
    Start start;
    if (text == nullptr || !FindStart(text, &start)) return nullptr;
    return start.at;
}

char16_t* LocatePath(char16_t* text) {
    return const_cast<char16_t*>(LocatePath(static_cast<const char16_t*>(text)));
}

char16_t* ExtractPath(char16_t* text) {
    Start start;
    if (text == nullptr || !FindStart(text, &start)) return nullptr;
    // The end is looked for past the marker's first two characters, or from a URL's server.
    const char16_t* from = start.body != nullptr ? start.body : start.at + 2;
    bool yenSeen = false;
    Gaps gaps;
    const char16_t* end = FindEnd(text, from, EnclosingBracket(text, start.at), &yenSeen, &gaps);
    if (end < from) end = from;
    // Blanks that end the selection, and one '>' after them, are no part of a name.
    while (end > from && end[-1] == u' ') --end;
    if (end > from && end[-1] == u'>') --end;
    return WritePath(start, end, yenSeen, gaps);
}

}  // namespace cvt
