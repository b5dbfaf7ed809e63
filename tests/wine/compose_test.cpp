// CVC_OnOpenCompose finds the composing editor (control 103) depth first and subclasses it
// once, however often the host reports the window.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "rig/rig.h"

namespace {

int g_originalCalls = 0;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 7) {
        ++g_originalCalls;
        return 0x1234;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Another component (a second plug-in, an accessibility tool) subclassing on top of the
// plug-in. It gives up past a few levels, so that a chain that loops shows as depth.
WNDPROC g_belowOnTop = nullptr;
int g_onTopDepth = 0, g_onTopDeepest = 0;

LRESULT CALLBACK OnTopProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_onTopDepth >= 3) return 0;
    ++g_onTopDepth;
    if (g_onTopDepth > g_onTopDeepest) g_onTopDeepest = g_onTopDepth;
    const LRESULT result = CallWindowProcW(g_belowOnTop, window, message, wParam, lParam);
    --g_onTopDepth;
    return result;
}

void SubclassOnTop(HWND window) {
    g_onTopDeepest = 0;
    g_belowOnTop = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OnTopProc)));
}

HWND Child(HWND parent, int id) {
    HWND child =
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc));
    return child;
}

bool Subclassed(HWND window) {
    return GetWindowLongPtrW(window, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&CountingProc);
}

class ComposeTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(plugin_);
        openCompose_ = plugin_.Get<int(WINAPI*)(HWND, LPARAM)>("CVC_OnOpenCompose");
        frame_ = CreateWindowExW(0, L"STATIC", L"compose", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    }
    // The subclassed windows go before the plug-in is unloaded.
    void TearDown() override { DestroyWindow(frame_); }

    rig::LoadedPlugin plugin_;
    int(WINAPI* openCompose_)(HWND, LPARAM) = nullptr;
    HWND frame_ = nullptr;
};

TEST_F(ComposeTest, NullWindowIsIgnored) { EXPECT_EQ(openCompose_(nullptr, 0), 0); }

TEST_F(ComposeTest, FirstMatchInDepthFirstOrderWins) {
    HWND first = Child(frame_, 1);
    HWND nested = Child(first, 103);
    HWND second = Child(frame_, 103);
    EXPECT_EQ(openCompose_(frame_, 0), 0);
    EXPECT_TRUE(Subclassed(nested));
    EXPECT_FALSE(Subclassed(second));
    EXPECT_FALSE(Subclassed(first));
}

TEST_F(ComposeTest, AMatchingWindowsOwnChildrenAreNotSearched) {
    HWND editor = Child(frame_, 103);
    HWND inner = Child(editor, 103);
    EXPECT_EQ(openCompose_(frame_, 0), 0);
    EXPECT_TRUE(Subclassed(editor));
    EXPECT_FALSE(Subclassed(inner));
}

TEST_F(ComposeTest, WindowWithoutEditorIsLeftAlone) {
    HWND other = Child(frame_, 5);
    EXPECT_EQ(openCompose_(frame_, 0), 0);
    EXPECT_FALSE(Subclassed(other));
}

TEST_F(ComposeTest, ReportedTwiceStillPassesEachMessageOnOnce) {
    HWND editor = Child(frame_, 103);
    openCompose_(frame_, 0);
    openCompose_(frame_, 0);
    g_originalCalls = 0;
    EXPECT_EQ(SendMessageW(editor, WM_APP + 7, 0, 0), 0x1234);
    EXPECT_EQ(g_originalCalls, 1);
}

TEST_F(ComposeTest, ReportedAgainUnderAnotherSubclassIsLeftAsItIs) {
    HWND editor = Child(frame_, 103);
    openCompose_(frame_, 0);
    SubclassOnTop(editor);
    openCompose_(frame_, 0);
    EXPECT_EQ(GetWindowLongPtrW(editor, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&OnTopProc));
    g_originalCalls = 0;
    EXPECT_EQ(SendMessageW(editor, WM_APP + 7, 0, 0), 0x1234);
    EXPECT_EQ(g_originalCalls, 1);
    EXPECT_EQ(g_onTopDeepest, 1) << "the chain loops back through the other procedure";
}

// The library pins itself for the rest of the process, so this runs in a process of its own.
TEST_F(ComposeTest, ExitUnderAnotherSubclassKeepsTheLibraryLoaded) {
    EXPECT_EXIT(
        {
            HWND covered = Child(frame_, 103);
            HWND otherFrame = CreateWindowExW(0, L"STATIC", L"compose", WS_OVERLAPPED, 0, 0, 100,
                                              100, nullptr, nullptr, nullptr, nullptr);
            HWND uncovered = Child(otherFrame, 103);
            openCompose_(frame_, 0);
            openCompose_(otherFrame, 0);
            SubclassOnTop(covered);
            plugin_.Get<int(WINAPI*)()>("CVC_OnExit")();
            // A window with nothing on top gets its own procedure back.
            if (Subclassed(uncovered)) std::exit(2);
            wchar_t path[MAX_PATH];
            GetModuleFileNameW(plugin_.module(), path, MAX_PATH);
            // The host's unload, and the loader's own reference too.
            FreeLibrary(plugin_.module());
            FreeLibrary(plugin_.module());
            if (GetModuleHandleW(path) != plugin_.module()) std::exit(3);
            g_originalCalls = 0;
            std::exit(
                SendMessageW(covered, WM_APP + 7, 0, 0) == 0x1234 && g_originalCalls == 1 ? 0 : 4);
        },
        testing::ExitedWithCode(0), "");
}

}  // namespace
