// Awkward selections through real captures in the stand-in host, by Shift+O and by the
// context menu: a 16 MiB selection, a 32,767-character path, embedded NULs, lone surrogates,
// control characters, nothing but backslashes, and full-width look-alikes of the backslash
// and the colon. Each opens exactly what its path says, or nothing, and the user's clipboard
// comes back whole.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>

#include <string>
#include <vector>

#include "rig/clipboard_rig.h"
#include "rig/fault_injector.h"
#include "rig/host_fixture.h"

namespace {

// The text the host places on the clipboard itself when it is told to copy, exactly as it
// is: NULs, lone surrogates and characters that code page 932 lacks included. (Text set into
// the message view passes the plug-in's ANSI window procedure, which keeps only what code
// page 932 can say: a yen sign comes out of it as a backslash.)
std::wstring g_copiedText;

void CopyTheWholeText(HWND window, UINT message, WPARAM wParam, LPARAM) {
    if (message != WM_COMMAND || LOWORD(wParam) != standin::kCopyCommand) return;
    HGLOBAL block =
        rig::GlobalFromBytes(g_copiedText.data(), (g_copiedText.size() + 1) * sizeof(wchar_t));
    if (!rig::OpenClipboardRetrying(window)) {
        GlobalFree(block);
        return;
    }
    EmptyClipboard();
    if (SetClipboardData(CF_UNICODETEXT, block) == nullptr) GlobalFree(block);
    CloseClipboard();
}

struct BadInput {
    const char* name;
    std::wstring text;
    bool hostCopiesExactly;  // the host places the text itself, not through its edit control
    std::wstring launched;   // the parameters of the one launch; empty: nothing opens
    std::wstring program;    // for a launch
    bool asked = false;      // the server may be outside: the question comes, and No is given
};

const std::wstring kStart = L"/c start ";

std::wstring SixteenMebibytes() {
    // Lines of filler without a path, then the path at the very end: the search for the
    // path's start runs through all 16 MiB.
    const std::wstring line = L"ただの文章です。 no path on this line, only words\r\n";
    const std::wstring path = L"\\\\fs01\\share\\end";
    const std::size_t units = 16u * 1024 * 1024 / sizeof(wchar_t);
    std::wstring text;
    text.reserve(units);
    while (text.size() + line.size() + path.size() <= units) text += line;
    text.append(units - text.size() - path.size(), L'x');
    return text + path;
}

std::wstring PathOfLength(std::size_t length) {
    std::wstring path = L"\\\\fs01\\share";
    while (path.size() + 8 <= length) path += L"\\folder7";
    path.append(length - path.size(), L'z');
    return path;
}

const std::wstring kLongPath = PathOfLength(32767);

const BadInput kBadInputs[] = {
    {"SixteenMebibyteSelection", SixteenMebibytes(), true, kStart + L"\\\\fs01\\share\\end\\",
     L"cmd.exe"},
    {"PathOf32767Characters", kLongPath, false, kStart + kLongPath + L"\\", L"cmd.exe"},
    // Everything after the first NUL is past the end of the text.
    {"EmbeddedNulAfterThePath", std::wstring(L"\\\\fs01\\a\0\\\\fs02\\b", 17), true,
     kStart + L"\\\\fs01\\a\\", L"cmd.exe"},
    {"EmbeddedNulBeforeThePath", std::wstring(L"see\0\\\\fs01\\a", 12), true, L"", L""},
    {"LoneHighSurrogate", L"\\\\fs01\\a\xD800z", true, kStart + L"\\\\fs01\\a\xD800z\\",
     L"cmd.exe"},
    {"LoneLowSurrogateAtTheEnd", L"\\\\fs01\\\xDC00", true, kStart + L"\\\\fs01\\\xDC00\\",
     L"cmd.exe"},
    // A control character ends the path: a Windows name cannot hold one.
    {"ControlCharacters",
     L"\\\\fs01\\a\tb\x01"
     L"c\x1B"
     L"d\x7F",
     false, kStart + L"\\\\fs01\\a\\", L"cmd.exe"},
    // Delete and the C1 controls are invisible in the question: Explorer, in quotes, not cmd.exe.
    {"DeleteAndC1Controls",
     L"\\\\fs01\\a\x7F"
     L"b\x85"
     L"c",
     true,
     L"\"\\\\fs01\\a\x7F"
     L"b\x85"
     L"c\\\"",
     L"explorer.exe"},
    {"LineFeedEnds", L"\\\\fs01\\a\nb\rc", false, kStart + L"\\\\fs01\\a\\", L"cmd.exe"},
    // An empty server name may be anything.
    {"OnlyBackslashes", L"\\\\\\\\\\\\\\\\\\\\", false, L"", L"", true},
    {"OneBackslash", L"\\", false, L"", L""},
    // Yen signs and full-width look-alikes of the backslash and the colon are how many mails
    // write a path: read as the path they stand for.
    {"FullWidthBackslashes", L"＼＼fs01＼share", false, kStart + L"\\\\fs01\\share\\", L"cmd.exe"},
    {"YenSigns", L"¥¥fs01¥share ￥￥fs02", true, kStart + L"\\\\fs01\\share\\", L"cmd.exe"},
    {"FullWidthColon", L"C：＼work", false, kStart + L"C:\\work\\", L"cmd.exe"},
    {"FullWidthColonRealBackslash", L"C：\\work", false, kStart + L"C:\\work\\", L"cmd.exe"},
    {"RealColonFullWidthBackslash", L"C:＼work", false, kStart + L"C:\\work\\", L"cmd.exe"},
    // Look-alikes inside a path are ordinary characters: no forbidden colon or asterisk.
    {"LookAlikesInsideAPath", L"\\\\fs01\\a：b＊c∖d", true, kStart + L"\\\\fs01\\a：b＊c∖d\\",
     L"cmd.exe"},
};

struct Road {
    const char* name;
    rig::OpenRoad road;
};

class BadInputs : public rig::HostTest,
                  public testing::WithParamInterface<std::tuple<BadInput, Road>> {
protected:
    void Configure() override {
        rig::HostTest::Configure();
        rig::WriteDword(L"TrivanePreserve", 1);
    }
    void TearDown() override {
        g_copiedText.clear();
        rig::HostTest::TearDown();
    }
};

TEST_P(BadInputs, OpenWhatThePathSaysOrNothing) {
    const BadInput& input = std::get<0>(GetParam());
    const Road& road = std::get<1>(GetParam());
    if (input.hostCopiesExactly) {
        g_copiedText = input.text;
        standin::SetCopyMode(standin::CopyMode::Nothing);
        standin::SetMessageObserver(&CopyTheWholeText);
        standin::SetMessageText(L"the host copies its own text");
    } else {
        standin::SetMessageText(input.text.c_str());
    }
    rig::ClipboardSource source;
    ASSERT_TRUE(source.Place({{CF_UNICODETEXT, rig::GlobalText(L"利用者の文")},
                              {RegisterClipboardFormatA("CvTrivane.BadInput.Private"),
                               rig::GlobalText(L"private bytes")},
                              {CF_BITMAP, rig::MakeBitmap(12, 6, 3)}}));
    const rig::ClipboardSnapshot before = rig::TakeSnapshot(source.window());

    const LRESULT hostAnswer = rig::HostAnswer(road.road);
    rig::ExceptionCounter exceptions(standin::Plugin().module);
    ASSERT_TRUE(exceptions.active());
    std::atomic<int> questions{0};
    rig::RoadResult result;
    {
        rig::DialogWatcher answers([&](HWND dialog) {
            if (rig::ClassifyDialog(dialog) != rig::DialogKind::kConfirm) return;
            ++questions;
            rig::Click(dialog, IDNO);
        });
        result = rig::RunOpenRoad(road.road, 0, -1);
    }
    EXPECT_EQ(exceptions.count(), 0);
    // A Shift+O that opened or asked was the plug-in's: the key did not reach the host.
    const bool keyTaken =
        road.road == rig::OpenRoad::kShiftO && (!input.launched.empty() || input.asked);
    EXPECT_EQ(result.value, keyTaken ? 0 : hostAnswer);
    EXPECT_EQ(questions.load(), input.asked ? 1 : 0);
    if (road.road == rig::OpenRoad::kContextMenu) {
        EXPECT_EQ(result.reached, !input.launched.empty() || input.asked)
            << "the item is offered for a path";
    }

    if (input.launched.empty()) {
        EXPECT_TRUE(Launches().empty());
    } else {
        ASSERT_EQ(Launches().size(), 1u);
        EXPECT_EQ(Launches()[0].file, rig::ProgramPath(input.program));
        EXPECT_TRUE(Launches()[0].parameters == input.launched)
            << Launches()[0].parameters.size() << " characters launched, " << input.launched.size()
            << " expected";
    }
    EXPECT_TRUE(MessageBoxes().empty());
    EXPECT_TRUE(rig::ClipboardIsFree(source.window()));
    const rig::ClipboardSnapshot after = rig::TakeSnapshot(source.window());
    EXPECT_EQ(rig::FormatIds(after), rig::FormatIds(before));
    for (const rig::FormatRecord& saved : before) {
        const rig::FormatRecord* now = rig::FindFormat(after, saved.id);
        ASSERT_NE(now, nullptr) << "format " << saved.id << " is gone";
        EXPECT_EQ(rig::Difference(saved, *now), "") << "format " << saved.id;
    }
}

const Road kRoads[] = {{"ShiftO", rig::OpenRoad::kShiftO},
                       {"ContextMenu", rig::OpenRoad::kContextMenu}};

INSTANTIATE_TEST_SUITE_P(Selections, BadInputs,
                         testing::Combine(testing::ValuesIn(kBadInputs), testing::ValuesIn(kRoads)),
                         [](const testing::TestParamInfo<BadInputs::ParamType>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

}  // namespace
