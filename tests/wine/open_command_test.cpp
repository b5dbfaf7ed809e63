// The open command from a captured selection of the stand-in host's message view to the
// shell launch, observed through the plug-in's import table: nothing is really started.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "rig/dialogs.h"
#include "rig/fault_injector.h"
#include "rig/rig.h"

namespace {

const wchar_t kDisplayName[] = L"Corvel!トリプルクリック～トリベインプラグイン";
const wchar_t kInvalidText[] = L"不正な文字が含まれています。\n　　　　/ : * ? \" < > |";

// A file server of the test's own: Wine serves \\server\share\rest from the prefix's
// dosdevices\unc\server\share\rest, so these folders exist for the plug-in's checks.
class FakeServer {
public:
    FakeServer() {
        wchar_t prefix[MAX_PATH] = {};
        GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH);
        std::wstring unc = std::wstring(L"Z:") + prefix + L"\\dosdevices\\unc";
        std::replace(unc.begin(), unc.end(), L'/', L'\\');
        for (std::wstring place :
             {L"\\\\fs01\\share\\見積書", L"\\\\fs01\\share\\はじめにお読みください",
              L"\\\\fs01\\share\\見積書（お客様提出用）", L"\\\\fs01\\share\\A社 と B社 共通",
              L"\\\\fs01\\share\\my docs here", L"\\\\fs01\\share\\営業部",
              L"\\\\files.example.com\\share\\契約書", L"C:\\cvt-places\\研修資料"}) {
            if (place[0] == L'\\') place = unc + place.substr(1);
            for (std::size_t at = place.find(L'\\', 3);; at = place.find(L'\\', at + 1)) {
                if (CreateDirectoryW(place.substr(0, at).c_str(), nullptr)) {
                    made_.push_back(place.substr(0, at));
                }
                if (at == std::wstring::npos) break;
            }
        }
    }
    ~FakeServer() {
        for (auto made = made_.rbegin(); made != made_.rend(); ++made)
            RemoveDirectoryW(made->c_str());
    }

private:
    std::vector<std::wstring> made_;
};

class OpenCommand : public testing::Test {
protected:
    void SetUp() override {
        rig::DeleteSettingsKey();
        rig::CreateSettingsKey();
        session_ = std::make_unique<rig::HostSession>();
        ASSERT_TRUE(session_->ok());
        observer_ = &session_->Observe();
        ASSERT_TRUE(observer_->complete());
        rig::WriteDword(L"TrivaneConfirm", 0);
        observer_->Clear();
    }
    void TearDown() override {
        // The confirmation and progress procedures answer FALSE to every message.
        EXPECT_EQ(observer_->log().dialogProcAnswers, std::vector<UINT>());
        session_.reset();
    }

    // Selects text in the view and opens it with Shift+O (or the context menu).
    void Open(const std::wstring& text, bool contextMenu = false) {
        session_->SelectInView(text);
        if (contextMenu) {
            offered_ = session_->OpenThroughContextMenu();
        } else {
            session_->PressShiftO(session_->view());
        }
    }

    FakeServer server_;
    std::unique_ptr<rig::HostSession> session_;
    rig::PluginObserver* observer_ = nullptr;
    bool offered_ = false;
};

struct LaunchCase {
    const wchar_t* path;
    std::uint32_t fileSetting;
    const wchar_t* file;
    const wchar_t* parameters;
    int nShow;
};

const LaunchCase kLaunches[] = {
    {L"\\\\fs01\\share\\reports", 1, L"cmd.exe", L"/c start \\\\fs01\\share\\reports\\", 0},
    {L"\\\\fs01\\share\\reports\\", 0, L"cmd.exe", L"/c start \\\\fs01\\share\\reports\\", 0},
    {L"\\\\fs01\\share\\my docs", 1, L"explorer.exe", L"\"\\\\fs01\\share\\my docs\\\"", 1},
    {L"\\\\fs01\\share\\q&a\\", 0, L"explorer.exe", L"\"\\\\fs01\\share\\q&a\\\"", 1},
    {L"C:\\work\\a.txt", 1, L"explorer.exe", L"/select,\"C:\\work\\a.txt\"", 1},
    {L"C:\\work\\a.txt", 0, L"cmd.exe", L"/c start C:\\work\\a.txt\\", 0},
    {L"C:\\my files\\a b.txt", 1, L"explorer.exe", L"/select,\"C:\\my files\\a b.txt\"", 1},
    {L"C:\\my files\\a b.txt", 0, L"explorer.exe", L"\"C:\\my files\\a b.txt\\\"", 1},
    {L"C:\\", 1, L"cmd.exe", L"/c start C:\\", 0},
    // The mends: the interpreter never sees '%' or '!'.
    {L"\\\\fs01\\%USERNAME%", 1, L"explorer.exe", L"\"\\\\fs01\\%USERNAME%\\\"", 1},
    {L"\\\\fs01\\a!b!", 1, L"explorer.exe", L"\"\\\\fs01\\a!b!\\\"", 1},
    // Inside servers open at once; Explorer reads the select form's comma inside the quotes.
    {L"\\\\192.168.1.20\\share", 1, L"cmd.exe", L"/c start \\\\192.168.1.20\\share\\", 0},
    {L"\\\\fs01\\q1,\\evil\\x.txt", 1, L"explorer.exe", L"/select,\"\\\\fs01\\q1,\\evil\\x.txt\"",
     1},
    // What follows the path ends where the server's last folder says (FakeServer's places).
    {L"\\\\fs01\\share\\見積書 に保存しました。", 1, L"cmd.exe",
     L"/c start \\\\fs01\\share\\見積書\\", 0},
    {L"\\\\fs01\\share\\見積書に保存しました。", 1, L"cmd.exe",
     L"/c start \\\\fs01\\share\\見積書\\", 0},
    {L"\\\\fs01\\share\\見積書 (権限がない場合)", 1, L"cmd.exe",
     L"/c start \\\\fs01\\share\\見積書\\", 0},
    {L"C:\\cvt-places\\研修資料、研修後に", 1, L"cmd.exe", L"/c start C:\\cvt-places\\研修資料\\",
     0},
    {L"\\\\fs01\\share\\営業部\\ に置きました", 1, L"cmd.exe",
     L"/c start \\\\fs01\\share\\営業部\\", 0},
    {L"\\\\fs01\\share\\MY DOCS HERE です", 1, L"explorer.exe",
     L"\"\\\\fs01\\share\\MY DOCS HERE\\\"", 1},
    // Names like prose open whole when they exist; else the text path, never a parent.
    {L"\\\\fs01\\share\\はじめにお読みください", 1, L"cmd.exe",
     L"/c start \\\\fs01\\share\\はじめにお読みください\\", 0},
    {L"\\\\fs01\\share\\見積書（お客様提出用）", 1, L"cmd.exe",
     L"/c start \\\\fs01\\share\\見積書（お客様提出用）\\", 0},
    {L"\\\\fs01\\share\\A社 と B社 共通", 1, L"explorer.exe",
     L"\"\\\\fs01\\share\\A社 と B社 共通\\\"", 1},
    {L"\\\\fs01\\share\\my docs here", 1, L"explorer.exe", L"\"\\\\fs01\\share\\my docs here\\\"",
     1},
    {L"\\\\fs02\\share\\my docs here", 1, L"explorer.exe", L"\"\\\\fs02\\share\\my docs here\\\"",
     1},
    {L"\\\\fs01\\share\\存在しない\\フォルダ", 1, L"cmd.exe",
     L"/c start \\\\fs01\\share\\存在しない\\フォルダ\\", 0},
};

TEST_F(OpenCommand, LaunchesEachExampleAsTheTableSays) {
    for (bool contextMenu : {false, true}) {
        for (const LaunchCase& c : kLaunches) {
            SCOPED_TRACE(testing::Message() << (contextMenu ? "menu: " : "Shift+O: ") << c.path
                                            << " file=" << c.fileSetting);
            rig::WriteDword(L"TrivaneFile", c.fileSetting);
            observer_->Clear();
            Open(std::wstring(L"場所は ") + c.path + L"\r\nよろしく", contextMenu);
            if (contextMenu) {
                EXPECT_TRUE(offered_);
            }
            const auto& launches = observer_->log().launches;
            ASSERT_EQ(launches.size(), 1u);
            const rig::ShellLaunch& launch = launches[0];
            // 60 in the 32-bit build, where a static assertion in the plug-in fixes it.
            EXPECT_EQ(launch.cbSize, sizeof(SHELLEXECUTEINFOW));
            EXPECT_EQ(launch.fMask, 0u);
            EXPECT_EQ(launch.hwnd, nullptr);
            EXPECT_EQ(launch.verb, L"open");
            EXPECT_EQ(launch.file, rig::ProgramPath(c.file));
            EXPECT_EQ(launch.parameters, c.parameters);
            EXPECT_FALSE(launch.directorySet);
            EXPECT_EQ(launch.nShow, c.nShow);
            EXPECT_TRUE(launch.otherFieldsZero);
            EXPECT_TRUE(observer_->log().dialogBoxes.empty()) << "no question while it is off";
        }
    }
}

TEST_F(OpenCommand, AVeryLongPathIsNeverCut) {
    std::wstring path = L"\\\\fs01\\share";
    while (path.size() < 5000) path += L"\\folder";
    Open(path);
    ASSERT_EQ(observer_->log().launches.size(), 1u);
    EXPECT_EQ(observer_->log().launches[0].parameters, L"/c start " + path + L"\\");
}

// A settings key that the user may read but not write, as an administrator may lock it.
using RegOpenKeyExAFunction = LONG(WINAPI*)(HKEY, const char*, DWORD, REGSAM, HKEY*);
RegOpenKeyExAFunction RealRegOpenKeyExA = nullptr;

LONG WINAPI OpenOnlyForReading(HKEY root, const char* path, DWORD options, REGSAM access,
                               HKEY* key) {
    if (access & KEY_SET_VALUE) {
        *key = nullptr;
        return ERROR_ACCESS_DENIED;
    }
    return RealRegOpenKeyExA(root, path, options, access, key);
}

HMODULE WINAPI RefuseLibrary(const wchar_t*) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

TEST_F(OpenCommand, SettingsAreReadFromAKeyThatCannotBeWritten) {
    rig::WriteDword(L"TrivaneFile", 1);
    rig::ScopedImportPatch readOnly(session_->module(), "advapi32.dll", "RegOpenKeyExA",
                                    rig::AsAddress(&OpenOnlyForReading));
    ASSERT_TRUE(readOnly.active());
    RealRegOpenKeyExA = rig::AsFunction<RegOpenKeyExAFunction>(readOnly.original());
    // TrivaneFile read as 1 selects the file; read as 0 it would open a folder named a.txt.
    Open(L"\\\\fs01\\share\\a.txt");
    ASSERT_EQ(observer_->log().launches.size(), 1u);
    EXPECT_EQ(observer_->log().launches[0].file, rig::ProgramPath(L"explorer.exe"));
    EXPECT_EQ(observer_->log().launches[0].parameters, L"/select,\"\\\\fs01\\share\\a.txt\"");
}

TEST_F(OpenCommand, AnInvalidPathShowsTheMessageAndLaunchesNothing) {
    for (const wchar_t* text : {L"\\\\fs01\\share\\a*b", L"\\\\fs01\\a?b", L"C:\\a\\b:c",
                                L"\\\\fs01\\\"q\"", L"X:\\a|b", L"\\\\fs01\\a<b>c"}) {
        SCOPED_TRACE(text);
        observer_->Clear();
        Open(text);
        const auto& boxes = observer_->log().messageBoxes;
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_FALSE(boxes[0].ansi);
        EXPECT_EQ(boxes[0].owner, session_->view());
        EXPECT_EQ(boxes[0].flags, 48u);
        EXPECT_EQ(boxes[0].caption, kDisplayName);
        EXPECT_EQ(boxes[0].text, kInvalidText);
        EXPECT_TRUE(observer_->log().launches.empty());
        EXPECT_TRUE(observer_->log().createdDialogs.empty());
        EXPECT_TRUE(observer_->log().dialogBoxes.empty());
    }
}

TEST_F(OpenCommand, TextWithoutAPathOrWithAnEmptyOneShowsNothing) {
    rig::WriteDword(L"TrivaneConfirm", 1);
    for (const wchar_t* text : {L"ただの文章です", L":\\先頭のコロン", L"abc\r:\\folder"}) {
        SCOPED_TRACE(text);
        observer_->Clear();
        Open(text);
        EXPECT_TRUE(observer_->log().sequence.empty()) << observer_->log().sequence.size();
    }
}

class Confirmation : public OpenCommand {
protected:
    void SetUp() override {
        OpenCommand::SetUp();
        rig::WriteDword(L"TrivaneConfirm", 1);
        observer_->Clear();
    }

    // Opens with drive acting on the confirmation dialog from the watcher thread.
    void OpenAsking(const wchar_t* path, const std::function<void(HWND)>& drive) {
        rig::DialogWatcher watcher([&](HWND dialog) {
            if (rig::ClassifyDialog(dialog) == rig::DialogKind::kConfirm) drive(dialog);
        });
        Open(path);
    }

    std::uint32_t StoredConfirm() {
        DWORD type = 0, size = 0;
        std::uint32_t value = 0xEEEE;
        rig::ReadValue(L"TrivaneConfirm", &type, &size, &value);
        return value;
    }
};

// What a question shows: its default button, its icon and whether its two lines draw '&'.
struct QuestionLook {
    LRESULT defaultId = 0;
    HICON icon = nullptr;
    bool linesKeepAmpersand = false;
};
QuestionLook LookOf(HWND dialog) {
    QuestionLook look;
    look.defaultId = SendMessageW(dialog, DM_GETDEFID, 0, 0);
    look.icon = reinterpret_cast<HICON>(SendDlgItemMessageW(dialog, 1013, STM_GETICON, 0, 0));
    look.linesKeepAmpersand =
        (GetWindowLongW(GetDlgItem(dialog, 1011), GWL_STYLE) &
         GetWindowLongW(GetDlgItem(dialog, 1012), GWL_STYLE) & SS_NOPREFIX) != 0;
    return look;
}

// Every line of the control's text fits its width, and the control is tall enough for all.
bool ShownWhole(HWND dialog, int control) {
    HWND item = GetDlgItem(dialog, control);
    const std::wstring text = rig::ControlText(dialog, control);
    HDC dc = GetDC(item);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(item, WM_GETFONT, 0, 0)));
    RECT client = {}, needed = {};
    GetClientRect(item, &client);
    needed.right = client.right;
    DrawTextW(dc, text.c_str(), -1, &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    SelectObject(dc, old);
    ReleaseDC(item, dc);
    return needed.bottom > 0 && needed.right <= client.right && needed.bottom <= client.bottom;
}

std::wstring WithoutLineBreaks(std::wstring text) {
    for (std::size_t at; (at = text.find(L"\r\n")) != std::wstring::npos;) text.erase(at, 2);
    return text;
}

TEST_F(Confirmation, EnterOpensAndKeepsTheQuestion) {
    std::wstring shown;
    bool boxChecked = true;
    QuestionLook look;
    OpenAsking(L"\\\\fs01\\share\\R&D", [&](HWND dialog) {
        shown = rig::ControlText(dialog, 1011);
        boxChecked = IsDlgButtonChecked(dialog, 1001) == BST_CHECKED;
        look = LookOf(dialog);
        rig::PressKey(dialog, VK_RETURN);
    });
    EXPECT_EQ(shown, L"\\\\fs01\\share\\R&D");
    EXPECT_FALSE(boxChecked);
    EXPECT_EQ(look.defaultId, MAKELRESULT(IDYES, DC_HASDEFID));
    EXPECT_EQ(look.icon, LoadIconW(nullptr, IDI_INFORMATION));
    EXPECT_TRUE(look.linesKeepAmpersand);
    const auto& log = observer_->log();
    ASSERT_EQ(log.dialogBoxes.size(), 1u);
    EXPECT_EQ(log.dialogBoxes[0].instance, session_->module());
    EXPECT_EQ(log.dialogBoxes[0].templateId, 102u);
    EXPECT_EQ(log.dialogBoxes[0].owner, session_->view());
    EXPECT_EQ(log.dialogBoxes[0].parameterText, L"\\\\fs01\\share\\R&D");
    EXPECT_EQ(log.dialogBoxes[0].result, IDYES);
    ASSERT_EQ(log.launches.size(), 1u);
    EXPECT_TRUE(log.launches[0].progressVisible) << "the progress window comes before the launch";
    ASSERT_EQ(log.registryWrites.size(), 1u);
    EXPECT_EQ(log.registryWrites[0].name, L"TrivaneConfirm");
    EXPECT_EQ(log.registryWrites[0].value, 1u);
    EXPECT_EQ(StoredConfirm(), 1u);
    // Order: question, progress window created and shown, then the shell.
    std::vector<std::string> order;
    for (const std::string& call : log.sequence) {
        if (call != "RegSetValueExW") order.push_back(call);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"DialogBoxParamA", "CreateDialogParamA",
                                               "ShowWindow", "ShellExecuteExW"}));
}

TEST_F(Confirmation, AnInsideServerIsCheckedFirstSoTheQuestionShowsThePlaceThatOpens) {
    std::wstring shown;
    OpenAsking(L"\\\\fs01\\share\\見積書に保存しました。", [&](HWND dialog) {
        shown = rig::ControlText(dialog, 1011);
        rig::Click(dialog, IDYES);
    });
    EXPECT_EQ(shown, L"\\\\fs01\\share\\見積書");
    EXPECT_EQ(observer_->log().launches.size(), 1u);
}

TEST_F(Confirmation, ALongPathIsShortenedInItsMiddleKeepingServerAndShare) {
    std::wstring path = L"\\\\fs01\\share";
    for (int i = 0; i < 30; ++i) path += L"\\folder" + std::to_wstring(i);
    std::wstring shown;
    bool whole = false;
    OpenAsking(path.c_str(), [&](HWND dialog) {
        shown = rig::ControlText(dialog, 1011);
        whole = ShownWhole(dialog, 1011);
        rig::Click(dialog, IDNO);
    });
    EXPECT_EQ(shown.rfind(L"\\\\fs01\\share\\...\\", 0), 0u)
        << std::string(shown.begin(), shown.end());
    EXPECT_EQ(shown.substr(shown.size() - 9), L"\\folder29");
    EXPECT_EQ(shown.find(L"\r\n"), std::wstring::npos) << "one line, as the control has";
    EXPECT_TRUE(whole);
}

TEST_F(Confirmation, WithoutItsInitParameterTheQuestionKeepsThePlaceholder) {
    observer_->NullDialogParameter(true);
    std::wstring shown;
    OpenAsking(L"\\\\fs01\\share", [&](HWND dialog) {
        shown = rig::ControlText(dialog, 1011);
        rig::Click(dialog, IDNO);
    });
    EXPECT_EQ(shown, L"\\server\\folder\\folder\\folder\\folder\\folder\\folder\\folder");
    EXPECT_TRUE(observer_->log().launches.empty());
}

TEST_F(Confirmation, CheckClearCheckShowsTheHintTwiceAndYesSwitchesTheQuestionOff) {
    HWND confirm = nullptr;
    OpenAsking(L"C:\\work", [&](HWND dialog) {
        confirm = dialog;
        rig::Click(dialog, 1001);
        rig::Click(dialog, 1001);
        // Focus notifications of the box show nothing.
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(1001, BN_SETFOCUS),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1001)));
        rig::Click(dialog, 1001);
        rig::Click(dialog, IDYES);
    });
    const auto& boxes = observer_->log().messageBoxes;
    ASSERT_EQ(boxes.size(), 2u);
    wchar_t caption[64] = {}, text[128] = {};
    for (const rig::MessageBoxCall& box : boxes) {
        EXPECT_TRUE(box.ansi);
        EXPECT_EQ(box.owner, confirm);
        EXPECT_EQ(box.flags, 0x40u);
        MultiByteToWideChar(932, 0, box.captionBytes.c_str(), -1, caption, 64);
        MultiByteToWideChar(932, 0, box.textBytes.c_str(), -1, text, 128);
        EXPECT_STREQ(caption, L"Corvel!サーバー開くプラグイン");
        EXPECT_STREQ(text,
                     L"再び表示させるには、メニューの\n「ツール＞トリベインの設定をする...」\nで設"
                     L"定を変更してください。");
    }
    EXPECT_EQ(observer_->log().launches.size(), 1u);
    EXPECT_EQ(StoredConfirm(), 0u);
    observer_->Clear();
    Open(L"C:\\work");
    EXPECT_TRUE(observer_->log().dialogBoxes.empty());
    EXPECT_EQ(observer_->log().launches.size(), 1u);
}

TEST_F(Confirmation, NoEscAndTheCloseBoxLaunchNothingAndStoreNothing) {
    const std::pair<const char*, std::function<void(HWND)>> ways[] = {
        {"no", [](HWND dialog) { rig::Click(dialog, IDNO); }},
        {"escape", [](HWND dialog) { rig::PressKey(dialog, VK_ESCAPE); }},
        {"close box", [](HWND dialog) { rig::CloseBox(dialog); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.first);
        observer_->Clear();
        OpenAsking(L"\\\\fs01\\share", [&](HWND dialog) {
            rig::Click(dialog, 1001);  // checked, but not confirmed
            way.second(dialog);
        });
        const auto& log = observer_->log();
        ASSERT_EQ(log.dialogBoxes.size(), 1u);
        EXPECT_EQ(log.dialogBoxes[0].result, IDNO);
        EXPECT_TRUE(log.launches.empty());
        EXPECT_TRUE(log.createdDialogs.empty()) << "no progress window after No";
        EXPECT_TRUE(log.registryWrites.empty());
        EXPECT_EQ(StoredConfirm(), 1u);
    }
}

TEST_F(Confirmation, AGestureElsewhereDuringTheQuestionOpensItsOwnPath) {
    HWND compose = session_->OpenCompose(L"\\\\fs02\\other");
    ASSERT_NE(compose, nullptr);
    HWND editor = GetDlgItem(GetDlgItem(compose, 102), 103);
    SendMessageW(editor, EM_SETSEL, 0, -1);
    std::vector<std::wstring> asked;
    HWND outer = nullptr;
    OpenAsking(L"\\\\fs01\\first", [&](HWND dialog) {
        asked.push_back(rig::ControlText(dialog, 1011));
        if (outer == nullptr) {
            outer = dialog;
            // A triple click in the editor: a capture and open there.
            SendMessageW(editor, WM_LBUTTONDBLCLK, MK_LBUTTON, 0);
            SendMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            return;
        }
        rig::Click(dialog, IDYES);
        rig::WaitGone(dialog, 5000);
        rig::Click(outer, IDYES);
    });
    EXPECT_EQ(asked, (std::vector<std::wstring>{L"\\\\fs01\\first", L"\\\\fs02\\other"}));
    const auto& launches = observer_->log().launches;
    ASSERT_EQ(launches.size(), 2u);
    EXPECT_EQ(launches[0].parameters, L"/c start \\\\fs02\\other\\");
    EXPECT_EQ(launches[1].parameters, L"/c start \\\\fs01\\first\\");
}

// The host may end the plug-in from a message that the question's own loop dispatches (its
// window closed as the session ends): the library stays loaded until control has come back out
// of it. It pins itself for the rest of the process, so this runs in a process of its own.
TEST_F(Confirmation, ExitDuringTheQuestionKeepsTheLibraryLoaded) {
    EXPECT_EXIT(
        {
            wchar_t path[MAX_PATH] = {};
            GetModuleFileNameW(session_->module(), path, MAX_PATH);
            OpenAsking(L"\\\\fs01\\share",
                       [&](HWND) { PostMessageW(session_->main(), WM_CLOSE, 0, 0); });
            std::exit(GetModuleHandleW(path) != nullptr ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(Confirmation, WithoutTheSettingsKeyTheQuestionComes) {
    rig::DeleteSettingsKey();
    bool boxEnabled = false;
    OpenAsking(L"\\\\fs01\\share", [&](HWND dialog) {
        boxEnabled = IsWindowEnabled(GetDlgItem(dialog, 1001)) != FALSE;
        rig::Click(dialog, IDNO);
    });
    ASSERT_EQ(observer_->log().dialogBoxes.size(), 1u);
    EXPECT_TRUE(boxEnabled) << "an ordinary question";
    EXPECT_TRUE(observer_->log().launches.empty());
}

// ---- Servers that may be outside the organisation ---------------------------------------------

std::wstring OutsideQuestion(const std::wstring& server) {
    return L"社外の可能性があるサーバー（" + server + L"）です。開いてよろしいですか？";
}
const wchar_t kZoneKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains\\"
    L"example.co.jp";

class OutsideServer : public Confirmation {
protected:
    void SetUp() override {
        Confirmation::SetUp();
        rig::WriteDword(L"TrivaneConfirm", 0);
        observer_->Clear();
    }

    struct Seen {
        int questions = 0;
        std::wstring line;
        bool boxEnabled = true, boxChecked = true, lineWhole = false, pathWhole = false;
        QuestionLook look;
        HWND focus = nullptr, no = nullptr;
    };
    // Opens path; a question is read and then answered by answer.
    Seen OpenOutside(const wchar_t* path, const std::function<void(HWND)>& answer) {
        Seen seen;
        OpenAsking(path, [&](HWND dialog) {
            ++seen.questions;
            seen.line = WithoutLineBreaks(rig::ControlText(dialog, 1012));
            seen.boxEnabled = IsWindowEnabled(GetDlgItem(dialog, 1001)) != FALSE;
            seen.boxChecked = IsDlgButtonChecked(dialog, 1001) == BST_CHECKED;
            seen.lineWhole = ShownWhole(dialog, 1012);
            seen.pathWhole = ShownWhole(dialog, 1011);
            seen.look = LookOf(dialog);
            GUITHREADINFO thread = {};
            thread.cbSize = sizeof(thread);
            GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread);
            seen.focus = thread.hwndFocus;
            seen.no = GetDlgItem(dialog, IDNO);
            answer(dialog);
        });
        return seen;
    }
};

TEST_F(OutsideServer, IsAskedAboutWithItsBoxDisabledAndNoEnterEscOrCloseOpenNothing) {
    const std::wstring longServer =
        L"a-very-long-server-name-for-the-display-of-the-question.outside.example.com";
    ASSERT_EQ(longServer.size(), 75u);
    const std::pair<std::wstring, std::wstring> paths[] = {
        {L"\\\\files.example.com\\share", L"files.example.com"},
        {L"\\\\203.0.113.5\\share", L"203.0.113.5"},
        {L"\\\\fs01@SSL\\dav", L"fs01@SSL"},
        {L"\\\\fs01@8080\\dav", L"fs01@8080"},
        {L"\\\\.\\UNC\\fs01\\share", L"."},
        {L"\\\\3405803781\\share", L"3405803781"},
        {L"\\\\ｆｓ０１\\share", L"ｆｓ０１"},
        {L"\\\\q&a.example.com\\share", L"q&a.example.com"},
        {L"\\\\" + longServer + L"\\share\\報告書\\2024", longServer},
        {L"\\\\" + longServer + L"\\" + std::wstring(80, L's') + L"\\x", longServer},
    };
    const std::function<void(HWND)> ways[] = {
        [](HWND d) { rig::Click(d, IDNO); }, [](HWND d) { rig::PressKey(d, VK_RETURN); },
        [](HWND d) { rig::PressKey(d, VK_ESCAPE); }, [](HWND d) { rig::CloseBox(d); },
        // The letter of Yes does nothing here; Esc then ends the question.
        [](HWND d) {
            rig::PressKey(d, 'Y');
            rig::PressKey(d, VK_ESCAPE);
        }};
    int way = 0;
    for (const auto& path : paths) {
        SCOPED_TRACE(testing::Message() << "path " << way);
        observer_->Clear();
        const Seen seen = OpenOutside(path.first.c_str(), ways[way++ % 5]);
        EXPECT_EQ(seen.questions, 1);
        EXPECT_EQ(seen.line, OutsideQuestion(path.second));
        EXPECT_TRUE(seen.lineWhole) << "the line is cut";
        EXPECT_TRUE(seen.pathWhole) << "the path is cut";
        EXPECT_FALSE(seen.boxEnabled);
        EXPECT_FALSE(seen.boxChecked);
        EXPECT_EQ(seen.look.defaultId, MAKELRESULT(IDNO, DC_HASDEFID));
        EXPECT_EQ(seen.focus, seen.no);
        EXPECT_EQ(seen.look.icon, LoadIconW(nullptr, IDI_WARNING));
        EXPECT_TRUE(seen.look.linesKeepAmpersand);
        const auto& log = observer_->log();
        ASSERT_EQ(log.dialogBoxes.size(), 1u);
        EXPECT_EQ(log.dialogBoxes[0].parameterText, path.first);
        EXPECT_EQ(log.dialogBoxes[0].result, IDNO);
        EXPECT_TRUE(log.launches.empty());
        EXPECT_TRUE(log.registryWrites.empty());
    }
    EXPECT_EQ(StoredConfirm(), 0u);
}

// A "drive" whose letter is no letter is no drive of the user's: whatever the path reading
// makes of it, Enter on a question opens nothing, and nothing opens without one.
TEST_F(OutsideServer, ADriveWithoutALetterIsNeverOpened) {
    for (const wchar_t* path : {L"::\\x", L"\\:\\x", L"1:\\x", L"１:\\x"}) {
        SCOPED_TRACE(testing::Message() << path[0]);
        observer_->Clear();
        OpenOutside(path, [](HWND d) { rig::PressKey(d, VK_RETURN); });
        EXPECT_TRUE(observer_->log().launches.empty());
    }
}

TEST_F(OutsideServer, YesOpensAndWritesNothing) {
    const Seen seen = OpenOutside(L"\\\\files.example.com\\share\\請求書.pdf",
                                  [](HWND d) { rig::Click(d, IDYES); });
    EXPECT_EQ(seen.questions, 1);
    const auto& log = observer_->log();
    ASSERT_EQ(log.launches.size(), 1u);
    EXPECT_EQ(log.launches[0].parameters, L"/select,\"\\\\files.example.com\\share\\請求書.pdf\"");
    EXPECT_TRUE(log.registryWrites.empty());
    EXPECT_EQ(StoredConfirm(), 0u);
}

// The plug-in's file checks, counted on whichever thread they run.
volatile LONG FileChecks = 0;
using GetFileAttributesWFunction = DWORD(WINAPI*)(const wchar_t*);
using FindFirstFileWFunction = HANDLE(WINAPI*)(const wchar_t*, WIN32_FIND_DATAW*);
GetFileAttributesWFunction RealGetFileAttributesW = nullptr;
FindFirstFileWFunction RealFindFirstFileW = nullptr;
DWORD WINAPI CountedGetFileAttributesW(const wchar_t* path) {
    InterlockedIncrement(&FileChecks);
    return RealGetFileAttributesW(path);
}
HANDLE WINAPI CountedFindFirstFileW(const wchar_t* pattern, WIN32_FIND_DATAW* found) {
    InterlockedIncrement(&FileChecks);
    return RealFindFirstFileW(pattern, found);
}

TEST_F(OutsideServer, NothingIsCheckedBeforeYesAndThenThePlaceTheChecksFindOpens) {
    rig::ScopedImportPatch attributes(session_->module(), "kernel32.dll", "GetFileAttributesW",
                                      rig::AsAddress(&CountedGetFileAttributesW));
    rig::ScopedImportPatch listing(session_->module(), "kernel32.dll", "FindFirstFileW",
                                   rig::AsAddress(&CountedFindFirstFileW));
    RealGetFileAttributesW = rig::AsFunction<GetFileAttributesWFunction>(attributes.original());
    RealFindFirstFileW = rig::AsFunction<FindFirstFileWFunction>(listing.original());
    ASSERT_TRUE(RealGetFileAttributesW != nullptr && RealFindFirstFileW != nullptr);
    const wchar_t kLine[] = L"\\\\files.example.com\\share\\契約書 に置きました。";
    LONG checksBeforeYes = -1;
    FileChecks = 0;
    OpenOutside(kLine, [&](HWND d) {
        checksBeforeYes = FileChecks;
        rig::Click(d, IDYES);
    });
    EXPECT_EQ(checksBeforeYes, 0);
    ASSERT_EQ(observer_->log().dialogBoxes.size(), 1u);
    EXPECT_EQ(observer_->log().dialogBoxes[0].parameterText, kLine) << "asked with the text path";
    ASSERT_EQ(observer_->log().launches.size(), 1u);
    EXPECT_EQ(observer_->log().launches[0].parameters,
              L"/c start \\\\files.example.com\\share\\契約書\\");
    EXPECT_EQ(FileChecks, 2) << "a typical line: the whole text path, then one listing";
}

// Wine's zone manager maps file://host/ by ZoneMap\Domains, as Windows does.
TEST_F(OutsideServer, ADomainInTheIntranetZoneIsInsideUnlessTheZoneCannotBeAsked) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kZoneKey);
    HKEY corp = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kZoneKey) + L"\\corp").c_str(), 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, &corp, nullptr),
              ERROR_SUCCESS);
    const DWORD intranet = 1;
    RegSetValueExW(corp, L"file", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&intranet), 4);
    RegCloseKey(corp);
    HKEY trusted = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kZoneKey) + L"\\cloud").c_str(), 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, &trusted, nullptr),
              ERROR_SUCCESS);
    const DWORD trustedSites = 2;
    RegSetValueExW(trusted, L"file", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&trustedSites), 4);
    RegCloseKey(trusted);
    EXPECT_EQ(
        OpenOutside(L"\\\\cloud.example.co.jp\\dfs", [](HWND d) { rig::Click(d, IDNO); }).questions,
        1)
        << "Trusted sites are outside";
    observer_->Clear();
    const Seen inside =
        OpenOutside(L"\\\\corp.example.co.jp\\dfs\\x", [](HWND d) { rig::Click(d, IDNO); });
    EXPECT_EQ(inside.questions, 0);
    ASSERT_EQ(observer_->log().launches.size(), 1u);
    EXPECT_EQ(observer_->log().launches[0].parameters,
              L"/c start \\\\corp.example.co.jp\\dfs\\x\\");
    observer_->Clear();
    EXPECT_EQ(
        OpenOutside(L"\\\\other.example.co.jp\\dfs", [](HWND d) { rig::Click(d, IDNO); }).questions,
        1);
    // urlmon cannot be loaded: the server counts as outside.
    observer_->Clear();
    {
        rig::ScopedImportPatch noLibrary(session_->module(), "kernel32.dll", "LoadLibraryW",
                                         rig::AsAddress(&RefuseLibrary));
        ASSERT_TRUE(noLibrary.active());
        EXPECT_EQ(OpenOutside(L"\\\\corp.example.co.jp\\dfs", [](HWND d) { rig::Click(d, IDNO); })
                      .questions,
                  1);
    }
    EXPECT_TRUE(observer_->log().launches.empty());
    RegDeleteTreeW(HKEY_CURRENT_USER, kZoneKey);
}

TEST_F(OpenCommand, WithTheCommandPromptDisabledAFolderOpensThroughExplorer) {
    const wchar_t kPolicy[] = L"Software\\Policies\\Microsoft\\Windows\\System";
    HKEY policy = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kPolicy, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &policy, nullptr),
              ERROR_SUCCESS);
    const DWORD disabled = 1;
    RegSetValueExW(policy, L"DisableCMD", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&disabled),
                   4);
    Open(L"\\\\fs01\\share\\reports");
    RegDeleteValueW(policy, L"DisableCMD");
    RegCloseKey(policy);
    ASSERT_EQ(observer_->log().launches.size(), 1u);
    EXPECT_EQ(observer_->log().launches[0].file, rig::ProgramPath(L"explorer.exe"));
    EXPECT_EQ(observer_->log().launches[0].parameters, L"\"\\\\fs01\\share\\reports\\\"");
    EXPECT_EQ(observer_->log().launches[0].nShow, 1);
}

// ---- Checks that do not finish in time ---------------------------------------------------------

// A server that does not answer: the attribute query waits until the test lets it go.
HANDLE SlowCheckRelease = CreateEventW(nullptr, TRUE, FALSE, nullptr);
DWORD WINAPI SlowGetFileAttributesW(const wchar_t* path) {
    WaitForSingleObject(SlowCheckRelease, 30000);
    InterlockedIncrement(&FileChecks);
    return RealGetFileAttributesW(path);
}

// The library must go at the end, so this runs in a process of its own.
TEST(PlaceChecks, PastTheDeadlineTheTextPathOpensAndTheCheckKeepsTheLibraryUntilItEnds) {
    EXPECT_EXIT(
        {
            auto server = std::make_unique<FakeServer>();
            rig::WriteDword(L"TrivaneConfirm", 0);
            wchar_t library[MAX_PATH] = {};
            DWORD waited = GetTickCount();
            {
                rig::HostSession session;
                const rig::CallLog& log = session.Observe().log();
                GetModuleFileNameW(session.module(), library, MAX_PATH);
                rig::ScopedImportPatch slow(session.module(), "kernel32.dll", "GetFileAttributesW",
                                            rig::AsAddress(&SlowGetFileAttributesW));
                RealGetFileAttributesW =
                    rig::AsFunction<GetFileAttributesWFunction>(slow.original());
                session.SelectInView(L"\\\\fs01\\share\\見積書 に保存しました。");
                session.PressShiftO(session.view());
                waited = GetTickCount() - waited;
                EXPECT_EQ(log.launches.size(), 1u);
                for (const rig::ShellLaunch& launch : log.launches) {
                    EXPECT_EQ(launch.parameters, L"\"\\\\fs01\\share\\見積書 に保存しました。\\\"");
                    EXPECT_TRUE(launch.progressVisible);
                }
                EXPECT_EQ(log.createdDialogs.size(), 1u)
                    << "one progress window, from the checks on";
            }  // the host unloads the plug-in
            EXPECT_GE(waited, 2900u);
            EXPECT_EQ(FileChecks, 0);
            EXPECT_NE(GetModuleHandleW(library), nullptr) << "the running check keeps the library";
            SetEvent(SlowCheckRelease);
            for (int i = 0; i < 200 && GetModuleHandleW(library) != nullptr; ++i) Sleep(50);
            EXPECT_EQ(FileChecks, 1);
            EXPECT_EQ(GetModuleHandleW(library), nullptr) << "the check ended and let it go";
            server.reset();
            std::exit(testing::Test::HasFailure() ? 1 : 0);
        },
        testing::ExitedWithCode(0), "");
}

// ---- The progress window ---------------------------------------------------------------------

class ProgressWindow : public OpenCommand {
protected:
    HWND OpenOne() {
        Open(L"\\\\fs01\\share");
        HWND window = observer_->log().lastProgressWindow;
        return window;
    }
    std::vector<rig::SentMessage> SentTo(HWND window, UINT message) {
        std::vector<rig::SentMessage> found;
        for (const rig::SentMessage& sent : observer_->log().sent) {
            if (sent.window == window && sent.message == message) found.push_back(sent);
        }
        return found;
    }
};

TEST_F(ProgressWindow, IsCreatedFrom103OwnedByTheWindowShownAndTimed) {
    HWND window = OpenOne();
    ASSERT_NE(window, nullptr);
    const auto& created = observer_->log().createdDialogs;
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].instance, session_->module());
    EXPECT_EQ(created[0].templateId, 103u);
    EXPECT_EQ(created[0].owner, session_->view());
    EXPECT_EQ(created[0].parameter, 0);
    ASSERT_EQ(observer_->log().shown.size(), 1u);
    EXPECT_EQ(observer_->log().shown[0], std::make_pair(window, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(window));
    ASSERT_FALSE(observer_->log().timers.empty());
    const rig::TimerCall& timer = observer_->log().timers[0];
    EXPECT_TRUE(timer.set);
    EXPECT_EQ(timer.window, window);
    EXPECT_EQ(timer.id, 52682u);
    EXPECT_EQ(timer.period, 100u);
    EXPECT_FALSE(timer.hasCallback);
}

// The real version query, not a played one. The test run repeats this with the Wine prefix
// set to Windows 2000 and to XP and names the version in CVT_WINDOWS_VERSION ("5.0", "5.1"),
// so that a setting that did not take fails here; without it the system is a recent one.
TEST_F(ProgressWindow, RunsTheBarThatTheRealSystemVersionCalls) {
    OSVERSIONINFOW system = {};
    system.dwOSVersionInfoSize = sizeof(system);
    ASSERT_TRUE(GetVersionExW(&system));
    const std::string reported =
        std::to_string(system.dwMajorVersion) + "." + std::to_string(system.dwMinorVersion);
    char named[16] = {};
    bool marquee = system.dwMajorVersion >= 6;
    if (GetEnvironmentVariableA("CVT_WINDOWS_VERSION", named, sizeof(named)) > 0) {
        ASSERT_EQ(reported, named) << "the Wine prefix does not report the version asked for";
        marquee = reported != "5.0";
    } else {
        ASSERT_TRUE(marquee) << "a recent system was expected, not " << reported;
    }
    HWND window = OpenOne();
    ASSERT_NE(window, nullptr);
    HWND bar = GetDlgItem(window, 1014);
    EXPECT_EQ((GetWindowLongW(bar, GWL_STYLE) & 0x08) != 0, marquee) << "PBS_MARQUEE";
    const auto started = SentTo(bar, 1034);
    ASSERT_EQ(started.size(), marquee ? 1u : 0u);
    if (marquee) {
        EXPECT_EQ(started[0].wParam, 1u);
        EXPECT_EQ(started[0].lParam, 100);
    }
    EXPECT_EQ(SentTo(bar, 1025).size(), marquee ? 0u : 1u) << "the step bar's range";
    for (int i = 0; i < 21; ++i) SendMessageW(window, WM_TIMER, 52682, 0);
    EXPECT_EQ(SentTo(bar, 1029).size(), marquee ? 0u : 21u) << "only the step bar is stepped";
    EXPECT_EQ(SentTo(bar, 1026).size(), 1u) << "the tick counter resets";
}

// A refused marquee (a host without common controls 6 answers PBM_SETMARQUEE with 0) is
// played on the second open by failing its SendMessageA.
TEST(ProgressVersions, MarqueeFromWindowsXpOnAndAStepBarBefore) {
    const struct {
        rig::PlayedVersion version;
        bool refused;
        bool marquee;
    } cases[] = {
        {{false, false, 4, 10}, false, false}, {{false, false, 5, 0}, false, false},
        {{false, false, 5, 1}, false, true},   {{false, false, 5, 2}, false, true},
        {{false, false, 6, 0}, false, true},   {{false, false, 10, 0}, false, true},
        {{false, true, 0, 0}, false, false},   {{false, false, 5, 1}, true, false},
        {{false, false, 10, 0}, true, false},
    };
    rig::DeleteSettingsKey();
    rig::CreateSettingsKey();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.version.major << "." << c.version.minor
                                        << (c.version.fail ? " failing" : "")
                                        << (c.refused ? " refusing the marquee" : ""));
        rig::HostSession session;
        ASSERT_TRUE(session.ok());
        rig::PluginObserver& observer = session.Observe();
        observer.PlayVersion(c.version);
        rig::WriteDword(L"TrivaneConfirm", 0);
        rig::FaultInjector injector(session.module());
        int sendsPerOpen = 0;
        for (int open = 0; open < 2; ++open) {
            // The marquee's message is the last one an open sends.
            if (open == 1 && c.refused) {
                ASSERT_TRUE(injector.FailCall("SendMessageA", sendsPerOpen));
            }
            session.SelectInView(L"\\\\fs01\\share");
            session.PressShiftO(session.view());
            sendsPerOpen = injector.Counts()["SendMessageA"];
        }
        EXPECT_EQ(injector.injected(), c.refused);
        HWND window = observer.log().lastProgressWindow;
        HWND bar = GetDlgItem(window, 1014);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ((GetWindowLongW(bar, GWL_STYLE) & 0x08) != 0, c.marquee);
        SendMessageW(window, WM_TIMER, 52682, 0);
        int setRange = 0, setStep = 0, steps = 0;
        for (const rig::SentMessage& sent : observer.log().sent) {
            if (sent.window != bar) continue;
            if (sent.message == 1025 && sent.wParam == 0 && sent.lParam == 0x00640000) ++setRange;
            if (sent.message == 1028 && sent.wParam == 5) ++setStep;
            if (sent.message == 1029) ++steps;
        }
        EXPECT_EQ(setRange, c.marquee ? 0 : 1);
        EXPECT_EQ(setStep, c.marquee ? 0 : 1);
        EXPECT_EQ(steps > 0, !c.marquee) << "only the step bar is stepped";
        // Asked once per load, with the record's full size.
        EXPECT_EQ(observer.log().versionQuerySizes, std::vector<DWORD>{276});
    }
}

TEST(ProgressSteps, FillInTwentyStepsAndResetAcrossWindows) {
    rig::DeleteSettingsKey();
    rig::CreateSettingsKey();
    rig::HostSession session;
    ASSERT_TRUE(session.ok());
    rig::PluginObserver& observer = session.Observe();
    observer.PlayVersion({false, false, 5, 0});
    rig::WriteDword(L"TrivaneConfirm", 0);
    auto open = [&] {
        session.SelectInView(L"\\\\fs01\\share");
        session.PressShiftO(session.view());
        return observer.log().lastProgressWindow;
    };
    auto tick = [](HWND window) { SendMessageW(window, WM_TIMER, 52682, 0); };
    // Only the ticks sent here count: the window's own timer is stopped.
    HWND first = open();
    KillTimer(first, 52682);
    HWND bar = GetDlgItem(first, 1014);
    for (int i = 1; i <= 20; ++i) {
        tick(first);
        EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 5 * i) << "tick " << i;
    }
    tick(first);  // tick 21: reset, then one step
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 5);
    for (int i = 0; i < 6; ++i) tick(first);  // tick 21 left the counter at 0: now 6
    PostMessageW(first, WM_CLOSE, 0, 0);
    rig::PumpMessages(50);
    EXPECT_FALSE(IsWindow(first));
    HWND second = open();
    KillTimer(second, 52682);
    HWND secondBar = GetDlgItem(second, 1014);
    observer.Clear();
    int resetAt = 0;
    for (int i = 1; i <= 21 && resetAt == 0; ++i) {
        tick(second);
        for (const rig::SentMessage& sent : observer.log().sent) {
            if (sent.window == secondBar && sent.message == PBM_SETPOS) resetAt = i;
        }
    }
    EXPECT_EQ(resetAt, 15) << "the counter goes on from the first window's 6";
}

TEST_F(ProgressWindow, GoesWhenItLosesActivationOrIsClosed) {
    HWND window = OpenOne();
    ASSERT_TRUE(IsWindow(window));
    rig::PumpMessages(50);
    EXPECT_TRUE(IsWindow(window)) << "being active keeps it";
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                 nullptr, nullptr, nullptr, nullptr);
    SetActiveWindow(other);
    rig::PumpMessages(50);
    EXPECT_FALSE(IsWindow(window));
    DestroyWindow(other);

    HWND closed = OpenOne();
    ASSERT_TRUE(IsWindow(closed));
    rig::CloseBox(closed);
    rig::PumpMessages(50);
    EXPECT_FALSE(IsWindow(closed));
    // WM_DESTROY stops the timer of each window that went.
    for (HWND gone : {window, closed}) {
        bool killed = false;
        for (const rig::TimerCall& timer : observer_->log().timers) {
            killed = killed || (!timer.set && timer.window == gone && timer.id == 52682);
        }
        EXPECT_TRUE(killed) << (gone == window ? "deactivated" : "closed");
    }
}

}  // namespace
