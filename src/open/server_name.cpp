#include "open/server_name.h"

namespace cvt {

namespace {

constexpr std::size_t kMaxLabelLength = 63;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

bool IsHexDigit(char16_t c) {
    return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool IsLabelChar(char16_t c) {
    return IsDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'-' ||
           c == u'_' || c == u'$';
}

struct Label {
    const char16_t* text;
    std::size_t length;
};

// A part that Windows' IPv4 parser takes as a number: decimal, octal (a leading zero, still
// all digits) or "0x" with hex digits.
bool IsNumberPart(Label label) {
    if (label.length >= 2 && label.text[0] == u'0' &&
        (label.text[1] == u'x' || label.text[1] == u'X')) {
        for (std::size_t i = 2; i < label.length; ++i) {
            if (!IsHexDigit(label.text[i])) return false;
        }
        return true;
    }
    for (std::size_t i = 0; i < label.length; ++i) {
        if (!IsDigit(label.text[i])) return false;
    }
    return label.length > 0;
}

// A part of plain dotted decimal: 0 to 255 without a leading zero. -1 when it is not one.
int DecimalOctet(Label label) {
    if (label.length == 0 || label.length > 3) return -1;
    if (label.length > 1 && label.text[0] == u'0') return -1;
    int value = 0;
    for (std::size_t i = 0; i < label.length; ++i) {
        if (!IsDigit(label.text[i])) return -1;
        value = value * 10 + (label.text[i] - u'0');
    }
    return value <= 255 ? value : -1;
}

bool IsPrivateAddress(const int octets[4]) {
    const int a = octets[0], b = octets[1];
    return a == 10 || a == 127 || (a == 172 && b >= 16 && b <= 31) || (a == 192 && b == 168) ||
           (a == 169 && b == 254);
}

bool EndsWithIgnoringAsciiCase(const char16_t* text, std::size_t length, const char* suffix) {
    std::size_t suffixLength = 0;
    while (suffix[suffixLength] != '\0') ++suffixLength;
    if (length < suffixLength) return false;
    const char16_t* tail = text + (length - suffixLength);
    for (std::size_t i = 0; i < suffixLength; ++i) {
        char16_t c = tail[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != static_cast<char16_t>(suffix[i])) return false;
    }
    return true;
}

}  // namespace

ServerPlace ClassifyServerName(const char16_t* name, std::size_t length) {
    if (name == nullptr || length == 0 || length > kMaxServerNameLength) {
        return ServerPlace::kOutside;
    }
    // Split at the dots; every character must be a label character, every label non-empty.
    Label labels[4] = {};
    std::size_t labelCount = 0;
    bool allNumbers = true;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= length; ++i) {
        if (i < length && name[i] != u'.') {
            if (!IsLabelChar(name[i])) return ServerPlace::kOutside;
            continue;
        }
        const Label label{name + start, i - start};
        if (label.length == 0 || label.length > kMaxLabelLength) return ServerPlace::kOutside;
        allNumbers = allNumbers && IsNumberPart(label);
        if (labelCount < 4) labels[labelCount] = label;
        ++labelCount;
        start = i + 1;
    }
    if (allNumbers) {
        // Windows reads it as an IPv4 address: inside only in plain dotted decimal and in a
        // private, link-local or loopback range.
        if (labelCount != 4) return ServerPlace::kOutside;
        int octets[4];
        for (std::size_t i = 0; i < 4; ++i) {
            octets[i] = DecimalOctet(labels[i]);
            if (octets[i] < 0) return ServerPlace::kOutside;
        }
        return IsPrivateAddress(octets) ? ServerPlace::kInside : ServerPlace::kOutside;
    }
    if (labelCount == 1) return ServerPlace::kInside;
    // An IPv6 address written as a name; no zone setting may make it inside.
    if (EndsWithIgnoringAsciiCase(name, length, ".ipv6-literal.net")) {
        return ServerPlace::kOutside;
    }
    return ServerPlace::kAskZone;
}

namespace {

// The server name of a "\\server..." path: the text up to the next backslash or the end.
std::size_t ServerNameLength(const char16_t* server) {
    std::size_t length = 0;
    while (server[length] != u'\0' && server[length] != u'\\') ++length;
    return length;
}

bool IsServerPath(const char16_t* path) {
    return path != nullptr && path[0] == u'\\' && path[1] == u'\\';
}

}  // namespace

ServerPlace ClassifyPathServer(const char16_t* path) {
    if (path == nullptr || path[0] == u'\0') return ServerPlace::kOutside;
    if (path[1] == u':' && path[2] == u'\\') {
        // Only a drive letter names a drive; "1:\", "::\" or a full-width letter is no drive of
        // the user's.
        const char16_t drive = path[0];
        const bool letter = (drive >= u'A' && drive <= u'Z') || (drive >= u'a' && drive <= u'z');
        return letter ? ServerPlace::kInside : ServerPlace::kOutside;
    }
    if (!IsServerPath(path)) return ServerPlace::kOutside;
    const char16_t* server = path + 2;
    return ClassifyServerName(server, ServerNameLength(server));
}

bool FormatZoneUrl(const char16_t* path, char16_t* buffer, std::size_t capacity) {
    if (!IsServerPath(path) || buffer == nullptr) return false;
    const char16_t* server = path + 2;
    const std::size_t serverLength = ServerNameLength(server);
    const char16_t* share = server + serverLength;
    std::size_t shareLength = 0;
    if (*share == u'\\') {
        ++share;
        shareLength = ServerNameLength(share);
    }
    constexpr char16_t kScheme[] = u"file://";
    constexpr std::size_t kSchemeLength = 7;
    const std::size_t needed = kSchemeLength + serverLength + 1 + shareLength + 1;
    if (needed > capacity) return false;
    char16_t* out = buffer;
    for (std::size_t i = 0; i < kSchemeLength; ++i) *out++ = kScheme[i];
    for (std::size_t i = 0; i < serverLength; ++i) *out++ = server[i];
    *out++ = u'/';
    for (std::size_t i = 0; i < shareLength; ++i) *out++ = share[i];
    *out = u'\0';
    return true;
}

}  // namespace cvt
