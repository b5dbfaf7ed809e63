// BoundedCopy and BoundedFormat on arbitrary capacities, counts, formats and arguments,
// checked against an unbounded model of the output. Buffers are heap blocks of exactly the
// capacity, so a write past it is out of bounds.
//
// Input: capacity byte (0xFF: capacity 0, 0xFE: above the largest), maxCount byte (0xFF: the
// whole string, 0xFE: one above it), directive byte (bits 0-2: %s or %c per directive,
// bits 4-5: number of directives), then UTF-16LE text split at U+FFFF into the copy source
// and format pieces, then the %s arguments (a %c takes the first character of its argument,
// or NUL).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/bounded_text.h"

namespace {

using std::u16string;

// Reports the failed line, then aborts so the fuzzer keeps the input.
#define Check(condition)   \
    ((condition) ? (void)0 \
                 : (std::fprintf(stderr, "check failed at line %d\n", __LINE__), std::abort()))

constexpr int kMaxDirectives = 3;

struct Argument {
    bool isText;
    const char16_t* text;
    int character;
};

template <int N, typename... Passed>
cvt::Status Pass(char16_t* buffer, std::size_t capacity, const char16_t* format,
                 const Argument* args, int count, Passed... passed) {
    if constexpr (N == 0) {
        return cvt::BoundedFormat(buffer, capacity, format, passed...);
    } else {
        if (count == 0) return cvt::BoundedFormat(buffer, capacity, format, passed...);
        if (args->isText) {
            return Pass<N - 1>(buffer, capacity, format, args + 1, count - 1, passed...,
                               args->text);
        }
        return Pass<N - 1>(buffer, capacity, format, args + 1, count - 1, passed...,
                           args->character);
    }
}

// Keeps %% and turns any %s or %c inside a piece into the unknown directive %x, so that
// the directives of the format are exactly the ones the arguments were made for. A lone '%'
// at the end of a piece would swallow the next directive, so it becomes %x too, except at
// the very end of the format.
u16string Tame(const u16string& piece, bool last) {
    u16string out = piece;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] != u'%') continue;
        if (i + 1 == out.size()) {
            if (!last) out += u'x';
            break;
        }
        if (out[i + 1] == u's' || out[i + 1] == u'c') out[i + 1] = u'x';
        ++i;
    }
    return out;
}

// Output of format without bounds; *failed tells whether a directive was bad.
u16string Model(const u16string& format, const Argument* args, bool* failed) {
    u16string out;
    *failed = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != u'%') {
            out += format[i];
            continue;
        }
        const char16_t d = i + 1 < format.size() ? format[++i] : u'\0';
        if (d == u'%') {
            out += u'%';
        } else if (d == u's') {
            out += (args++)->text;
        } else if (d == u'c') {
            out += static_cast<char16_t>((args++)->character);
        } else {
            *failed = true;
            return out;
        }
    }
    return out;
}

std::size_t Capacity(std::uint8_t b) {
    if (b == 0xFF) return 0;
    if (b == 0xFE) return cvt::kMaxTextCapacity + 1;
    return b % 64 + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const std::size_t capacity = Capacity(data[0]);
    const std::size_t maxCount = data[1] == 0xFF   ? cvt::kCopyWholeString
                                 : data[1] == 0xFE ? cvt::kCopyWholeString + 1
                                                   : data[1];
    const int directives = std::min((data[2] >> 4) & 3, kMaxDirectives);
    std::vector<u16string> parts(1);
    for (std::size_t i = 3; i + 1 < size; i += 2) {
        const char16_t c = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (c == 0xFFFF) {
            parts.emplace_back();
        } else if (c != u'\0') {
            parts.back() += c;
        }
    }
    parts.resize(2 * directives + 2);
    const bool refused = capacity == 0 || capacity > cvt::kMaxTextCapacity;
    // A refused capacity writes nothing, so a small block stands in for it.
    const std::size_t slots = refused ? 4 : capacity;

    // BoundedCopy.
    {
        const u16string& source = parts[0];
        std::vector<char16_t> buffer(slots, 0xAAAA);
        const cvt::Status status =
            cvt::BoundedCopy(buffer.data(), capacity, source.c_str(), maxCount);
        if (refused) {
            Check(status == cvt::kInvalidArg);
            for (char16_t c : buffer) Check(c == 0xAAAA);
        } else if (maxCount > cvt::kCopyWholeString) {
            Check(status == cvt::kInvalidArg && buffer[0] == u'\0');
        } else {
            const std::size_t wanted = std::min(source.size(), maxCount);
            const std::size_t kept = std::min(wanted, capacity - 1);
            Check(status == (wanted >= capacity ? cvt::kInsufficientBuffer : cvt::kOk));
            Check(u16string(buffer.data()) == source.substr(0, kept));
        }
    }

    // BoundedFormat.
    {
        u16string format = Tame(parts[1], directives == 0);
        Argument args[kMaxDirectives];
        for (int i = 0; i < directives; ++i) {
            const u16string& argument = parts[2 + i];
            args[i].isText = ((data[2] >> i) & 1) != 0;
            args[i].text = argument.c_str();
            args[i].character = argument.empty() ? 0 : argument[0];
            format += args[i].isText ? u"%s" : u"%c";
            format += Tame(parts[2 + directives + i], i + 1 == directives);
        }
        bool failed = false;
        // The model stops at the first bad directive, so it never takes an argument that was
        // not passed; Tame keeps the pieces from asking for more.
        const u16string expected = Model(format, args, &failed);
        std::vector<char16_t> buffer(slots, 0xAAAA);
        const cvt::Status status =
            Pass<kMaxDirectives>(buffer.data(), capacity, format.c_str(), args, directives);
        if (refused) {
            Check(status == cvt::kInvalidArg);
            for (char16_t c : buffer) Check(c == 0xAAAA);
        } else {
            const std::size_t kept = std::min(expected.size(), capacity - 1);
            Check(u16string(buffer.data(), kept) == expected.substr(0, kept));
            Check(buffer[kept] == u'\0');
            const bool fits = !failed && expected.size() <= capacity - 1;
            Check(status == (fits ? cvt::kOk : cvt::kInsufficientBuffer));
            if (!fits) Check(buffer[capacity - 1] == u'\0');
        }
    }
    return 0;
}
