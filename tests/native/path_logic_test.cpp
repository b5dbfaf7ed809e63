#include "open/path_logic.h"
#include "open/server_name.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace cvt {
namespace {

constexpr std::size_t kNone = std::u16string::npos;

struct ExtractRow {
    const char* name;
    std::u16string text;
    std::size_t start;  // kNone: no path
    std::u16string path;
    bool valid;
    bool namesFile;
    bool needsQuoting;
};

void PrintTo(const ExtractRow& row, std::ostream* out) { *out << row.name; }

class ExtractTable : public testing::TestWithParam<ExtractRow> {};

TEST_P(ExtractTable, ExtractsAndJudges) {
    const ExtractRow& row = GetParam();
    std::u16string buffer = row.text;
    char16_t* path = ExtractPath(buffer.data());
    if (row.start == kNone) {
        EXPECT_EQ(path, nullptr);
        EXPECT_EQ(buffer, row.text);
        return;
    }
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(static_cast<std::size_t>(path - buffer.data()), row.start);
    EXPECT_EQ(std::u16string(path), row.path);
    EXPECT_EQ(ValidatePath(path), row.valid);
    if (!row.valid) return;
    EXPECT_EQ(PathNamesFile(path), row.namesFile);
    EXPECT_EQ(PathNeedsQuoting(path), row.needsQuoting);
}

TEST_P(ExtractTable, LocateFindsTheSameStartAndWritesNothing) {
    const ExtractRow& row = GetParam();
    const std::u16string text = row.text;
    const char16_t* start = LocatePath(text.c_str());
    if (row.start == kNone) {
        EXPECT_EQ(start, nullptr);
    } else {
        ASSERT_NE(start, nullptr);
        EXPECT_EQ(static_cast<std::size_t>(start - text.c_str()), row.start);
    }
    EXPECT_EQ(text, row.text);
}

const ExtractRow kExtractRows[] = {
    {"CrLfEndsPath", u"please open \\\\fs01\\share\\reports\r\nthanks", 12,
     u"\\\\fs01\\share\\reports", true, false, false},
    {"AngleBrackets", u"<\\\\fs01\\share\\reports>\r\n", 1, u"\\\\fs01\\share\\reports", true,
     false, false},
    {"TrailingWordsStay", u"see \\\\fs01\\share\\my docs here", 4, u"\\\\fs01\\share\\my docs here",
     true, false, true},
    {"DriveFile", u"C:\\work\\a.txt", 0, u"C:\\work\\a.txt", true, true, false},
    {"UncWinsOverEarlierDrive", u"on C:\\work and \\\\fs01\\pub", 15, u"\\\\fs01\\pub", true, false,
     false},
    {"DriveMarkerAtZero", u":\\work", kNone, u"", false, false, false},
    {"NoPath", u"no path here", kNone, u"", false, false, false},
    // A space, digit, colon or control character before ":\" is no drive letter.
    {"NoLetterLooksOn", u"x :\\ then D:\\data", 10, u"D:\\data", true, false, false},
    {"InnerBracket", u"\\\\fs01\\share\\a>b", 0, u"\\\\fs01\\share\\a>b", false, false, false},
    {"TwoBrackets", u"\\\\fs01\\share\\a>>", 0, u"\\\\fs01\\share\\a>", false, false, false},
    {"DoubleQuotes", u"\"\\\\fs01\\share\"", 1, u"\\\\fs01\\share", true, false, false},
    {"LateColon", u"D:\\data\\x:y", 0, u"D:\\data\\x:y", false, false, false},
    {"ColonAtTwo", u"\\\\:x", 0, u"\\\\:x", true, false, false},
    {"DigitBeforeColon", u"1:\\x", kNone, u"", false, false, false},
    {"AmpersandFolder", u"\\\\fs01\\share\\q&a\\", 0, u"\\\\fs01\\share\\q&a\\", true, false, true},
    {"DottedHostShare", u"\\\\fs01.corp\\share", 0, u"\\\\fs01.corp\\share", true, false, false},
    {"DottedHostOnly", u"\\\\fs01.corp", 0, u"\\\\fs01.corp", true, false, false},
    {"DottedFolder", u"\\\\fs01\\share\\v1.2\\", 0, u"\\\\fs01\\share\\v1.2\\", true, false, false},
    {"DriveRoot", u"C:\\", 0, u"C:\\", true, false, false},
    {"LineFeedEnds", u"\\\\fs01\\share\\file.txt\nnext", 0, u"\\\\fs01\\share\\file.txt", true,
     true, false},
    // Further cases.
    {"CarriageReturnBeforeColon", u"ab\r:\\x", kNone, u"", false, false, false},
    {"LineFeedBeforeColon", u"ab\n:\\x", kNone, u"", false, false, false},
    {"NonLettersBeforeColon", u"::\\x \\:\\x 1:\\x \uFF11:\\x", kNone, u"", false, false, false},
    {"LaterDriveAfterColonAtZero", u":\\a D:\\b", 4, u"D:\\b", true, false, false},
    {"UncAfterLineBreak", u"C:\\a\r\n\\\\srv\\x", 6, u"\\\\srv\\x", true, false, false},
    {"CarriageReturnBeforeDrive", u"a\rb C:\\x\ry", 4, u"C:\\x", true, false, false},
    {"ThreeBackslashes", u"a\\\\\\b", 1, u"\\\\\\b", true, false, false},
    {"SingleBackslash", u"\\x", kNone, u"", false, false, false},
    {"YenServerEndsBeforeNextPath", u"\u00A5\u00A5srv C\uFF1A\\x \uFFE5\uFFE5y", 0, u"\\\\srv",
     true, false, false},
    {"StripAfterCut", u"\\\\s\\a>\r\nb>", 0, u"\\\\s\\a", true, false, false},
    {"BracketBeforeLineBreak", u"\\\\s\\a>b\r\n", 0, u"\\\\s\\a>b", false, false, false},
    {"BracketOnly", u"x:\\>", 0, u"x:\\", true, false, false},
    {"JapaneseAround", u"\u5834\u6240\uFF1A\\\\fs01\\\u5171\u6709\u3002", 3,
     u"\\\\fs01\\\u5171\u6709\u3002", true, false, false},
    // Mail lines: brackets end the path at the one that closes the bracket it stands in.
    {"CornerBrackets", u"資料は「\\\\fs01\\share\\営業部\\見積書」に置きました。", 4,
     u"\\\\fs01\\share\\営業部\\見積書", true, false, false},
    {"BalancedInsideName", u"『\\\\fs01\\share\\【重要】資料』を参照", 1,
     u"\\\\fs01\\share\\【重要】資料", true, false, false},
    {"NestedParentheses", u"（\\\\fs01\\share\\（株）山田商事）まで", 1,
     u"\\\\fs01\\share\\（株）山田商事", true, false, false},
    {"AsciiParentheses", u"(\\\\fs01\\a(b))c", 1, u"\\\\fs01\\a(b)", true, false, false},
    {"CurlyQuotes", u"“\\\\fs01\\share\\a”とのこと", 1, u"\\\\fs01\\share\\a", true, false, false},
    {"Backquotes", u"`\\\\fs01\\share\\a`", 1, u"\\\\fs01\\share\\a", true, false, false},
    {"WideAngles", u"＜\\\\fs01\\share\\a＞です", 1, u"\\\\fs01\\share\\a", true, false, false},
    {"SquareBrackets", u"[\\\\fs01\\share\\a] 参照", 1, u"\\\\fs01\\share\\a", true, false, false},
    {"BracketOpenedEarlierOnTheLine", u"（保存先：\\\\fs01\\share\\資料）", 5,
     u"\\\\fs01\\share\\資料", true, false, false},
    {"QuoteOpenedEarlier", u"\"場所: \\\\fs01\\share\"", 5, u"\\\\fs01\\share", true, false, false},
    {"BracketOnEarlierLineIgnored", u"（注\r\n\\\\fs01\\a）b", 4, u"\\\\fs01\\a）b", true, false,
     false},
    // What follows the path on its line.
    {"SentenceAfterSpaceStays", u"\\\\fs01\\share\\見積書 に保存しました。", 0,
     u"\\\\fs01\\share\\見積書 に保存しました。", true, false, true},
    {"TabEnds", u"\\\\fs01\\share\\見積書\t←最新版はこちら", 0, u"\\\\fs01\\share\\見積書", true,
     false, false},
    {"NextPathAfterSpace", u"\\\\fs01\\share\\総務 と \\\\fs01\\share\\人事 の両方に", 0,
     u"\\\\fs01\\share\\総務 と", true, false, true},
    {"NextPathAfterBracket", u"「\\\\fs01\\a」と「\\\\fs01\\b」", 1, u"\\\\fs01\\a", true, false,
     false},
    {"NextPathInBrackets", u"\\\\fs01\\a「\\\\fs01\\b」", 0, u"\\\\fs01\\a", true, false, false},
    {"NextDriveAfterIdeographicSpace", u"C:\\a\u3000D:\\b", 0, u"C:\\a", true, false, false},
    {"TrailingBlanksDropped", u"\\\\fs01\\share\\a   ", 0, u"\\\\fs01\\share\\a", true, false,
     false},
    {"BlanksThenBracket", u"\\\\fs01\\share\\a> ", 0, u"\\\\fs01\\share\\a", true, false, false},
    {"NextPathAfterListPunctuation", u"P:\\要件\\a.docx（参考：P:\\旧\\）", 0,
     u"P:\\要件\\a.docx（参考", true, true, false},
    {"NextPathAfterComma", u"\\\\nas\\ロゴ\\ にあるデータを、S:\\販促\\ にも", 0,
     u"\\\\nas\\ロゴ\\ にあるデータを", true, false, true},
    // A path that a mailer wrapped before one of its backslashes, in a quoted reply too.
    {"WrappedPath", u"\\\\fs01\\株式会社サンプル\n\\見積書\\a.xlsx", 0,
     u"\\\\fs01\\株式会社サンプル\\見積書\\a.xlsx", true, true, false},
    {"WrappedWithYen", u"\u00A5\u00A5fs01\u00A5a\n> \u00A5b", 0, u"\\\\fs01\\a\\b", true, false,
     false},
    {"WrappedQuotedPath", u"> > \\\\fs01\\2024年05月\r\n> > \\試算表.xlsx\r\n> > 以上", 4,
     u"\\\\fs01\\2024年05月\\試算表.xlsx", true, true, false},
    {"NextLineIsNoContinuation", u"\\\\fs01\\a\\\n\\b\n\\\\c", 0, u"\\\\fs01\\a\\", true, false,
     false},
    // Yen signs and full-width spellings.
    {"YenServer", u"\u00A5\u00A5fs01\u00A5share\u00A5営業部", 0, u"\\\\fs01\\share\\営業部", true,
     false, false},
    {"WideYenWideServerName", u"場所：￥￥ｓｖ０２￥経理", 3, u"\\\\sv02\\経理", true, false,
     false},
    {"WideBackslashes", u"＼＼fs01＼share", 0, u"\\\\fs01\\share", true, false, false},
    {"WideDrive", u"Ｓ：￥営業部￥ｘ", 0, u"S:\\営業部\\ｘ", true, false, false},
    {"DriveWithYen", u"s:\u00A5営業部", 0, u"s:\\営業部", true, false, false},
    {"PriceAfterThePath", u"\\\\fs01\\s\\見積書 \u00A550,000（税込）", 0,
     u"\\\\fs01\\s\\見積書 \u00A550,000（税込）", true, false, true},
    {"MixedTyping", u"\\\\fs01\u00A5share￥a", 0, u"\\\\fs01\\share\\a", true, false, false},
    {"YenAfterAsciiDriveIsNoStart", u"C:\\a と \u00A5\u00A5srv\u00A5b", 0, u"C:\\a と", true, false,
     true},
    {"DriveWord", u"Sドライブ\\営業部\\見積", 0, u"S:\\営業部\\見積", true, false, false},
    // URLs and slashes.
    {"FileUrlServer", u"file://fs01/share/%E5%96%B6%E6%A5%AD%E9%83%A8", 0,
     u"\\\\fs01\\share\\営業部", true, false, false},
    {"FileUrlDrive", u"file:///S:/営業部/", 0, u"S:\\営業部\\", true, false, false},
    {"FileUrlDriveRoot", u"file:///S:", 0, u"S:\\", true, false, false},
    {"FileUrlFiveSlashes", u"file://///fs01/share", 0, u"\\\\fs01\\share", true, false, false},
    {"FileUrlLocalhostDrive", u"FILE://localhost/c|/a%20b", 0, u"c:\\a b", true, false, true},
    {"FileUrlEscapesKeptWhenNotText", u"file://fs01/a%ZZ%00%C3", 0, u"\\\\fs01\\a%ZZ%00%C3", true,
     false, false},
    {"FileUrlInAngles", u"<file://fs01/share/a b>", 1, u"\\\\fs01\\share\\a b", true, false, true},
    {"FileUrlWithoutDriveIsNoPath", u"file:///home/x", kNone, u"", false, false, false},
    {"WordEndingInFileIsNoUrl", u"profile://x/y", kNone, u"", false, false, false},
    {"FileUrlAfterDrive", u"C:\\a と file://fs01/s", 7, u"\\\\fs01\\s", true, false, false},
    {"SmbUrlAfterDrive", u"C:\\a（smb://fs01/s）", 5, u"\\\\fs01\\s", true, false, false},
    {"SmbUrl", u"smb://fs01/share/a", 0, u"\\\\fs01\\share\\a", true, false, false},
    {"SlashDrive", u"S:/営業部/見積書", 0, u"S:\\営業部\\見積書", true, false, false},
    {"SlashDriveAfterSpace", u"see S:/a", 4, u"S:\\a", true, false, false},
    {"SlashDriveInsideWordIsNoPath", u"abcS:/a", kNone, u"", false, false, false},
};

INSTANTIATE_TEST_SUITE_P(Table, ExtractTable, testing::ValuesIn(kExtractRows),
                         [](const testing::TestParamInfo<ExtractRow>& info) {
                             return info.param.name;
                         });

TEST(PathLogicTest, CharacterSets) {
    EXPECT_EQ(std::u16string(ForbiddenPathChars), u"/*?\"<>|");
    EXPECT_EQ(std::u16string(QuotingChars), u" &^");
}

TEST(PathLogicTest, NullTextHasNoPath) {
    EXPECT_EQ(ExtractPath(nullptr), nullptr);
    EXPECT_EQ(LocatePath(static_cast<const char16_t*>(nullptr)), nullptr);
}

struct ContainsRow {
    std::u16string set;
    std::u16string text;
    bool expected;
};

TEST(PathLogicTest, ContainsAnyOf) {
    const ContainsRow rows[] = {
        {u"", u"abc", false},
        {u"abc", u"", false},
        {u"xyz", u"abc", false},
        {u"xyc", u"abc", true},
        {u"\u3042", u"a\u3042", true},
        {u"B", u"\u3042", false},  // same low byte, different character
        {u"\u3042", u"B", false},
        {u"&", u"q&a", true},
    };
    for (const ContainsRow& row : rows) {
        EXPECT_EQ(ContainsAnyOf(row.set.c_str(), row.text.c_str()), row.expected)
            << "set size " << row.set.size() << ", text size " << row.text.size();
    }
}

TEST(PathLogicTest, ValidateRejectsEachForbiddenCharacter) {
    for (const char16_t* c = ForbiddenPathChars; *c != u'\0'; ++c) {
        const std::u16string path = std::u16string(u"\\\\srv\\a") + *c + u"b";
        EXPECT_FALSE(ValidatePath(path.c_str())) << static_cast<int>(*c);
    }
}

TEST(PathLogicTest, ValidateColonPositions) {
    EXPECT_TRUE(ValidatePath(u""));
    EXPECT_TRUE(ValidatePath(u":ab\\"));
    EXPECT_TRUE(ValidatePath(u"a:b\\"));
    EXPECT_TRUE(ValidatePath(u"ab:\\"));
    EXPECT_TRUE(ValidatePath(u"a::\\"));
    EXPECT_FALSE(ValidatePath(u"abc:"));
    EXPECT_FALSE(ValidatePath(u"a:\\b:c"));
    // Characters above ASCII that share a low byte with a forbidden one are fine.
    EXPECT_TRUE(ValidatePath(u"C:\\\u012F\u013A\u013E\uFF0F\uFF1A"));
}

TEST(PathLogicTest, NamesFileLooksAtTheFinalComponent) {
    EXPECT_FALSE(PathNamesFile(u"a.txt"));
    EXPECT_TRUE(PathNamesFile(u"\\a.txt"));
    EXPECT_FALSE(PathNamesFile(u"C:\\dir.x\\"));
    EXPECT_TRUE(PathNamesFile(u"C:\\dir.x\\b.c"));
    EXPECT_FALSE(PathNamesFile(u"C:\\dir.x\\b"));
    EXPECT_FALSE(PathNamesFile(u"C:\\a\\\\b.c"));  // the last backslash follows a backslash
    EXPECT_FALSE(PathNamesFile(u""));
}

TEST(PathLogicTest, NeedsQuotingForEachQuotingCharacterOnly) {
    for (const char16_t* c = QuotingChars; *c != u'\0'; ++c) {
        const std::u16string path = std::u16string(u"C:\\a") + *c + u"b";
        EXPECT_TRUE(PathNeedsQuoting(path.c_str())) << static_cast<int>(*c);
    }
    EXPECT_FALSE(PathNeedsQuoting(u"C:\\a\tb\u3000c\u0120d"));
}

// ---- Where the server of a path stands -------------------------------------------------------

constexpr ServerPlace kIn = ServerPlace::kInside;
constexpr ServerPlace kOut = ServerPlace::kOutside;
constexpr ServerPlace kZone = ServerPlace::kAskZone;

// Each IP form, the private ranges and their edges, WebDAV suffixes, the device form, full-width
// letters, empty, trailing and doubled dots, and the length limits.
TEST(ServerNameTest, PlacesTheServerOfEachPath) {
    const std::pair<std::u16string, ServerPlace> rows[] = {
        {u"\\\\fs01\\share\\a", kIn},
        {u"\\\\fs01", kIn},
        {u"\\\\File_Srv-2$\\x", kIn},
        {u"\\\\localhost\\c$", kIn},
        {u"C:\\work", kIn},
        {u"z:\\", kIn},
        {u"::\\x", kOut},  // no drive letter: never opened without the question
        {u"\\:\\x", kOut},
        {u"1:\\x", kOut},
        {u"\uFF11:\\x", kOut},
        {u"\uFF23:\\x", kOut},
        {u"@:\\x", kOut},
        {u"[:\\x", kOut},
        {u"\\\\10.0.0.1\\s", kIn},
        {u"\\\\10.255.255.255\\s", kIn},
        {u"\\\\172.16.0.0\\s", kIn},
        {u"\\\\172.31.255.255\\s", kIn},
        {u"\\\\172.15.255.255\\s", kOut},
        {u"\\\\172.32.0.0\\s", kOut},
        {u"\\\\192.168.1.20\\share", kIn},
        {u"\\\\192.169.0.1\\s", kOut},
        {u"\\\\169.254.1.1\\s", kIn},
        {u"\\\\127.0.0.1\\s", kIn},
        {u"\\\\203.0.113.5\\share", kOut},
        {u"\\\\10.0.0.256\\s", kOut},
        {u"\\\\010.0.0.1\\s", kOut},  // octal: 8.0.0.1
        {u"\\\\0xa.0.0.1\\s", kOut},
        {u"\\\\10.0.1\\s", kOut},
        {u"\\\\10.0.0.1.5\\s", kOut},
        {u"\\\\3405803781\\share", kOut},  // 203.0.113.5
        {u"\\\\012\\s", kOut},
        {u"\\\\0xCB007105\\s", kOut},
        {u"\\\\0x\\s", kOut},
        {u"\\\\0xfs\\s", kIn},
        {u"\\\\fe80--1.ipv6-literal.net\\s", kOut},
        {u"\\\\2001-db8--1.IPV6-LITERAL.NET\\s", kOut},
        {u"\\\\[::1]\\s", kOut},
        {u"\\\\files.example.com\\share", kZone},
        {u"\\\\corp.example.co.jp\\dfs\\x", kZone},
        {u"\\\\fs01.\\s", kOut},
        {u"\\\\.fs01\\s", kOut},
        {u"\\\\a..b\\s", kOut},
        {u"\\\\.\\UNC\\fs01\\share", kOut},
        {u"\\\\fs01@SSL\\dav", kOut},
        {u"\\\\fs01@8080\\dav", kOut},
        {u"\\\\fs01@SSL@443\\dav", kOut},
        {u"\\\\\uFF46\uFF53\uFF10\uFF11\\share", kOut},
        {u"\\\\fs%30\\s", kOut},
        {u"\\\\fs 01\\s", kOut},
        {u"\\\\fs01\nx\\s", kOut},
        {u"\\\\\\fs01\\s", kOut},
        {u"\\\\", kOut},
        {u"\\fs01\\s", kOut},
        {u"", kOut},
        {u"\\\\" + std::u16string(63, u'a') + u".b\\s", kZone},
        {u"\\\\" + std::u16string(64, u'a') + u".b\\s", kOut},
        {u"\\\\" + std::u16string(254, u'a') + u"\\s", kOut}};
    for (const auto& row : rows) {
        EXPECT_EQ(ClassifyPathServer(row.first.c_str()), row.second)
            << std::string(row.first.begin(), row.first.end());
    }
}

TEST(ServerNameTest, ANulInTheNameIsOutside) {
    const std::u16string name(u"fs01\0x", 6);
    EXPECT_EQ(ClassifyServerName(name.data(), name.size()), kOut);
    EXPECT_EQ(ClassifyServerName(name.data(), 4), kIn);
}

TEST(ServerNameTest, ZoneUrlNamesServerAndShare) {
    const std::u16string paths[] = {u"\\\\corp.example.co.jp\\dfs\\a b\\c.txt",
                                    u"\\\\corp.example.co.jp", u"C:\\x"};
    const std::u16string urls[] = {u"file://corp.example.co.jp/dfs", u"file://corp.example.co.jp/",
                                   u""};
    for (int i = 0; i < 3; ++i) {
        std::u16string buffer(ZoneUrlCapacity(paths[i].size()), u'\xAAAA');
        const bool made = FormatZoneUrl(paths[i].c_str(), buffer.data(), buffer.size());
        EXPECT_EQ(made, !urls[i].empty()) << i;
        if (made) {
            EXPECT_EQ(std::u16string(buffer.c_str()), urls[i]);
        }
    }
    char16_t tooSmall[12];
    EXPECT_FALSE(FormatZoneUrl(u"\\\\files.example.com\\s", tooSmall, 12));
}

}  // namespace
}  // namespace cvt
