#include "host/menu_caption.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace cvt {
namespace {

// Built here independently of the formats: ten closing blanks.
const std::u16string kBlanks(10, u' ');
const std::u16string kWholeTail = u" を開く(&O)" + kBlanks;
const std::u16string kShortenedTail = u"...を開く(&O)" + kBlanks;

// A server path of n characters whose characters differ, so a wrong cut shows.
std::u16string PathOfLength(std::size_t n) {
    std::u16string path = u"\\\\fs01\\";
    for (char16_t c = u'0'; path.size() < n; c = c == u'9' ? u'0' : c + 1) path += c;
    path.resize(n);
    return path;
}

struct CaptionRow {
    const char* name;
    std::uint32_t kind;
    std::u16string selection;
    bool offered;
    std::u16string caption;
    std::u16string selectionAfter;  // the selection once the menu has looked at it
};

void PrintTo(const CaptionRow& row, std::ostream* out) { *out << row.name; }

class CaptionTable : public testing::TestWithParam<CaptionRow> {};

TEST_P(CaptionTable, BuildsTheItemText) {
    const CaptionRow& row = GetParam();
    EXPECT_TRUE(MenuKindTakesOpenItem(row.kind));
    std::u16string selection = row.selection;
    char16_t* path = LocateMenuPath(selection.data());
    EXPECT_EQ(std::u16string(selection.c_str()), row.selectionAfter);
    if (!row.offered) {
        EXPECT_EQ(path, nullptr);
        return;
    }
    ASSERT_NE(path, nullptr);
    std::array<char16_t, kMenuCaptionCapacity + 8> caption;
    caption.fill(u'\xAAAA');
    EXPECT_EQ(BuildMenuCaption(path, row.kind, caption.data()), kOk);
    EXPECT_EQ(std::u16string(caption.data()), row.caption);
    for (std::size_t i = kMenuCaptionCapacity; i < caption.size(); ++i) {
        EXPECT_EQ(caption[i], u'\xAAAA') << "slot " << i;
    }
}

const CaptionRow kCaptionRows[] = {
    {"Server", 3, u"\\\\fs01\\share", true, u"\\\\fs01\\share" + kWholeTail, u"\\\\fs01\\share"},
    {"BracketStripped", 4, u"see \\\\fs01\\share\\docs>", true,
     u"\\\\fs01\\share\\docs" + kWholeTail, u"see \\\\fs01\\share\\docs"},
    {"ThirtyWhole", 12, PathOfLength(30), true, PathOfLength(30) + kWholeTail, PathOfLength(30)},
    {"ThirtyOneCutTo29", 12, PathOfLength(31), true, PathOfLength(29) + kShortenedTail,
     PathOfLength(31)},
    {"ThirtyOneKind3", 3, PathOfLength(31), true, PathOfLength(29) + kShortenedTail,
     PathOfLength(31)},
    {"EighteenWhole", 11, PathOfLength(18), true, PathOfLength(18) + kWholeTail, PathOfLength(18)},
    {"NineteenCutTo18", 11, PathOfLength(19), true, PathOfLength(18) + kShortenedTail,
     PathOfLength(19)},
    {"NineteenKind4Whole", 4, PathOfLength(19), true, PathOfLength(19) + kWholeTail,
     PathOfLength(19)},
    {"LineBreakEnds", 3, u"C:\\temp\r\n", true, u"C:\\temp" + kWholeTail, u"C:\\temp"},
    {"BracketsAndYenSigns", 4, u"「\u00A5\u00A5fs01\u00A5資料」に置きました", true,
     u"\\\\fs01\\資料" + kWholeTail, u"「\\\\fs01\\資料"},
    {"InvalidStillOffered", 3, u"\\\\fs01\\a*b", true, u"\\\\fs01\\a*b" + kWholeTail,
     u"\\\\fs01\\a*b"},
    {"ColonFirst", 4, u":\\temp", false, u"", u":\\temp"},
    {"NoPath", 4, u"no path here", false, u"", u"no path here"},
    {"LongSelection", 12, u"at " + PathOfLength(5000), true, PathOfLength(29) + kShortenedTail,
     u"at " + PathOfLength(5000)},
    // Ampersands are doubled; the limits count the path's own characters.
    {"AmpersandDoubled", 3, u"\\\\fs01\\q&a", true, u"\\\\fs01\\q&&a" + kWholeTail,
     u"\\\\fs01\\q&a"},
    {"AmpersandsWithinShortLimit", 11, u"\\\\&&&&&&&&&&&&&&&&", true,
     u"\\\\" + std::u16string(32, u'&') + kWholeTail, u"\\\\&&&&&&&&&&&&&&&&"},
    {"AmpersandsPastShortLimit", 11, u"\\\\&&&&&&&&&&&&&&&&&", true,
     u"\\\\" + std::u16string(32, u'&') + kShortenedTail, u"\\\\&&&&&&&&&&&&&&&&&"},
    {"ThirtyAmpersandPath", 12, u"\\\\" + std::u16string(28, u'&'), true,
     u"\\\\" + std::u16string(56, u'&') + kWholeTail, u"\\\\" + std::u16string(28, u'&')},
    {"LongAmpersandPath", 12, u"\\\\" + std::u16string(60, u'&'), true,
     u"\\\\" + std::u16string(54, u'&') + kShortenedTail, u"\\\\" + std::u16string(60, u'&')},
};

INSTANTIATE_TEST_SUITE_P(Table, CaptionTable, testing::ValuesIn(kCaptionRows),
                         [](const testing::TestParamInfo<CaptionRow>& info) {
                             return info.param.name;
                         });

TEST(MenuCaptionTest, OnlyFourKindsTakeTheItem) {
    for (std::uint32_t kind = 0; kind < 20; ++kind) {
        const bool expected = kind == 3 || kind == 4 || kind == 11 || kind == 12;
        EXPECT_EQ(MenuKindTakesOpenItem(kind), expected) << kind;
    }
}

TEST(MenuCaptionTest, NullArgumentsAreRefused) {
    char16_t caption[kMenuCaptionCapacity];
    EXPECT_EQ(BuildMenuCaption(nullptr, 3, caption), kInvalidArg);
    EXPECT_EQ(BuildMenuCaption(u"\\\\a", 3, nullptr), kInvalidArg);
}

}  // namespace
}  // namespace cvt
