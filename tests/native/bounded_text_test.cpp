#include "common/bounded_text.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace cvt {
namespace {

constexpr char16_t kUntouched = 0xAAAA;
constexpr std::size_t kSlots = 16;
using Slots = std::array<char16_t, kSlots>;

Slots FreshSlots() {
    Slots slots;
    slots.fill(kUntouched);
    return slots;
}

// The text up to the first NUL.
std::u16string TextOf(const Slots& slots) { return std::u16string(slots.data()); }

// Slots at and past `from` must still hold the fill.
void ExpectUntouchedFrom(const Slots& slots, std::size_t from) {
    for (std::size_t i = from; i < kSlots; ++i) EXPECT_EQ(slots[i], kUntouched) << "slot " << i;
}

TEST(BoundedTextTest, FailedLooksAtTheTopBit) {
    EXPECT_FALSE(Failed(kOk));
    EXPECT_TRUE(Failed(kFail));
    EXPECT_TRUE(Failed(kInvalidArg));
    EXPECT_TRUE(Failed(kInsufficientBuffer));
}

struct FormatRow {
    const char* name;
    std::size_t capacity;
    const char16_t* format;
    const char16_t* argument;  // given to a %s of the format
    std::u16string expected;
    Status status;
};

void PrintTo(const FormatRow& row, std::ostream* out) { *out << row.name; }

class BoundedFormatTable : public testing::TestWithParam<FormatRow> {};

TEST_P(BoundedFormatTable, WritesWithinCapacity) {
    const FormatRow& row = GetParam();
    Slots slots = FreshSlots();
    EXPECT_EQ(BoundedFormat(slots.data(), row.capacity, row.format, row.argument), row.status);
    EXPECT_EQ(TextOf(slots), row.expected);
    if (row.status == kOk) {
        ExpectUntouchedFrom(slots, row.expected.size() + 1);
    } else {
        EXPECT_EQ(slots[row.capacity - 1], u'\0');
        ExpectUntouchedFrom(slots, row.capacity);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BoundedFormatTable,
    testing::Values(FormatRow{"Plain", 8, u"<%s>", u"ab", u"<ab>", kOk},
                    FormatRow{"ExactlyCapacityLessOne", 5, u"<%s>", u"ab", u"<ab>", kOk},
                    FormatRow{"OneTooLong", 4, u"<%s>", u"ab", u"<ab", kInsufficientBuffer},
                    FormatRow{"CutInsideArgument", 3, u"<%s>", u"abcdef", u"<a",
                              kInsufficientBuffer},
                    FormatRow{"CapacityOne", 1, u"%s", u"a", u"", kInsufficientBuffer},
                    FormatRow{"CapacityOneEmptyOutput", 1, u"%s", u"", u"", kOk},
                    FormatRow{"Percent", 8, u"%%%s%%", u"x", u"%x%", kOk},
                    FormatRow{"UnknownDirective", 8, u"a%s%d", u"b", u"ab", kInsufficientBuffer},
                    FormatRow{"LoneTrailingPercent", 8, u"ab%", u"", u"ab", kInsufficientBuffer},
                    FormatRow{"NullArgument", 8, u"a%s", nullptr, u"a", kInsufficientBuffer}),
    [](const testing::TestParamInfo<FormatRow>& info) { return info.param.name; });

TEST(BoundedFormatTest, RefusesBadCapacityWithoutWriting) {
    for (std::size_t capacity : {std::size_t{0}, kMaxTextCapacity + 1}) {
        Slots slots = FreshSlots();
        EXPECT_EQ(BoundedFormat(slots.data(), capacity, u"%s", u"a"), kInvalidArg);
        ExpectUntouchedFrom(slots, 0);
    }
    EXPECT_EQ(BoundedFormat(nullptr, 4, u"x"), kInvalidArg);
}

TEST(BoundedFormatTest, AcceptsLargestCapacity) {
    // Only the output and its NUL are written, so a small buffer stands in for a huge one.
    Slots slots = FreshSlots();
    EXPECT_EQ(BoundedFormat(slots.data(), kMaxTextCapacity, u"%s!", u"ab"), kOk);
    EXPECT_EQ(TextOf(slots), u"ab!");
    ExpectUntouchedFrom(slots, 4);
}

TEST(BoundedFormatTest, NullFormatIsAFormattingFailure) {
    Slots slots = FreshSlots();
    EXPECT_EQ(BoundedFormat(slots.data(), 4, nullptr), kInsufficientBuffer);
    EXPECT_EQ(slots[0], u'\0');
    EXPECT_EQ(slots[3], u'\0');
}

TEST(BoundedFormatTest, CharacterDirective) {
    Slots slots = FreshSlots();
    EXPECT_EQ(BoundedFormat(slots.data(), 8, u"%c%s%c", u'\\', u"ab", u'\x3042'), kOk);
    EXPECT_EQ(TextOf(slots), u"\\ab\x3042");
}

TEST(BoundedFormatTest, NulCharacterEndsTheTextButStillCounts) {
    Slots slots = FreshSlots();
    EXPECT_EQ(BoundedFormat(slots.data(), 6, u"a%cbc", 0), kOk);
    EXPECT_EQ(TextOf(slots), u"a");
    EXPECT_EQ(std::u16string(slots.data(), 5), std::u16string(u"a\0bc\0", 5));

    Slots cut = FreshSlots();
    EXPECT_EQ(BoundedFormat(cut.data(), 4, u"a%cbc", 0), kInsufficientBuffer);
    EXPECT_EQ(std::u16string(cut.data(), 4), std::u16string(u"a\0b\0", 4));
    ExpectUntouchedFrom(cut, 4);
}

struct CopyRow {
    const char* name;
    std::size_t capacity;
    const char16_t* source;
    std::size_t maxCount;
    std::u16string expected;
    Status status;
};

void PrintTo(const CopyRow& row, std::ostream* out) { *out << row.name; }

class BoundedCopyTable : public testing::TestWithParam<CopyRow> {};

TEST_P(BoundedCopyTable, CopiesWithinCapacity) {
    const CopyRow& row = GetParam();
    Slots slots = FreshSlots();
    EXPECT_EQ(BoundedCopy(slots.data(), row.capacity, row.source, row.maxCount), row.status);
    EXPECT_EQ(TextOf(slots), row.expected);
    ExpectUntouchedFrom(slots, row.capacity);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, BoundedCopyTable,
    testing::Values(CopyRow{"Whole", 8, u"abc", kCopyWholeString, u"abc", kOk},
                    CopyRow{"ExactlyCapacityLessOne", 4, u"abc", kCopyWholeString, u"abc", kOk},
                    CopyRow{"BufferFull", 3, u"abc", kCopyWholeString, u"ab", kInsufficientBuffer},
                    CopyRow{"StopsAtMaxCount", 8, u"abcdef", 3, u"abc", kOk},
                    CopyRow{"MaxCountEqualsLength", 8, u"abc", 3, u"abc", kOk},
                    CopyRow{"FullBeatsMaxCount", 4, u"abcdef", 4, u"abc", kInsufficientBuffer},
                    CopyRow{"MaxCountZero", 4, u"abc", 0, u"", kOk},
                    CopyRow{"EmptySource", 4, u"", kCopyWholeString, u"", kOk},
                    CopyRow{"CapacityOne", 1, u"a", kCopyWholeString, u"", kInsufficientBuffer},
                    CopyRow{"MaxCountTooLarge", 8, u"abc", kCopyWholeString + 1, u"", kInvalidArg},
                    CopyRow{"NullSource", 8, nullptr, kCopyWholeString, u"", kInvalidArg}),
    [](const testing::TestParamInfo<CopyRow>& info) { return info.param.name; });

TEST(BoundedCopyTest, RefusesBadCapacityWithoutWriting) {
    for (std::size_t capacity : {std::size_t{0}, kMaxTextCapacity + 1}) {
        Slots slots = FreshSlots();
        EXPECT_EQ(BoundedCopy(slots.data(), capacity, u"abc", kCopyWholeString), kInvalidArg);
        EXPECT_EQ(BoundedCopy(slots.data(), capacity, u"abc", kCopyWholeString + 1), kInvalidArg);
        ExpectUntouchedFrom(slots, 0);
    }
}

TEST(BoundedCopyTest, AcceptsLargestCapacity) {
    Slots slots = FreshSlots();
    EXPECT_EQ(BoundedCopy(slots.data(), kMaxTextCapacity, u"abc", kCopyWholeString), kOk);
    EXPECT_EQ(TextOf(slots), u"abc");
    ExpectUntouchedFrom(slots, 4);
}

}  // namespace
}  // namespace cvt
