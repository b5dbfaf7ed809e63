#include "common/bounded_text.h"

#include <cstdarg>

namespace cvt {

namespace {

// Appends to a buffer of limit + 1 slots; stops storing once limit characters are in.
class BoundedWriter {
public:
    BoundedWriter(char16_t* buffer, std::size_t limit) : buffer_(buffer), limit_(limit) {}

    // Returns false once the output no longer fits.
    bool Put(char16_t c) {
        if (used_ == limit_) return false;
        buffer_[used_++] = c;
        return true;
    }

    bool PutText(const char16_t* text) {
        for (; *text != u'\0'; ++text) {
            if (!Put(*text)) return false;
        }
        return true;
    }

    void Terminate() { buffer_[used_] = u'\0'; }

private:
    char16_t* buffer_;
    std::size_t limit_;
    std::size_t used_ = 0;
};

bool CapacityAccepted(const char16_t* buffer, std::size_t capacity) {
    return buffer != nullptr && capacity != 0 && capacity <= kMaxTextCapacity;
}

enum class FormatOutcome { kDone, kTooLong, kBadFormat };

FormatOutcome FormatInto(BoundedWriter& out, const char16_t* format, std::va_list args) {
    if (format == nullptr) return FormatOutcome::kBadFormat;
    for (const char16_t* f = format; *f != u'\0'; ++f) {
        if (*f != u'%') {
            if (!out.Put(*f)) return FormatOutcome::kTooLong;
            continue;
        }
        ++f;
        bool fits = true;
        switch (*f) {
            case u's': {
                const char16_t* text = va_arg(args, const char16_t*);
                if (text == nullptr) return FormatOutcome::kBadFormat;
                fits = out.PutText(text);
                break;
            }
            case u'c':
                fits = out.Put(static_cast<char16_t>(va_arg(args, int)));
                break;
            case u'%':
                fits = out.Put(u'%');
                break;
            default:  // includes the NUL of a trailing lone '%'
                return FormatOutcome::kBadFormat;
        }
        if (!fits) return FormatOutcome::kTooLong;
    }
    return FormatOutcome::kDone;
}

}  // namespace

Status BoundedFormat(char16_t* buffer, std::size_t capacity, const char16_t* format, ...) {
    if (!CapacityAccepted(buffer, capacity)) return kInvalidArg;
    BoundedWriter out(buffer, capacity - 1);
    std::va_list args;
    va_start(args, format);
    const FormatOutcome outcome = FormatInto(out, format, args);
    va_end(args);
    out.Terminate();
    if (outcome == FormatOutcome::kDone) return kOk;
    buffer[capacity - 1] = u'\0';
    return kInsufficientBuffer;
}

Status BoundedCopy(char16_t* buffer, std::size_t capacity, const char16_t* source,
                   std::size_t maxCount) {
    if (!CapacityAccepted(buffer, capacity)) return kInvalidArg;
    if (maxCount > kCopyWholeString || source == nullptr) {
        buffer[0] = u'\0';
        return kInvalidArg;
    }
    std::size_t copied = 0;
    while (copied < capacity && copied < maxCount && source[copied] != u'\0') {
        buffer[copied] = source[copied];
        ++copied;
    }
    if (copied == capacity) {
        buffer[capacity - 1] = u'\0';
        return kInsufficientBuffer;
    }
    buffer[copied] = u'\0';
    return kOk;
}

}  // namespace cvt
