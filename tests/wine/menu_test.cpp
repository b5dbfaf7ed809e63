// The plug-in's menu items: the settings item in the tools menu and the open item that names
// the selected path at the top of the context menus.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "rig/host_fixture.h"

namespace {

const std::wstring kTenBlanks(10, L' ');

std::wstring ItemText(HMENU menu, UINT position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
    return text;
}

std::wstring Repeat(wchar_t c, size_t n) { return std::wstring(n, c); }

class MenuTest : public rig::HostTest {
protected:
    // Shows text, selects all of it and lets the plug-in prepare a context menu of kind.
    HMENU Prepare(const std::wstring& text, int kind) {
        ShowAndSelect(text.c_str());
        commandsBefore_ = standin::State().commands.size();
        copiesBefore_ = standin::CopyCommandsAnswered();
        HMENU menu = standin::PrepareContextMenu(View(), kind);
        menus_.push_back(menu);
        return menu;
    }
    void TearDown() override {
        for (HMENU menu : menus_) DestroyMenu(menu);
        rig::HostTest::TearDown();
    }
    size_t NewCommands() const { return standin::State().commands.size() - commandsBefore_; }
    int NewCopies() const { return standin::CopyCommandsAnswered() - copiesBefore_; }

    size_t commandsBefore_ = 0;
    int copiesBefore_ = 0;
    std::vector<HMENU> menus_;
};

constexpr int kHostItems = 2;  // the host's own "コピー" and "すべて選択"

struct CaptionCase {
    const char* name;
    int kind;
    std::wstring selection;
    std::wstring caption;  // empty: no item
};

const std::wstring kPath30 = L"\\\\fs01\\" + Repeat(L'a', 23);  // 30 characters
const std::wstring kPath31 = kPath30 + L"b";
const std::wstring kPath18 = L"\\\\fs01\\" + Repeat(L'c', 11);
const std::wstring kPath19 = kPath18 + L"d";

const CaptionCase kCaptionCases[] = {
    {"ServerPath", 3, L"\\\\fs01\\share", L"\\\\fs01\\share を開く(&O)" + kTenBlanks},
    {"TrailingBracketStripped", 4, L"see \\\\fs01\\share\\docs>",
     L"\\\\fs01\\share\\docs を開く(&O)" + kTenBlanks},
    {"ThirtyCharacters", 12, kPath30, kPath30 + L" を開く(&O)" + kTenBlanks},
    {"ThirtyOneCharacters", 12, kPath31, kPath31.substr(0, 29) + L"...を開く(&O)" + kTenBlanks},
    {"EighteenCharactersKind11", 11, kPath18, kPath18 + L" を開く(&O)" + kTenBlanks},
    {"NineteenCharactersKind11", 11, kPath19,
     kPath19.substr(0, 18) + L"...を開く(&O)" + kTenBlanks},
    {"LineBreakEnds", 3, L"C:\\temp\r\n", L"C:\\temp を開く(&O)" + kTenBlanks},
    {"BracketsAndSentence", 4, L"「\\\\fs01\\資料」に置きました",
     L"\\\\fs01\\資料 を開く(&O)" + kTenBlanks},
    {"ForbiddenCharacterStillOffered", 3, L"\\\\fs01\\a*b",
     L"\\\\fs01\\a*b を開く(&O)" + kTenBlanks},
    {"AmpersandShownAsWritten", 3, L"\\\\fs01\\q&a", L"\\\\fs01\\q&&a を開く(&O)" + kTenBlanks},
    {"ColonFirst", 4, L":\\temp", L""},
    {"NoPath", 4, L"no path here", L""},
};

class Captions : public MenuTest, public testing::WithParamInterface<CaptionCase> {};

TEST_P(Captions, TopItemNamesThePath) {
    const CaptionCase& c = GetParam();
    HMENU menu = Prepare(c.selection, c.kind);
    EXPECT_EQ(NewCopies(), 1);
    if (c.caption.empty()) {
        EXPECT_EQ(GetMenuItemCount(menu), kHostItems);
        EXPECT_EQ(NewCommands(), 0u);
        return;
    }
    ASSERT_EQ(GetMenuItemCount(menu), kHostItems + 1);
    EXPECT_EQ(ItemText(menu, 0), c.caption);
    ASSERT_EQ(NewCommands(), 1u);
    const standin::RegisteredCommand& command = standin::State().commands.back();
    EXPECT_EQ(static_cast<int>(GetMenuItemID(menu, 0)), command.id);
    EXPECT_EQ(command.menuKind, c.kind);
    char description[64] = {};
    WideCharToMultiByte(932, 0, L"この場所を開く", -1, description, sizeof(description), nullptr,
                        nullptr);
    EXPECT_STREQ(command.description, description);
}

INSTANTIATE_TEST_SUITE_P(Table, Captions, testing::ValuesIn(kCaptionCases),
                         [](const testing::TestParamInfo<CaptionCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(MenuTest, OtherKindsCaptureNothing) {
    for (int kind : {1, 2, 5, 10, 13}) {
        HMENU menu = Prepare(L"\\\\fs01\\share", kind);
        EXPECT_EQ(NewCopies(), 0) << kind;
        EXPECT_EQ(GetMenuItemCount(menu), kHostItems) << kind;
        EXPECT_EQ(NewCommands(), 0u) << kind;
    }
}

TEST_F(MenuTest, PickingTheItemOpensTheCapturedPath) {
    HMENU menu = Prepare(L"資料: <\\\\fs01\\share\\my docs>", 3);
    const int id = static_cast<int>(GetMenuItemID(menu, 0));
    // The selection changes after the menu was prepared; the item opens what was captured.
    ShowAndSelect(L"\\\\elsewhere\\x");
    ASSERT_TRUE(standin::RunPluginCommand(id, View()));
    ASSERT_EQ(Launches().size(), 1u);
    EXPECT_EQ(Launches()[0].file, rig::ProgramPath(L"explorer.exe"));
    EXPECT_EQ(Launches()[0].parameters, L"\"\\\\fs01\\share\\my docs\\\"");
}

TEST_F(MenuTest, PickingAnInvalidPathShowsTheMessage) {
    HMENU menu = Prepare(L"\\\\fs01\\a*b", 3);
    ASSERT_TRUE(standin::RunPluginCommand(static_cast<int>(GetMenuItemID(menu, 0)), View()));
    EXPECT_TRUE(Launches().empty());
    EXPECT_EQ(MessageBoxes().size(), 1u);
}

TEST_F(MenuTest, MenuBarGetsTheSettingsItemAtTheEndOfTheToolsMenu) {
    HMENU tools = GetSubMenu(GetMenu(main_), 4);
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(ItemText(GetMenu(main_), 4), L"ツール(&T)");
    const int count = GetMenuItemCount(tools);
    ASSERT_EQ(count, 3);  // the host's own item, then the plug-in's separator and item
    MENUITEMINFOW separator = {};
    separator.cbSize = sizeof(separator);
    separator.fMask = MIIM_FTYPE;
    GetMenuItemInfoW(tools, count - 2, TRUE, &separator);
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);
    EXPECT_EQ(ItemText(tools, count - 1), L"トリベインの設定をする(&S)...");
    const standin::RegisteredCommand* command =
        standin::FindCommand(static_cast<int>(GetMenuItemID(tools, count - 1)));
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->menuKind, 0);
    char description[64] = {};
    WideCharToMultiByte(932, 0, L"トリベインの設定をする", -1, description, sizeof(description),
                        nullptr, nullptr);
    EXPECT_STREQ(command->description, description);
}

TEST_F(MenuTest, PickingTheSettingsItemOpensTheSetupDialog) {
    HMENU tools = GetSubMenu(GetMenu(main_), 4);
    const int id = static_cast<int>(GetMenuItemID(tools, GetMenuItemCount(tools) - 1));
    std::wstring title;
    rig::DialogWatcher watcher([&](HWND dialog) {
        title = rig::WindowText(dialog);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    ASSERT_TRUE(standin::RunPluginCommand(id, main_));
    EXPECT_EQ(title, L"トリベインの設定");
}

}  // namespace
