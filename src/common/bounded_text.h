// Bounded formatting and copying of UTF-16 text into caller-owned buffers. Capacities count
// char16_t units with the terminating NUL. Nothing here allocates or throws.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cvt {

// HRESULT-shaped results: 0 is success, a set top bit is a failure.
using Status = std::uint32_t;
constexpr Status kOk = 0;
constexpr Status kFail = 0x80004005u;
constexpr Status kInvalidArg = 0x80070057u;
constexpr Status kInsufficientBuffer = 0x8007007Au;

constexpr bool Failed(Status status) { return (status & 0x80000000u) != 0; }

// Largest capacity either function accepts.
constexpr std::size_t kMaxTextCapacity = 0x7FFFFFFF;
// maxCount for BoundedCopy meaning "the whole string"; also the largest count accepted.
constexpr std::size_t kCopyWholeString = 0x7FFFFFFE;

// Formats into buffer. Directives: %s (const char16_t*, NUL-terminated), %c (one char16_t,
// passed promoted to int) and %%. A NUL given to %c is stored like any other character, so
// the visible text ends there while later output still counts against the capacity.
// - capacity 0 or above kMaxTextCapacity, or a null buffer: kInvalidArg, nothing written.
// - output of at most capacity - 1 characters: stored with a NUL after it, kOk.
// - longer output: the first capacity - 1 characters and a NUL in the last slot,
//   kInsufficientBuffer.
// - an unknown directive, a lone '%' at the end, a null %s argument or a null format is a
//   formatting failure: the output made before it stands, NUL-terminated, the last slot holds
//   a NUL, and the result is kInsufficientBuffer.
Status BoundedFormat(char16_t* buffer, std::size_t capacity, const char16_t* format, ...);

// Copies at most maxCount characters of source into buffer.
// - capacity 0 or above kMaxTextCapacity, or a null buffer: kInvalidArg, nothing written.
// - maxCount above kCopyWholeString, or a null source: kInvalidArg, buffer holds "".
// - copying stops at source's NUL, at maxCount characters or when capacity characters have
//   been copied. In the last case the last copied character becomes the NUL and the result
//   is kInsufficientBuffer; otherwise a NUL follows the copy and the result is kOk.
Status BoundedCopy(char16_t* buffer, std::size_t capacity, const char16_t* source,
                   std::size_t maxCount);

}  // namespace cvt
