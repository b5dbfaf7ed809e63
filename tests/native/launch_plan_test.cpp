#include "open/launch_plan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cvt {
namespace {

enum class FileSetting { kOff, kOn, kAny };

struct LaunchRow {
    const char* name;
    std::u16string path;
    FileSetting fileSetting;
    LaunchForm form;
    std::u16string program;
    std::u16string parameters;
    int showCommand;
    bool interpreterAllowed = true;  // false: a DisableCMD policy holds
};

// Plans and formats as the open command does, with a buffer of exactly the command's size.
std::u16string Parameters(const LaunchPlan& plan, const std::u16string& path) {
    std::vector<char16_t> buffer(LaunchParameterCapacity(path.size()), u'\xAAAA');
    EXPECT_EQ(FormatLaunchParameters(plan, path.c_str(), buffer.data(), buffer.size()), kOk);
    return std::u16string(buffer.data());
}

void PrintTo(const LaunchRow& row, std::ostream* out) { *out << row.name; }

class LaunchTable : public testing::TestWithParam<LaunchRow> {};

TEST_P(LaunchTable, PlansAndFormats) {
    const LaunchRow& row = GetParam();
    std::vector<bool> settings;
    if (row.fileSetting != FileSetting::kOn) settings.push_back(false);
    if (row.fileSetting != FileSetting::kOff) settings.push_back(true);
    for (bool fileOn : settings) {
        SCOPED_TRACE(fileOn ? "TrivaneFile on" : "TrivaneFile off");
        const LaunchPlan plan = ChooseLaunch(row.path.c_str(), fileOn, row.interpreterAllowed);
        EXPECT_EQ(plan.form, row.form);
        EXPECT_EQ(std::u16string(plan.program), row.program);
        EXPECT_EQ(plan.folder,
                  row.program == u"cmd.exe" ? ProgramFolder::kSystem : ProgramFolder::kWindows);
        EXPECT_EQ(plan.showCommand, row.showCommand);
        EXPECT_EQ(Parameters(plan, row.path), row.parameters);
    }
}

const LaunchRow kLaunchRows[] = {
    {"UncFolder", u"\\\\fs01\\share\\reports", FileSetting::kAny, LaunchForm::kStart, u"cmd.exe",
     u"/c start \\\\fs01\\share\\reports\\", 0},
    {"UncFolderWithBackslash", u"\\\\fs01\\share\\reports\\", FileSetting::kAny, LaunchForm::kStart,
     u"cmd.exe", u"/c start \\\\fs01\\share\\reports\\", 0},
    {"UncWithSpace", u"\\\\fs01\\share\\my docs", FileSetting::kAny, LaunchForm::kQuotedFolder,
     u"explorer.exe", u"\"\\\\fs01\\share\\my docs\\\"", 1},
    {"UncWithAmpersand", u"\\\\fs01\\share\\q&a\\", FileSetting::kAny, LaunchForm::kQuotedFolder,
     u"explorer.exe", u"\"\\\\fs01\\share\\q&a\\\"", 1},
    {"FileSelected", u"C:\\work\\a.txt", FileSetting::kOn, LaunchForm::kSelectFile, u"explorer.exe",
     u"/select,\"C:\\work\\a.txt\"", 1},
    {"FileStarted", u"C:\\work\\a.txt", FileSetting::kOff, LaunchForm::kStart, u"cmd.exe",
     u"/c start C:\\work\\a.txt\\", 0},
    {"FileWithSpacesSelected", u"C:\\my files\\a b.txt", FileSetting::kOn, LaunchForm::kSelectFile,
     u"explorer.exe", u"/select,\"C:\\my files\\a b.txt\"", 1},
    {"FileWithSpacesQuoted", u"C:\\my files\\a b.txt", FileSetting::kOff, LaunchForm::kQuotedFolder,
     u"explorer.exe", u"\"C:\\my files\\a b.txt\\\"", 1},
    {"DriveRoot", u"C:\\", FileSetting::kAny, LaunchForm::kStart, u"cmd.exe", u"/c start C:\\", 0},
    // Further cases.
    {"CaretQuoted", u"C:\\a^b", FileSetting::kAny, LaunchForm::kQuotedFolder, u"explorer.exe",
     u"\"C:\\a^b\\\"", 1},
    {"BackslashesNeverDoubled", u"\\\\srv\\\\x\\\\", FileSetting::kAny, LaunchForm::kStart,
     u"cmd.exe", u"/c start \\\\srv\\\\x\\\\", 0},
    // The command interpreter would expand these, so Explorer gets the path instead.
    {"PercentNotExpanded", u"\\\\srv\\%USERNAME%", FileSetting::kAny, LaunchForm::kQuotedFolder,
     u"explorer.exe", u"\"\\\\srv\\%USERNAME%\\\"", 1},
    {"BangNotExpanded", u"C:\\a!PATH!\\", FileSetting::kAny, LaunchForm::kQuotedFolder,
     u"explorer.exe", u"\"C:\\a!PATH!\\\"", 1},
    {"PercentFileSelected", u"C:\\%TEMP%\\a.txt", FileSetting::kOn, LaunchForm::kSelectFile,
     u"explorer.exe", u"/select,\"C:\\%TEMP%\\a.txt\"", 1},
    {"PercentFileQuoted", u"C:\\%TEMP%\\a.txt", FileSetting::kOff, LaunchForm::kQuotedFolder,
     u"explorer.exe", u"\"C:\\%TEMP%\\a.txt\\\"", 1},
    // cmd.exe would split start's argument at these, or end the command at a line feed, and
    // open another place: Explorer gets the path instead.
    {"CommaQuoted", u"\\\\fs01\\share\\2024,Q1", FileSetting::kAny, LaunchForm::kQuotedFolder,
     u"explorer.exe", u"\"\\\\fs01\\share\\2024,Q1\\\"", 1},
    {"EqualsQuoted", u"\\\\fs01\\share\\a=b\\", FileSetting::kAny, LaunchForm::kQuotedFolder,
     u"explorer.exe", u"\"\\\\fs01\\share\\a=b\\\"", 1},
    {"SemicolonQuoted", u"C:\\x;y", FileSetting::kAny, LaunchForm::kQuotedFolder, u"explorer.exe",
     u"\"C:\\x;y\\\"", 1},
    {"TabQuoted", u"C:\\a\tb", FileSetting::kAny, LaunchForm::kQuotedFolder, u"explorer.exe",
     u"\"C:\\a\tb\\\"", 1},
    {"LineFeedFolderQuoted", u"\\\\fs01\\share\\file.txt\nnext", FileSetting::kOff,
     LaunchForm::kQuotedFolder, u"explorer.exe", u"\"\\\\fs01\\share\\file.txt\nnext\\\"", 1},
    {"CommaFileSelected", u"C:\\q1,q2\\a.txt", FileSetting::kOn, LaunchForm::kSelectFile,
     u"explorer.exe", u"/select,\"C:\\q1,q2\\a.txt\"", 1},
    // Separators the interpreter or the shell may split at, and invisible controls.
    {"VerticalTabQuoted", u"\\\\evil\\pub\\tool\vx", FileSetting::kAny, LaunchForm::kQuotedFolder,
     u"explorer.exe", u"\"\\\\evil\\pub\\tool\vx\\\"", 1},
    {"FormFeedQuoted", u"\\\\evil\\pub\\tool\fx", FileSetting::kAny, LaunchForm::kQuotedFolder,
     u"explorer.exe", u"\"\\\\evil\\pub\\tool\fx\\\"", 1},
    {"NoBreakSpaceQuoted", u"C:\\a\u00A0b", FileSetting::kAny, LaunchForm::kQuotedFolder,
     u"explorer.exe", u"\"C:\\a\u00A0b\\\"", 1},
    {"IdeographicSpaceQuoted", u"\\\\fs01\\\u5171\u6709\u3000\u8CC7\u6599", FileSetting::kAny,
     LaunchForm::kQuotedFolder, u"explorer.exe", u"\"\\\\fs01\\\u5171\u6709\u3000\u8CC7\u6599\\\"",
     1},
    {"DeleteQuoted", u"C:\\a\x7F", FileSetting::kAny, LaunchForm::kQuotedFolder, u"explorer.exe",
     u"\"C:\\a\x7F\\\"", 1},
    {"ByteOrderMarkQuoted", u"C:\\a\uFEFF", FileSetting::kAny, LaunchForm::kQuotedFolder,
     u"explorer.exe", u"\"C:\\a\uFEFF\\\"", 1},
    // A DisableCMD policy: what would take the start form goes to quoted Explorer.
    {"PolicyFolderQuoted", u"\\\\fs01\\share", FileSetting::kAny, LaunchForm::kQuotedFolder,
     u"explorer.exe", u"\"\\\\fs01\\share\\\"", 1, false},
    {"PolicyRootQuoted", u"C:\\", FileSetting::kAny, LaunchForm::kQuotedFolder, u"explorer.exe",
     u"\"C:\\\"", 1, false},
    {"PolicyFileSelected", u"C:\\work\\a.txt", FileSetting::kOn, LaunchForm::kSelectFile,
     u"explorer.exe", u"/select,\"C:\\work\\a.txt\"", 1, false},
    {"LineFeedFileSelected", u"\\\\fs01\\share\\file.txt\nnext", FileSetting::kOn,
     LaunchForm::kSelectFile, u"explorer.exe", u"/select,\"\\\\fs01\\share\\file.txt\nnext\"", 1},
};

INSTANTIATE_TEST_SUITE_P(Examples, LaunchTable, testing::ValuesIn(kLaunchRows),
                         [](const testing::TestParamInfo<LaunchRow>& info) {
                             return info.param.name;
                         });

TEST(LaunchPlanTest, ParameterCapacityGrowsWithThePath) {
    EXPECT_EQ(LaunchParameterCapacity(0), 20u);
    EXPECT_EQ(LaunchParameterCapacity(40000), 40020u);
    EXPECT_EQ(WorkCopyCapacity(7), 8u);
}

TEST(LaunchPlanTest, VeryLongPathIsNeverCut) {
    std::u16string folder = u"\\\\srv\\";
    while (folder.size() < 40000) folder += u"abcdefgh\\";
    folder.resize(40000, u'x');
    for (const std::u16string& path : {folder, folder + u" y", folder + u"\\z.txt"}) {
        for (bool fileOn : {false, true}) {
            const LaunchPlan plan = ChooseLaunch(path.c_str(), fileOn);
            const std::u16string parameters = Parameters(plan, path);
            EXPECT_NE(parameters.find(path), std::u16string::npos);
            EXPECT_LE(parameters.size() + 1, path.size() + 11);
        }
    }
}

TEST(LaunchPlanTest, ShortBufferReportsTruncation) {
    const std::u16string path = u"C:\\work";
    const LaunchPlan plan = ChooseLaunch(path.c_str(), false);
    char16_t buffer[8];
    EXPECT_EQ(FormatLaunchParameters(plan, path.c_str(), buffer, 8), kInsufficientBuffer);
    EXPECT_EQ(std::u16string(buffer), u"/c star");
}

TEST(LaunchPlanTest, EmptyPathGetsABackslash) {
    const LaunchPlan plan = ChooseLaunch(u"", true);
    EXPECT_EQ(plan.form, LaunchForm::kStart);
    EXPECT_EQ(Parameters(plan, u""), u"/c start \\");
}

struct OpenRow {
    const char* name;
    std::u16string selection;
    OpenVerdict verdict;
    std::u16string path;
};

void PrintTo(const OpenRow& row, std::ostream* out) { *out << row.name; }

class OpenTable : public testing::TestWithParam<OpenRow> {};

TEST_P(OpenTable, PreparesFromTheSelection) {
    const OpenRow& row = GetParam();
    std::vector<char16_t> work(WorkCopyCapacity(row.selection.size()), u'\xAAAA');
    char16_t* path = reinterpret_cast<char16_t*>(1);
    EXPECT_EQ(PrepareOpen(row.selection.c_str(), work.data(), work.size(), &path), row.verdict);
    if (row.verdict == OpenVerdict::kNoPath) {
        EXPECT_EQ(path, nullptr);
        return;
    }
    ASSERT_NE(path, nullptr);
    EXPECT_GE(path, work.data());
    EXPECT_LT(path, work.data() + work.size());
    EXPECT_EQ(std::u16string(path), row.path);
}

INSTANTIATE_TEST_SUITE_P(
    Selections, OpenTable,
    testing::Values(
        OpenRow{"Launch", u"see \\\\fs01\\share\\reports>\r\nbye", OpenVerdict::kLaunch,
                u"\\\\fs01\\share\\reports"},
        OpenRow{"NoPath", u"no path here", OpenVerdict::kNoPath, u""},
        OpenRow{"ColonFirst", u":\\temp", OpenVerdict::kNoPath, u""},
        OpenRow{"Forbidden", u"\\\\fs01\\a*b", OpenVerdict::kInvalidPath, u"\\\\fs01\\a*b"},
        OpenRow{"LateColon", u"D:\\data\\x:y", OpenVerdict::kInvalidPath, u"D:\\data\\x:y"},
        // A carriage return right before the colon leaves nothing to open.
        OpenRow{"EmptyPath", u"ab\r:\\x", OpenVerdict::kNoPath, u""},
        // What no name may hold, in a sentence after the path, ends the name before it.
        OpenRow{"QuestionInSentence", u"\\\\fs01\\s\\資料 ありますか?", OpenVerdict::kLaunch,
                u"\\\\fs01\\s\\資料"},
        OpenRow{"UrlInRemark", u"\\\\fs01\\s\\資料 (詳細→http://intra/x)", OpenVerdict::kLaunch,
                u"\\\\fs01\\s\\資料"},
        OpenRow{"ForbiddenInName", u"\\\\fs01\\s\\a*b c", OpenVerdict::kInvalidPath,
                u"\\\\fs01\\s\\a*b c"},
        OpenRow{"Empty", u"", OpenVerdict::kNoPath, u""}),
    [](const testing::TestParamInfo<OpenRow>& info) { return info.param.name; });

TEST(PrepareOpenTest, FailedCopyOpensNothing) {
    const std::u16string selection = u"\\\\fs01\\share";
    std::vector<char16_t> work(selection.size());  // one short of the NUL
    char16_t* path = nullptr;
    EXPECT_EQ(PrepareOpen(selection.c_str(), work.data(), work.size(), &path),
              OpenVerdict::kNoPath);
    EXPECT_EQ(path, nullptr);
    EXPECT_EQ(PrepareOpen(nullptr, work.data(), work.size(), &path), OpenVerdict::kNoPath);
}

TEST(PrepareOpenTest, WorksOnTheCopyOnly) {
    const std::u16string selection = u"<\\\\fs01\\share>\r\n";
    std::vector<char16_t> work(WorkCopyCapacity(selection.size()));
    char16_t* path = nullptr;
    ASSERT_EQ(PrepareOpen(selection.c_str(), work.data(), work.size(), &path),
              OpenVerdict::kLaunch);
    EXPECT_EQ(std::u16string(path), u"\\\\fs01\\share");
    EXPECT_EQ(selection, u"<\\\\fs01\\share>\r\n");
}

}  // namespace
}  // namespace cvt
