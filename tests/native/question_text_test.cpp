#include "open/question_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cvt {
namespace {

// A line of `limit` units: ideographs and kana take two, everything else one.
std::size_t Width(const char16_t* text, std::size_t length) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < length; ++i)
        width += text[i] >= 0x3000 && (text[i] < 0xD800 || text[i] > 0xDFFF) ? 2 : 1;
    return width;
}
bool FitsLimit(const void* limit, const char16_t* text, std::size_t length) {
    return Width(text, length) <= *static_cast<const std::size_t*>(limit);
}

std::vector<std::u16string> Lines(const std::u16string& text) {
    std::vector<std::u16string> lines;
    std::size_t start = 0, end;
    while ((end = text.find(u"\r\n", start)) != std::u16string::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    lines.push_back(text.substr(start));
    return lines;
}

struct Laid {
    std::u16string text;
    std::size_t lines;
};

Laid Wrap(const std::u16string& text, std::size_t limit) {
    std::u16string out(WrappedCapacity(text.size()), u'\xAAAA');
    const std::size_t lines =
        WrapLines(text.data(), text.size(), {&FitsLimit, &limit}, out.data(), out.size());
    return {out.c_str(), lines};
}

Laid Show(const std::u16string& path, std::size_t limit) {
    std::u16string out(ShownPathCapacity(path.size()), u'\xAAAA');
    const std::size_t lines = ShowPath(path.c_str(), {&FitsLimit, &limit}, out.data(), out.size());
    return {out.c_str(), lines};
}

TEST(QuestionTextTest, WrapsWhereALineMayEnd) {
    const struct {
        std::u16string text;
        std::size_t limit;
        std::u16string wrapped;
    } rows[] = {
        {u"ab cd", 5, u"ab cd"},
        {u"ab cd", 3, u"ab \r\ncd"},
        {u"files.example", 8, u"files.\r\nexample"},           // not inside a word
        {u"abcdefghij", 4, u"abcd\r\nefgh\r\nij"},             // a word too long is broken
        {u"あいう。", 6, u"あい\r\nう。"},                     // no line begins with 。
        {u"サーバー（files）", 12, u"サーバー\r\n（files）"},  // nor ends with （
        {u"a\U0001F600b", 2, u"a\r\n\U0001F600\r\nb"},         // a surrogate pair stays whole
        {u"あ", 1, u"あ"},
    };
    for (const auto& row : rows) {
        const Laid laid = Wrap(row.text, row.limit);
        EXPECT_EQ(laid.text, row.wrapped) << std::string(row.text.begin(), row.text.end());
        EXPECT_EQ(laid.lines, Lines(row.wrapped).size());
    }
    char16_t small[6];
    const std::size_t limit = 3;
    EXPECT_EQ(WrapLines(u"ab", 2, {&FitsLimit, &limit}, small, 6), 0u);
}

TEST(QuestionTextTest, TheOutsideServerLineKeepsEveryCharacterAndFits) {
    const std::u16string server(75, u'a');
    const std::u16string line =
        u"社外の可能性があるサーバー（" + server + u"）です。開いてよろしいですか？";
    for (std::size_t limit : {10, 30, 61, 200}) {
        const Laid laid = Wrap(line, limit);
        std::u16string joined;
        for (const std::u16string& part : Lines(laid.text)) {
            EXPECT_LE(Width(part.data(), part.size()), limit);
            joined += part;
        }
        EXPECT_EQ(joined, line) << limit;
        EXPECT_EQ(laid.lines, Lines(laid.text).size());
    }
}

TEST(QuestionTextTest, ShortensAPathInItsMiddleKeepingServerAndShare) {
    const std::u16string longServer = u"\\\\" + std::u16string(30, u'a') + u"\\share\\";
    const struct {
        std::u16string path;
        std::size_t limit;
        std::u16string shown;
    } rows[] = {
        {u"\\\\fs01\\share\\R&D", 20, u"\\\\fs01\\share\\R&D"},
        {u"\\\\fs01\\share\\folder1\\folder2\\end", 20, u"\\\\fs01\\share\\...\\end"},
        {u"\\\\fs01\\share\\folder1\\folder2\\end", 22, u"\\\\fs01\\share\\...\\end"},
        {u"\\\\fs01\\share\\averyveryverylongname", 20, u"\\\\fs01\\share\\...name"},
        {u"C:\\work\\folder1\\folder2\\a.txt", 14, u"C:\\...\\a.txt"},
        {u"\\\\fs01\\a-share-name-that-is-long", 20, u"\\\\fs01\\a-share-name-\r\nthat-is-long"},
        // The head takes two lines with "...": the path may use both.
        {longServer + u"x", 20,
         u"\\\\" + std::u16string(18, u'a') + u"\r\n" + std::u16string(12, u'a') + u"\\share\\x"},
        {longServer + u"folder1\\folder2\\folder3\\end", 20,
         u"\\\\" + std::u16string(18, u'a') + u"\r\n" + std::u16string(12, u'a') +
             u"\\\r\nshare\\...\\end"},
    };
    for (const auto& row : rows) {
        const Laid laid = Show(row.path, row.limit);
        EXPECT_EQ(laid.text, row.shown) << std::string(row.path.begin(), row.path.end());
        EXPECT_EQ(laid.lines, Lines(row.shown).size());
    }
    char16_t small[8];
    const std::size_t limit = 3;
    EXPECT_EQ(ShowPath(u"C:\\ab", {&FitsLimit, &limit}, small, 8), 0u);
}

TEST(QuestionTextTest, NamesTheServerOrWhatStandsForIt) {
    const std::pair<std::u16string, std::u16string> rows[] = {
        {u"\\\\files.example.com\\share", u"files.example.com"},
        {u"\\\\fs01", u"fs01"},
        {u"1:\\x", u"1:"},
        {u"\\\\\\share", u"\\\\\\share"},
    };
    for (const auto& row : rows) {
        const NamedText named = NamedServer(row.first.c_str());
        EXPECT_EQ(std::u16string(named.text, named.length), row.second);
    }
}

}  // namespace
}  // namespace cvt
