// CVC_OnStart gives missing settings their defaults and keeps what is stored; the settings
// key belongs to the host and is never created by the plug-in.
#include <gtest/gtest.h>
#include <windows.h>

#include "rig/rig.h"
#include "standin/host_state.h"

namespace {

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
        EXPECT_EQ(plugin.Get<int(WINAPI*)()>("CVC_OnStart")(), 0);
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
