// CVC_OnStart gives missing settings their defaults and keeps what is stored; the settings
// key belongs to the host and is never created by the plug-in.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "rig/dialogs.h"
#include "rig/import_patch.h"
#include "rig/rig.h"
#include "standin/host_state.h"

namespace {

// What CVC_OnStart asked of the registry and the common controls.
struct StartCalls {
    LONG(WINAPI* openKey)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) = nullptr;
    BOOL(WINAPI* initControls)(const INITCOMMONCONTROLSEX*) = nullptr;
    std::vector<REGSAM> access;
    std::vector<INITCOMMONCONTROLSEX> controls;
    std::vector<std::wstring> written;
};
StartCalls g_start;

LONG WINAPI RecordOpenKey(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key) {
    g_start.access.push_back(access);
    return g_start.openKey(root, path, options, access, key);
}

BOOL WINAPI RecordInitControls(const INITCOMMONCONTROLSEX* controls) {
    g_start.controls.push_back(*controls);
    return g_start.initControls(controls);
}

const wchar_t* const kNames[] = {L"TrivaneConfirm", L"TrivaneTripleClick", L"TrivaneFile",
                                 L"TrivanePreserve"};
const std::uint32_t kDefaults[] = {1, 1, 1, 0};

class StartSettings : public testing::Test {
protected:
    void SetUp() override {
        rig::DeleteSettingsKey();
        rig::CreateSettingsKey();
    }
    void TearDown() override { standin::State().windowHandlesResult = TRUE; }

    void Start() {
        rig::LoadedPlugin plugin;
        ASSERT_TRUE(plugin);
        g_start = StartCalls();
        rig::PatchList patches;
        rig::AddPatch(patches, plugin.module(), "advapi32.dll", "RegOpenKeyExA", &RecordOpenKey,
                      &g_start.openKey);
        rig::AddPatch(patches, plugin.module(), "comctl32.dll", "InitCommonControlsEx",
                      &RecordInitControls, &g_start.initControls);
        rig::PluginObserver observer(plugin.module());
        ASSERT_TRUE(g_start.openKey && g_start.initControls && observer.complete());
        EXPECT_EQ(plugin.Get<int(WINAPI*)()>("CVC_OnStart")(), 0);
        for (const rig::RegistryWrite& write : observer.log().registryWrites) {
            g_start.written.push_back(write.name);
        }
    }

    void ExpectDword(const wchar_t* name, std::uint32_t expected) {
        DWORD type = 0, size = 0;
        std::uint32_t value = 0;
        ASSERT_TRUE(rig::ReadValue(name, &type, &size, &value)) << "missing value";
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(size, 4u);
        EXPECT_EQ(value, expected);
    }
};

TEST_F(StartSettings, WritesEveryMissingDefault) {
    Start();
    for (int i = 0; i < 4; ++i) ExpectDword(kNames[i], kDefaults[i]);
    EXPECT_EQ(g_start.written, std::vector<std::wstring>(kNames, kNames + 4));
    // Opened for reading and setting values (0x2001B), every time.
    EXPECT_EQ(g_start.access, std::vector<REGSAM>(4, KEY_READ | KEY_SET_VALUE));
    ASSERT_EQ(g_start.controls.size(), 1u);
    EXPECT_EQ(g_start.controls[0].dwSize, sizeof(INITCOMMONCONTROLSEX));
    EXPECT_EQ(g_start.controls[0].dwICC, static_cast<DWORD>(ICC_PROGRESS_CLASS));
}

TEST_F(StartSettings, WritesDefaultsEvenWhenTheHostReportsNoWindows) {
    standin::State().windowHandlesResult = FALSE;
    Start();
    for (int i = 0; i < 4; ++i) ExpectDword(kNames[i], kDefaults[i]);
}

TEST_F(StartSettings, KeepsStoredValues) {
    const std::uint32_t stored[] = {0, 2, 0, 7};
    for (int i = 0; i < 4; ++i) rig::WriteDword(kNames[i], stored[i]);
    Start();
    for (int i = 0; i < 4; ++i) ExpectDword(kNames[i], stored[i]);
}

TEST_F(StartSettings, ValuesOfOtherTypesCountAsPresentUpToFourBytes) {
    const wchar_t shortString[] = L"x";  // 4 bytes with its NUL: present, kept
    rig::WriteRaw(L"TrivaneConfirm", REG_SZ, shortString, sizeof(shortString));
    const unsigned char eightBytes[8] = {1, 0, 0, 0, 0, 0, 0, 0};  // too long: replaced
    rig::WriteRaw(L"TrivaneFile", REG_BINARY, eightBytes, sizeof(eightBytes));
    rig::WriteRaw(L"TrivanePreserve", REG_BINARY, eightBytes, 0);  // empty: present, kept
    Start();
    DWORD type = 0, size = 0;
    std::uint32_t value = 0;
    ASSERT_TRUE(rig::ReadValue(L"TrivaneConfirm", &type, &size, &value));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    ASSERT_TRUE(rig::ReadValue(L"TrivanePreserve", &type, &size, &value));
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 0u);
    ExpectDword(L"TrivaneFile", 1);
    ExpectDword(L"TrivaneTripleClick", 1);
}

TEST_F(StartSettings, NeverCreatesAMissingKey) {
    rig::DeleteSettingsKey();
    Start();
    EXPECT_FALSE(rig::SettingsKeyExists());
}

}  // namespace
