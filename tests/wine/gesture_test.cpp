// The two gestures in the host's text windows, from the messages the window receives to the
// recorded launch.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "rig/clipboard_rig.h"
#include "rig/host_fixture.h"
#include "rig/import_patch.h"

namespace {

constexpr UINT kTripleClickMessage = 0xD1CA;
const wchar_t kMail[] = L"件名のない行\r\n\\\\fs01\\share\\reports\r\n最後の行";
const wchar_t kExpectedParameters[] = L"/c start \\\\fs01\\share\\reports\\";

void SetModifiers(bool shift, bool control) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    keys[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(keys);
}

void Press(HWND window, LPARAM point) {
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageW(window, WM_LBUTTONUP, 0, point);
}

void DoubleClick(HWND window, LPARAM point) {
    Press(window, point);
    SendMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, point);
    SendMessageW(window, WM_LBUTTONUP, 0, point);
}

class Gestures : public rig::HostTest {
protected:
    void SetUp() override {
        rig::HostTest::SetUp();
        standin::SetMessageText(kMail);
    }
    void TearDown() override {
        SetModifiers(false, false);
        rig::HostTest::TearDown();
    }
    void TripleClick(HWND window, int line) {
        const LPARAM point = LinePoint(window, line);
        DoubleClick(window, point);
        Sleep(30);
        Press(window, point);
        rig::PumpMessages(150);
    }
    void ExpectOneLaunchOfTheServerPath() {
        ASSERT_EQ(Launches().size(), 1u);
        EXPECT_EQ(Launches()[0].file, rig::ProgramPath(L"cmd.exe"));
        EXPECT_EQ(Launches()[0].parameters, kExpectedParameters);
    }
};

TEST_F(Gestures, TripleClickWithinTheDoubleClickTimeOpensTheLine) {
    TripleClick(View(), 1);
    ExpectOneLaunchOfTheServerPath();
}

TEST_F(Gestures, PressAfterTheDoubleClickTimeIsAnOrdinaryPress) {
    const LPARAM point = LinePoint(View(), 1);
    DoubleClick(View(), point);
    Sleep(GetDoubleClickTime() + 150);
    Press(View(), point);
    rig::PumpMessages(150);
    EXPECT_TRUE(Launches().empty());
}

// The plug-in's clock() and its registry queries, through its imports.
std::clock_t g_clock = 0;
std::clock_t(__cdecl* g_realClock)() = nullptr;
std::clock_t __cdecl PlayedClock() { return g_clock; }

int g_tripleClickReads = 0;
LONG(WINAPI* g_realQuery)(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) = nullptr;
LONG WINAPI CountingQuery(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                          LPDWORD size) {
    if (name != nullptr && std::wstring(name) == L"TrivaneTripleClick") ++g_tripleClickReads;
    return g_realQuery(key, name, reserved, type, data, size);
}

TEST_F(Gestures, TheDoubleClickTimeOfTheRuntimeClockCountsToItsLastMillisecond) {
    rig::PatchList patches;
    const HMODULE plugin = standin::Plugin().module;
    rig::AddPatch(patches, plugin, "msvcrt.dll", "clock", &PlayedClock, &g_realClock);
    rig::AddPatch(patches, plugin, "advapi32.dll", "RegQueryValueExW", &CountingQuery,
                  &g_realQuery);
    ASSERT_TRUE(g_realClock && g_realQuery);
    const LPARAM point = LinePoint(View(), 1);
    const std::clock_t limit = static_cast<std::clock_t>(GetDoubleClickTime());
    struct {
        std::clock_t after;
        size_t launches;
        int reads;  // the setting is read only for a press inside the time
    } const cases[] = {{limit + 1, 0, 0}, {limit, 1, 1}};
    std::clock_t base = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.after);
        base += 100000;  // far from the last double click, whatever real time has passed
        g_clock = base;
        DoubleClick(View(), point);
        g_clock = base + c.after;
        g_tripleClickReads = 0;
        observer_->Clear();
        Press(View(), point);
        rig::PumpMessages(150);
        EXPECT_EQ(Launches().size(), c.launches);
        EXPECT_EQ(g_tripleClickReads, c.reads);
    }
}

TEST_F(Gestures, AFurtherPressNeedsANewDoubleClick) {
    TripleClick(View(), 1);
    Press(View(), LinePoint(View(), 1));
    rig::PumpMessages(150);
    EXPECT_EQ(Launches().size(), 1u);
    TripleClick(View(), 1);
    EXPECT_EQ(Launches().size(), 2u);
}

TEST_F(Gestures, TheDoubleClickTimeIsSharedBetweenWindows) {
    HWND editor = OpenCompose(L"\\\\fs02\\drafts\r\n");
    DoubleClick(View(), LinePoint(View(), 1));
    Press(editor, LinePoint(editor, 0));
    rig::PumpMessages(150);
    ASSERT_EQ(Launches().size(), 1u);
    EXPECT_EQ(Launches()[0].parameters, L"/c start \\\\fs02\\drafts\\");
}

TEST_F(Gestures, TripleClickSettingOtherThanOneLeavesThePressOrdinaryButShiftOWorks) {
    for (std::uint32_t setting : {0u, 2u}) {
        SCOPED_TRACE(setting);
        observer_->Clear();
        rig::WriteDword(L"TrivaneTripleClick", setting);
        TripleClick(View(), 1);
        EXPECT_TRUE(Launches().empty());
        SendMessageW(View(), EM_SETSEL, 0, -1);
        SetModifiers(true, false);
        SendMessageW(View(), WM_KEYDOWN, 'O', 1);
        SetModifiers(false, false);
        ExpectOneLaunchOfTheServerPath();
    }
}

// What a key press made when the host's loop translated it, in the order it was queued.
struct Typed {
    UINT message;
    WPARAM character;
};

struct KeyCase {
    const char* name;
    bool shift;
    bool control;
    UINT message;
    WPARAM key;
    int launches;
    LPARAM flags = 0;  // bit 30: the key was down already
    // Empty: what TranslateMessage makes of the press in this thread's keyboard layout.
    std::vector<Typed> typed = {};
};

class ShiftO : public Gestures, public testing::WithParamInterface<KeyCase> {};

std::vector<UINT> g_hostMessages;
std::vector<size_t> g_launchesWhenTripleClickArrived;

void RecordHostMessage(HWND, UINT message, WPARAM, LPARAM) {
    g_hostMessages.push_back(message);
    if (message == kTripleClickMessage) {
        g_launchesWhenTripleClickArrived.push_back(
            rig::PluginObserver::CurrentLog()->launches.size());
    }
}

int HostGot(UINT message) {
    return static_cast<int>(std::count(g_hostMessages.begin(), g_hostMessages.end(), message));
}

constexpr LPARAM kScanCodeO = 0x18 << 16;
constexpr LPARAM kScanCodeX = 0x2D << 16;

// As the host's loop does it: the key press is translated, which queues its characters, and
// dispatched; then the characters are dispatched too, unless someone took them. A character
// of the next key press, already queued behind them, always reaches the host.
void TypeKey(HWND window, UINT message, WPARAM key, LPARAM flags = 0,
             const std::vector<Typed>& typed = {}) {
    g_hostMessages.clear();
    standin::SetMessageObserver(&RecordHostMessage);
    MSG press = {window, message, key, 1 | kScanCodeO | flags, 0, {0, 0}};
    if (typed.empty()) TranslateMessage(&press);
    for (const Typed& made : typed) {
        PostMessageW(window, made.message, made.character, press.lParam);
    }
    PostMessageW(window, WM_CHAR, 'x', 1 | kScanCodeX);
    DispatchMessageW(&press);
    rig::PumpMessages(30);
}

// A Shift+O that opened a path took the key: neither the press nor its character reached the
// host, so no O was typed over the selection. Every other key goes on as typed.
TEST_P(ShiftO, OpensOnlyForShiftOInAKeyDown) {
    const KeyCase& c = GetParam();
    SendMessageW(View(), EM_SETSEL, 0, -1);
    SetModifiers(c.shift, c.control);
    TypeKey(View(), c.message, c.key, c.flags, c.typed);
    EXPECT_EQ(static_cast<int>(Launches().size()), c.launches);
    EXPECT_EQ(HostGot(c.message), c.launches == 0 ? 1 : 0);
    // Exactly the press's own characters were taken: the next key's x arrives either way.
    int typed = 1;
    for (const Typed& made : c.typed) typed += made.message == WM_CHAR ? 1 : 0;
    if (c.launches != 0) {
        EXPECT_EQ(HostGot(WM_CHAR), 1);
        EXPECT_EQ(HostGot(WM_DEADCHAR) + HostGot(WM_SYSCHAR), 0);
    } else if (!c.typed.empty()) {
        EXPECT_EQ(HostGot(WM_CHAR), typed);
    }
}

const KeyCase kKeyCases[] = {
    {"ShiftO", true, false, WM_KEYDOWN, 'O', 1},
    {"CtrlShiftO", true, true, WM_KEYDOWN, 'O', 1},
    {"AltShiftO", true, false, WM_SYSKEYDOWN, 'O', 0},
    {"PlainO", false, false, WM_KEYDOWN, 'O', 0},
    {"CtrlO", false, true, WM_KEYDOWN, 'O', 0},
    {"ShiftP", true, false, WM_KEYDOWN, 'P', 0},
    {"ShiftOKeyUp", true, false, WM_KEYUP, 'O', 0},
    {"HeldShiftORepeats", true, false, WM_KEYDOWN, 'O', 0, 0x40000000, {{WM_CHAR, 'O'}}},
    {"DeadKeyAccentThenO", true, false, WM_KEYDOWN, 'O', 1, 0, {{WM_CHAR, L'\u00D4'}}},
    {"DeadKeyThatDidNotCombine",
     true,
     false,
     WM_KEYDOWN,
     'O',
     1,
     0,
     {{WM_CHAR, '^'}, {WM_CHAR, 'O'}}},
    {"LetterOfAnotherLayout", true, false, WM_KEYDOWN, 'O', 1, 0, {{WM_CHAR, L'\u0429'}}},
    {"DeadAndSystemCharacters",
     true,
     false,
     WM_KEYDOWN,
     'O',
     1,
     0,
     {{WM_DEADCHAR, '`'}, {WM_SYSCHAR, 'o'}}},
};

INSTANTIATE_TEST_SUITE_P(Keys, ShiftO, testing::ValuesIn(kKeyCases),
                         [](const testing::TestParamInfo<KeyCase>& info) {
                             return std::string(info.param.name);
                         });

// A standard edit or rich edit control says its selection itself: the path opens and the
// clipboard, a picture on it and its sequence number included, is not touched at all.
class StandardControl : public Gestures, public testing::WithParamInterface<standin::TextClass> {};

TEST_P(StandardControl, GivesItsSelectionWithoutTheClipboard) {
    standin::SetTextClass(GetParam());
    HWND editor = OpenCompose(L"\\\\fs01\\share\\reports\r\n以上");
    ASSERT_NE(editor, nullptr);
    SendMessageW(editor, EM_SETSEL, 0, 20);
    rig::ClipboardSource source;
    ASSERT_TRUE(source.Place({{CF_BITMAP, rig::MakeBitmap(8, 8, 3)}}));
    const rig::ClipboardSnapshot before = rig::TakeSnapshot(source.window());
    const DWORD sequence = GetClipboardSequenceNumber();
    const int copies = standin::CopyCommandsAnswered();
    EXPECT_EQ(rig::SendShiftO(editor), 0);
    ExpectOneLaunchOfTheServerPath();
    EXPECT_EQ(GetClipboardSequenceNumber(), sequence);
    EXPECT_EQ(standin::CopyCommandsAnswered(), copies);
    EXPECT_EQ(rig::Difference(before, rig::TakeSnapshot(source.window())), "");
}

INSTANTIATE_TEST_SUITE_P(Classes, StandardControl,
                         testing::Values(standin::TextClass::Edit, standin::TextClass::RichEdit20W,
                                         standin::TextClass::RichEdit20A));

TEST_F(Gestures, ShiftOWithoutSelectionOpensNothingAndTheKeyReachesTheHost) {
    SendMessageW(View(), EM_SETSEL, 0, 0);
    SetModifiers(true, false);
    TypeKey(View(), WM_KEYDOWN, 'O');
    EXPECT_TRUE(Launches().empty());
    EXPECT_TRUE(MessageBoxes().empty());
    EXPECT_EQ(HostGot(WM_KEYDOWN), 1);
    EXPECT_EQ(HostGot(WM_CHAR), 2);  // its O and the next key's x
}

// The plug-in's procedure keeps each window's character set: text outside the ANSI code page
// survives in the host's Unicode windows, and a window made with the ANSI functions stays ANSI.
TEST_F(Gestures, SubclassedWindowsKeepTheirCharacterSetAndTheirText) {
    const auto plugin = reinterpret_cast<LONG_PTR>(standin::Plugin().module);
    auto subclassed = [&](HWND window) {  // its procedure lies in the plug-in's image
        const LONG_PTR procedure = IsWindowUnicode(window)
                                       ? GetWindowLongPtrW(window, GWLP_WNDPROC)
                                       : GetWindowLongPtrA(window, GWLP_WNDPROC);
        return procedure > plugin && procedure < plugin + 0x1000000;
    };
    const wchar_t kWide[] = L"\\\\srv\\café\\资\\😀 ü";
    for (HWND window : {View(), OpenCompose(L"")}) {
        EXPECT_TRUE(subclassed(window));
        EXPECT_TRUE(IsWindowUnicode(window));
        SetWindowTextW(window, kWide);
        wchar_t back[64] = {};
        GetWindowTextW(window, back, 64);
        EXPECT_STREQ(back, kWide);
    }
    HWND frame = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                 nullptr, nullptr);
    HWND ansi = CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 50, 20, frame,
                                reinterpret_cast<HMENU>(103), nullptr, nullptr);
    standin::Plugin().OnOpenCompose(frame, 0);
    EXPECT_TRUE(subclassed(ansi));
    EXPECT_FALSE(IsWindowUnicode(ansi));
    SendMessageA(ansi, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("\\\\fs01\\\x8b\xa4\x97\x4c"));
    char text[32] = {};
    GetWindowTextA(ansi, text, sizeof(text));
    EXPECT_STREQ(text, "\\\\fs01\\\x8b\xa4\x97\x4c");  // 共有 in Shift_JIS
    DestroyWindow(frame);
}

TEST_F(Gestures, TheTripleClickMessageReachesTheHostAfterThePlugInActed) {
    g_launchesWhenTripleClickArrived.clear();
    standin::SetMessageObserver(&RecordHostMessage);
    TripleClick(View(), 1);
    ASSERT_EQ(g_launchesWhenTripleClickArrived.size(), 1u);
    EXPECT_EQ(g_launchesWhenTripleClickArrived[0], 1u);
    // The same number from another component is the host's alone.
    PostMessageW(View(), kTripleClickMessage, 0, 0);
    rig::PumpMessages(50);
    ASSERT_EQ(g_launchesWhenTripleClickArrived.size(), 2u);
    EXPECT_EQ(Launches().size(), 1u);
}

TEST_F(Gestures, WindowsKeepWorkingAfterTheHostUnloadsThePlugIn) {
    HWND editor = OpenCompose(L"本文");
    HMODULE plugin = standin::Plugin().module;
    const auto base = reinterpret_cast<UINT_PTR>(plugin);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(plugin)->e_lfanew);
    const UINT_PTR end = base + nt->OptionalHeader.SizeOfImage;
    observer_.reset();
    standin::UnloadPlugin();
    for (HWND window : {View(), editor}) {
        const auto procedure = static_cast<UINT_PTR>(GetWindowLongPtrW(window, GWLP_WNDPROC));
        EXPECT_FALSE(procedure >= base && procedure < end) << "a procedure of the unloaded DLL";
        SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"まだ動く"));
        EXPECT_EQ(rig::WindowText(window), L"まだ動く");
        SendMessageW(window, WM_KEYDOWN, 'O', 1);
    }
}

// Real input, as a person gives it: the system turns the clicks into the messages.
class RealInput : public Gestures {
protected:
    static void ClickAt(POINT screen) {
        const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        INPUT input[3] = {};
        for (INPUT& i : input) i.type = INPUT_MOUSE;
        input[0].mi.dx = screen.x * 65535 / (width - 1);
        input[0].mi.dy = screen.y * 65535 / (height - 1);
        input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(3, input, sizeof(INPUT));
    }
    static void RealTripleClick(HWND window, int line) {
        const LPARAM client = LinePoint(window, line);
        POINT point = {LOWORD(client), HIWORD(client)};
        ClientToScreen(window, &point);
        for (int i = 0; i < 3; ++i) {
            ClickAt(point);
            rig::PumpMessages(70);
        }
        rig::PumpMessages(250);
    }
    static void RealShiftO() {
        INPUT input[4] = {};
        const WORD keys[4] = {VK_SHIFT, 'O', 'O', VK_SHIFT};
        for (int i = 0; i < 4; ++i) {
            input[i].type = INPUT_KEYBOARD;
            input[i].ki.wVk = keys[i];
            input[i].ki.dwFlags = (i >= 2) ? KEYEVENTF_KEYUP : 0;
        }
        SendInput(4, input, sizeof(INPUT));
        rig::PumpMessages(250);
    }
};

TEST_F(RealInput, TripleClickInTheMessageView) {
    SetForegroundWindow(main_);
    rig::PumpMessages(100);
    RealTripleClick(View(), 1);
    ExpectOneLaunchOfTheServerPath();
}

TEST_F(RealInput, ShiftOInTheMessageView) {
    SetForegroundWindow(main_);
    SetFocus(View());
    SendMessageW(View(), EM_SETSEL, 0, -1);
    rig::PumpMessages(100);
    RealShiftO();
    ExpectOneLaunchOfTheServerPath();
}

TEST_F(RealInput, TripleClickAndShiftOInAComposingEditor) {
    HWND editor = OpenCompose(L"下書き\r\n\\\\fs01\\share\\reports\r\n");
    SetForegroundWindow(GetAncestor(editor, GA_ROOT));
    rig::PumpMessages(150);
    RealTripleClick(editor, 1);
    ExpectOneLaunchOfTheServerPath();
    SetFocus(editor);
    SendMessageW(editor, EM_SETSEL, 0, -1);
    RealShiftO();
    EXPECT_EQ(Launches().size(), 2u);
}

}  // namespace
