// The setup dialog through both of its doors, driven from the watcher thread: what it shows
// for the stored values, what OK writes (all four, in order, as 0 or 1) and that every other
// way out writes nothing.
#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <functional>
#include <memory>

#include "rig/dialogs.h"
#include "rig/rig.h"
#include "standin/standin_host.h"

namespace {

constexpr int kOk = 1;
constexpr int kCancel = 2;

// In the order the dialog reads and writes them.
struct Setting {
    const wchar_t* name;
    int box;
};
const std::array<Setting, 4> kSettings = {{
    {L"TrivaneConfirm", 1017},
    {L"TrivaneTripleClick", 1018},
    {L"TrivaneFile", 1022},
    {L"TrivanePreserve", 1020},
}};

constexpr std::uint32_t kMissing = 0xFFFFFFFEu;  // in a row of stored values: delete it
// In a row of stored values: a REG_SZ whose four bytes (01 00, then the NUL) form the number 1.
constexpr std::uint32_t kOneAsText = 0xFFFFFFFDu;

using Values = std::array<std::uint32_t, 4>;
using Checks = std::array<bool, 4>;

class SetupDialog : public testing::Test {
protected:
    void SetUp() override {
        rig::DeleteSettingsKey();
        rig::CreateSettingsKey();
        session_ = std::make_unique<rig::HostSession>();
        ASSERT_TRUE(session_->ok());
        observer_ = &session_->Observe();
        ASSERT_TRUE(observer_->complete());
        command_ = session_->SetupCommand();
        ASSERT_NE(command_, nullptr);
    }
    void TearDown() override { session_.reset(); }

    void Store(const Values& values) {
        for (std::size_t i = 0; i < kSettings.size(); ++i) {
            if (values[i] == kMissing) {
                rig::DeleteValue(kSettings[i].name);
            } else if (values[i] == kOneAsText) {
                rig::WriteRaw(kSettings[i].name, REG_SZ, L"\x01", 2 * sizeof(wchar_t));
            } else {
                rig::WriteDword(kSettings[i].name, values[i]);
            }
        }
        observer_->Clear();
    }

    static std::uint32_t Stored(const wchar_t* name) {
        DWORD type = 0, size = 0;
        std::uint32_t value = 0;
        return rig::ReadValue(name, &type, &size, &value) ? value : kMissing;
    }

    // Runs the dialog through the tools-menu command (or the host's setup request) with
    // drive acting on it from the watcher thread; anything else that appears is closed.
    int Run(const std::function<void(HWND)>& drive, bool hostDoor = false) {
        rig::DialogWatcher watcher([&](HWND dialog) {
            if (rig::ClassifyDialog(dialog) == rig::DialogKind::kSetup) {
                drive(dialog);
            } else {
                PostMessageW(dialog, WM_CLOSE, 0, 0);
            }
        });
        if (hostDoor) return standin::Plugin().OnPlugInSetup(session_->main());
        return command_(session_->main(), 0x5A5A);
    }

    static Checks ReadChecks(HWND dialog) {
        Checks checks{};
        for (std::size_t i = 0; i < kSettings.size(); ++i) {
            checks[i] = IsDlgButtonChecked(dialog, kSettings[i].box) == BST_CHECKED;
        }
        return checks;
    }

    std::unique_ptr<rig::HostSession> session_;
    rig::PluginObserver* observer_ = nullptr;
    rig::HostSession::HostCommand command_ = nullptr;
};

TEST_F(SetupDialog, OpensTemplate104OfThisModuleOwnedByTheHost) {
    const int result = Run([&](HWND dialog) { rig::Click(dialog, IDCANCEL); });
    EXPECT_EQ(result, kCancel);
    const auto& calls = observer_->log().dialogBoxes;
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].instance, session_->module());
    EXPECT_EQ(calls[0].templateId, 104u);
    EXPECT_EQ(calls[0].owner, session_->main());
    EXPECT_EQ(calls[0].parameter, 0);
}

struct ShowCase {
    const char* name;
    Values stored;
    Checks shown;
};

const ShowCase kShowCases[] = {
    {"defaults after the first start", {1, 1, 1, 0}, {true, true, true, false}},
    {"two counts as off everywhere", {2, 2, 2, 2}, {false, false, false, false}},
    {"mixed", {0, 1, 2, 1}, {false, true, false, true}},
    // A value that cannot be read shows its default.
    {"missing values and big numbers",
     {kMissing, 0xFFFFFFFFu, kMissing, 0x101},
     {true, false, true, false}},
    {"missing preserve", {0, 0, 0, kMissing}, {false, false, false, false}},
    {"all on", {1, 1, 1, 1}, {true, true, true, true}},
    {"a short string reads as its bytes",
     {kOneAsText, 0, kOneAsText, 1},
     {true, false, true, true}},
};

TEST_F(SetupDialog, ChecksABoxOnlyForAStoredOne) {
    for (const ShowCase& c : kShowCases) {
        SCOPED_TRACE(c.name);
        Store(c.stored);
        Checks shown{};
        EXPECT_EQ(Run([&](HWND dialog) {
                      shown = ReadChecks(dialog);
                      rig::Click(dialog, IDCANCEL);
                  }),
                  kCancel);
        EXPECT_EQ(shown, c.shown);
        EXPECT_TRUE(observer_->log().registryWrites.empty());
    }
}

struct OkCase {
    const char* name;
    Values stored;
    std::vector<int> clicks;
    bool enter;  // Enter through the default button instead of clicking OK
    Values written;
};

const OkCase kOkCases[] = {
    {"untouched defaults", {1, 1, 1, 0}, {}, false, {1, 1, 1, 0}},
    {"stored twos become zeros", {2, 2, 2, 2}, {}, false, {0, 0, 0, 0}},
    {"boxes flipped on screen", {2, 1, 0, 7}, {1018, 1020, 1022}, false, {0, 0, 1, 1}},
    {"every box switched on", {0, 0, 0, 0}, {1017, 1018, 1020, 1022}, false, {1, 1, 1, 1}},
    {"a box clicked twice is as before", {1, 0, 1, 0}, {1017, 1017}, false, {1, 0, 1, 0}},
    {"enter is OK", {0, 1, 0, 1}, {1017}, true, {1, 1, 0, 1}},
};

TEST_F(SetupDialog, OkWritesAllFourInOrderAsZeroOrOne) {
    for (const OkCase& c : kOkCases) {
        SCOPED_TRACE(c.name);
        Store(c.stored);
        EXPECT_EQ(Run([&](HWND dialog) {
                      for (int box : c.clicks) rig::Click(dialog, box);
                      if (c.enter) {
                          rig::PressKey(dialog, VK_RETURN);
                      } else {
                          rig::Click(dialog, IDOK);
                      }
                  }),
                  kOk);
        const auto& writes = observer_->log().registryWrites;
        ASSERT_EQ(writes.size(), kSettings.size());
        for (std::size_t i = 0; i < kSettings.size(); ++i) {
            EXPECT_EQ(writes[i].name, kSettings[i].name);
            EXPECT_EQ(writes[i].type, static_cast<DWORD>(REG_DWORD));
            EXPECT_EQ(writes[i].size, 4u);
            EXPECT_EQ(writes[i].value, c.written[i]) << "setting " << i;
            EXPECT_EQ(Stored(kSettings[i].name), c.written[i]);
        }
    }
}

struct LeaveCase {
    const char* name;
    std::function<void(HWND)> leave;
};

TEST_F(SetupDialog, CancelEscAndTheCloseBoxWriteNothing) {
    const LeaveCase cases[] = {
        {"cancel button", [](HWND dialog) { rig::Click(dialog, IDCANCEL); }},
        {"escape", [](HWND dialog) { rig::PressKey(dialog, VK_ESCAPE); }},
        {"close box", [](HWND dialog) { rig::CloseBox(dialog); }},
    };
    const Values stored = {2, 0, 1, 0};
    for (const LeaveCase& c : cases) {
        SCOPED_TRACE(c.name);
        Store(stored);
        EXPECT_EQ(Run([&](HWND dialog) {
                      rig::Click(dialog, 1017);
                      rig::Click(dialog, 1018);
                      rig::Click(dialog, 1022);
                      rig::Click(dialog, 1020);
                      c.leave(dialog);
                  }),
                  kCancel);
        EXPECT_TRUE(observer_->log().registryWrites.empty());
        for (std::size_t i = 0; i < kSettings.size(); ++i) {
            EXPECT_EQ(Stored(kSettings[i].name), stored[i]);
        }
    }
}

TEST_F(SetupDialog, TheHostsDoorReturnsOneAndTheToolsDoorTheDialogsResult) {
    struct DoorCase {
        bool hostDoor;
        int button;
        int expected;
    } const cases[] = {
        {true, IDOK, 1},
        {true, IDCANCEL, 1},
        {false, IDOK, kOk},
        {false, IDCANCEL, kCancel},
    };
    for (const DoorCase& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.hostDoor ? "host" : "tools") << " door, button " << c.button);
        Store({0, 0, 0, 0});
        EXPECT_EQ(Run(
                      [&](HWND dialog) {
                          rig::Click(dialog, 1017);
                          rig::Click(dialog, c.button);
                      },
                      c.hostDoor),
                  c.expected);
        ASSERT_EQ(observer_->log().dialogBoxes.size(), 1u);
        EXPECT_EQ(observer_->log().dialogBoxes[0].templateId, 104u);
        EXPECT_EQ(observer_->log().dialogBoxes[0].owner, session_->main());
        EXPECT_EQ(Stored(L"TrivaneConfirm"), c.button == IDOK ? 1u : 0u);
    }
}

TEST_F(SetupDialog, WithoutTheSettingsKeyShowsTheDefaultsAndOkStoresNothing) {
    rig::DeleteSettingsKey();
    Checks shown{true, true, true, true};
    EXPECT_EQ(Run([&](HWND dialog) {
                  shown = ReadChecks(dialog);
                  rig::Click(dialog, 1017);
                  rig::Click(dialog, IDOK);
              }),
              kOk);
    EXPECT_EQ(shown, (Checks{true, true, true, false}));
    EXPECT_TRUE(observer_->log().registryWrites.empty());
    EXPECT_FALSE(rig::SettingsKeyExists());
}

TEST_F(SetupDialog, ItsProcedureReturnsFalseEvenForMessagesItHandles) {
    Store({1, 0, 1, 0});
    LRESULT results[3] = {-1, -1, -1};
    Checks afterInit{};
    Run([&](HWND dialog) {
        auto procedure = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(dialog, DWLP_DLGPROC));
        results[0] = CallWindowProcA(procedure, dialog, WM_INITDIALOG, 0, 0);
        results[1] =
            CallWindowProcA(procedure, dialog, WM_COMMAND, MAKEWPARAM(1018, BN_CLICKED), 0);
        results[2] = CallWindowProcA(procedure, dialog, WM_APP, 0, 0);
        afterInit = ReadChecks(dialog);
        rig::Click(dialog, IDCANCEL);
    });
    for (LRESULT result : results) EXPECT_EQ(result, FALSE);
    EXPECT_EQ(afterInit, (Checks{true, false, true, false}));
}

}  // namespace
