#include "open/path_ends.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace cvt {
namespace {

// Per text path: where its cuttable rest starts, its explicit candidate ends (kept lengths,
// longest first), the listing's narrowing character, and listed names with how much of the
// rest each covers (0: no candidate). \\fs01\share\ is 13 characters, C:\ is 3.
struct EndsRow {
    std::u16string path;
    std::size_t restStart;
    std::vector<std::size_t> ends;
    char16_t first;
    std::vector<std::pair<std::u16string, std::size_t>> names;
};

const EndsRow kRows[] = {
    {u"\\\\fs01\\share\\見積書 に保存しました。",
     13,
     {24, 16},
     u'見',
     {{u"見積書", 3}, {u"見積", 2}, {u"見積書 に保存しました。", 12}, {u"見積書類", 0}}},
    {u"\\\\fs01\\share\\見積書に保存しました。", 13, {23}, u'見', {{u"見積書", 3}}},
    {u"\\\\fs01\\share\\見積書 (権限)", 13, {16}, u'見', {{u"見積書", 3}}},
    {u"\\\\fs01\\share\\見積書（佐藤）", 13, {16}, u'見', {{u"見積書（佐藤）", 7}}},
    {u"C:\\研修資料　に格納、以上", 3, {11, 7}, u'研', {{u"研修資料", 4}}},
    {u"\\\\fs01\\share\\A社 と B社 共通",
     13,
     {20, 17, 15},
     u'A',
     {{u"A社 と B社 共通", 10}, {u"a社", 2}}},
    {u"\\\\fs01\\share\\my docs  （メモ）", 13, {20, 15}, u'm', {{u"MY DOCS", 7}, {u"my", 2}}},
    // The folder itself when the rest starts with a space; "." and ".." are no names.
    {u"\\\\fs01\\share\\営業部\\ に置きました", 17, {17}, 0, {{u".", 0}, {u"..", 0}}},
    {u"\\\\fs01\\share\\日報\\を見てください", 16, {16}, 0, {}},
    // A word of the mail is no name's end, nor is the middle of a surrogate pair.
    {u"C:\\reports2024 here", 3, {14}, u'r', {{u"reports", 0}, {u"reports2024", 11}}},
    {u"C:\\\U0002000B\U0002000Bです",
     3,
     {},
     0,
     {{std::u16string(u"\U0002000B") + char16_t(0xD840), 0}, {u"\U0002000B", 2}}},
    {u"C:\\work  ", 3, {}, u'w', {{u"work", 4}}},
    {u"\\\\fs01\\share\\存在しない\\フォルダ", 19, {}, u'フ', {{u"フォルダ", 4}}},
    {u"C:\\.hidden 設定", 3, {10}, 0, {{u".hidden", 7}}},
    // Nothing to cut: a share's name, a bare server, a final backslash, a root, no path.
    {u"\\\\fs01\\share 資料", 0, {}, 0, {}},
    {u"\\\\fs01", 0, {}, 0, {}},
    {u"\\\\fs01\\share\\営業部\\", 0, {}, 0, {}},
    {u"C:\\", 0, {}, 0, {}},
    {u"見積書 に保存", 0, {}, 0, {}},
};

class EndsTable : public testing::TestWithParam<EndsRow> {};

TEST_P(EndsTable, ListsEndsAfterTheLastFolderAndMatchesListedNames) {
    const EndsRow& row = GetParam();
    const std::size_t restStart = CuttableRestStart(row.path.c_str());
    EXPECT_EQ(restStart, row.restStart);
    std::size_t ends[kMostCandidateEnds] = {};
    const std::size_t count =
        ListCandidateEnds(row.path.c_str(), restStart, ends, kMostCandidateEnds);
    EXPECT_EQ(std::vector<std::size_t>(ends, ends + count), row.ends);
    if (restStart == 0) return;
    EXPECT_EQ(ListingFirstCharacter(row.path.c_str() + restStart), row.first);
    for (const auto& [name, covered] : row.names) {
        EXPECT_EQ(NameCoversRest(row.path.c_str() + restStart, name.c_str()), covered);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, EndsTable, testing::ValuesIn(kRows));

TEST(PathEnds, ALongSentenceKeepsItsLongestEnds) {
    std::u16string path = u"C:\\a";
    for (int i = 0; i < 40; ++i) path += u" b";  // ends at 4, 6, ..., 82
    std::size_t ends[3] = {};
    EXPECT_EQ(ListCandidateEnds(path.c_str(), 3, ends, 3), 3u);
    EXPECT_EQ(std::vector<std::size_t>(ends, ends + 3), (std::vector<std::size_t>{82, 80, 78}));
}

}  // namespace
}  // namespace cvt
