#include "open/path_ends.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace cvt {
namespace {

// One row per text path: where its cuttable rest starts, its explicit candidate ends (longest
// first, as the kept lengths of the path), the listing's narrowing character, and listed
// names with how much of the rest each covers (0: it is no candidate).
struct EndsRow {
    const char* name;
    std::u16string path;
    std::size_t restStart;
    std::vector<std::size_t> ends;
    char16_t listingFirst;
    std::vector<std::pair<std::u16string, std::size_t>> names;
};

void PrintTo(const EndsRow& row, std::ostream* out) { *out << row.name; }

// \\fs01\share\ is 13 characters, C:\ is 3.
const EndsRow kRows[] = {
    {"sentence after a space",
     u"\\\\fs01\\share\\見積書 に保存しました。",
     13,
     {24, 16},
     u'見',
     {{u"見積書", 3}, {u"見積", 2}, {u"見積書 に保存しました。", 12}, {u"見積書類", 0}}},
    {"particle glued to the name",
     u"\\\\fs01\\share\\見積書に保存しました。",
     13,
     {23},
     u'見',
     {{u"見積書", 3}, {u"見積書に保存しました", 10}}},
    {"remark in parentheses after a space",
     u"\\\\fs01\\share\\見積書 (権限がない場合)",
     13,
     {16},
     u'見',
     {{u"見積書", 3}}},
    {"full-width remark glued",
     u"\\\\fs01\\share\\見積書（佐藤）",
     13,
     {16},
     u'見',
     {{u"見積書（佐藤）", 7}, {u"見積書", 3}}},
    {"ideographic space and commas",
     u"C:\\研修資料　に格納、以上",
     3,
     {11, 7},
     u'研',
     {{u"研修資料", 4}}},
    {"prose-like name with spaces",
     u"\\\\fs01\\share\\A社 と B社 共通",
     13,
     {20, 17, 15},
     u'A',
     {{u"A社 と B社 共通", 10}, {u"a社", 2}, {u"A社 と", 4}}},
    {"spaces before a remark are dropped",
     u"\\\\fs01\\share\\my docs  （メモ）",
     13,
     {20, 15},
     u'm',
     {{u"MY DOCS", 7}, {u"my", 2}, {u"My Docs  （メモ）", 13}}},
    {"the folder itself when the rest starts with a space",
     u"\\\\fs01\\share\\営業部\\ に置きました",
     17,
     {17},
     0,
     {{u".", 0}, {u"..", 0}}},
    {"a word of the mail is no name's end",
     u"C:\\reports2024 here",
     3,
     {14},
     u'r',
     {{u"reports", 0}, {u"reports2024", 11}, {u"REPORTS2024 HERE", 16}}},
    {"no end inside a surrogate pair",
     u"C:\\\U0002000B\U0002000Bです",
     3,
     {},
     0,
     {{std::u16string(u"\U0002000B") + char16_t(0xD840), 0}, {u"\U0002000B", 2}}},
    {"trailing spaces are no end", u"C:\\work  ", 3, {}, u'w', {{u"work", 4}}},
    {"only the last folder is cut",
     u"\\\\fs01\\share\\存在しない\\フォルダ",
     19,
     {},
     u'フ',
     {{u"フォルダ", 4}}},
    {"a dot or a wildcard takes every name", u"C:\\.hidden 設定", 3, {10}, 0, {{u".hidden", 7}}},
    {"a share's name is not cut", u"\\\\fs01\\share 資料", 0, {}, 0, {}},
    {"a bare server", u"\\\\fs01", 0, {}, 0, {}},
    {"a folder that ends with its backslash", u"\\\\fs01\\share\\営業部\\", 0, {}, 0, {}},
    {"a drive's root", u"C:\\", 0, {}, 0, {}},
    {"no path form", u"見積書 に保存", 0, {}, 0, {}},
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
    const char16_t* rest = row.path.c_str() + restStart;
    EXPECT_EQ(ListingFirstCharacter(rest), row.listingFirst);
    for (const auto& [name, covered] : row.names) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        EXPECT_EQ(NameCoversRest(rest, name.c_str()), covered);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, EndsTable, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<EndsRow>& info) {
                             std::string name;
                             for (char c : std::string(info.param.name)) {
                                 name += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ? c : '_';
                             }
                             return name;
                         });

TEST(PathEnds, ALongSentenceKeepsItsLongestEndsWithinTheCapacity) {
    std::u16string path = u"C:\\a";
    for (int i = 0; i < 40; ++i) path += u" b";
    std::size_t ends[kMostCandidateEnds + 1] = {};
    ends[3] = 99;
    const std::size_t three = ListCandidateEnds(path.c_str(), 3, ends, 3);
    EXPECT_EQ(std::vector<std::size_t>(ends, ends + 4), (std::vector<std::size_t>{82, 80, 78, 99}));
    EXPECT_EQ(three, 3u);
    EXPECT_EQ(ListCandidateEnds(path.c_str(), 3, ends, kMostCandidateEnds), kMostCandidateEnds);
    EXPECT_EQ(ends[kMostCandidateEnds - 1], 52u);
}

}  // namespace
}  // namespace cvt
