// A stand-in host with the real plug-in loaded, for tests that go through the host's windows:
// the message view shows a mail, composing windows can be opened, launches are recorded.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "rig/dialogs.h"
#include "rig/rig.h"
#include "standin/host_state.h"
#include "standin/standin_host.h"

namespace rig {

class HostTest : public testing::Test {
protected:
    // Settings the test starts from: no confirmation, so opens run without a dialog.
    virtual void Configure() {
        WriteDword(L"TrivaneConfirm", 0);
        WriteDword(L"TrivaneTripleClick", 1);
        WriteDword(L"TrivaneFile", 1);
        WriteDword(L"TrivanePreserve", 0);
    }

    void SetUp() override {
        DeleteSettingsKey();
        CreateSettingsKey();
        Configure();
        standin::SetQuitOnDestroy(false);
        standin::SetCopyMode(standin::CopyMode::Unicode);
        standin::SetTextClass(standin::TextClass::Host);
        standin::SetSelectionSaid(true);
        standin::State().commands.clear();
        main_ = standin::CreateHostWindows(GetModuleHandleW(nullptr), L"");
        ASSERT_NE(main_, nullptr);
        ShowWindow(main_, SW_SHOW);
        ASSERT_TRUE(standin::LoadPlugin(PluginPath().c_str()));
        observer_ = std::make_unique<PluginObserver>(standin::Plugin().module);
        ASSERT_TRUE(observer_->complete());
        observer_->RefuseProgressWindow(true);
        PumpMessages(50);
    }

    void TearDown() override {
        observer_.reset();
        standin::SetMessageObserver(nullptr);
        for (HWND compose : composeWindows_) DestroyWindow(compose);
        DestroyWindow(main_);  // unloads the plug-in
        PumpMessages(20);
    }

    HWND View() const { return standin::MessageView(); }

    HWND OpenCompose(const wchar_t* body) {
        HWND compose = standin::OpenComposeWindow(body);
        composeWindows_.push_back(compose);
        return standin::ComposeEditor(compose);
    }

    // Shows text in the message view and selects characters [start, end) (end -1: to the end).
    void ShowAndSelect(const wchar_t* text, int start = 0, int end = -1) {
        standin::SetMessageText(text);
        SendMessageW(View(), EM_SETSEL, start, end);
    }

    // A client point inside the given line of a text window.
    static LPARAM LinePoint(HWND edit, int line) {
        const LRESULT index = SendMessageW(edit, EM_LINEINDEX, line, 0);
        const LRESULT position = SendMessageW(edit, EM_POSFROMCHAR, index, 0);
        return MAKELPARAM(LOWORD(position) + 3, HIWORD(position) + 4);
    }

    const std::vector<ShellLaunch>& Launches() const { return observer_->log().launches; }
    const std::vector<MessageBoxCall>& MessageBoxes() const {
        return observer_->log().messageBoxes;
    }

    HWND main_ = nullptr;
    std::unique_ptr<PluginObserver> observer_;
    std::vector<HWND> composeWindows_;
};

}  // namespace rig
