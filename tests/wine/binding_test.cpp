// Whether the plug-in agrees to run in a host is decided by the host's export set and its
// version text; each probe executable plays one host.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "rig/rig.h"

namespace {

struct ProbeResult {
    bool loaded;
    bool refusedByEntryPoint;
    int versionCalls;
};

ProbeResult RunProbe(const std::wstring& variant, const std::wstring& version) {
    std::wstring command = L"\"" + rig::BinaryDir() + L"bind_probe_" + variant + L".exe\" \"" +
                           version + L"\" \"" + rig::PluginPath() + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "could not start the probe, error " << GetLastError();
        return {false, false, -1};
    }
    // Pump while waiting, so the child's start is not held up.
    while (MsgWaitForMultipleObjects(1, &process.hProcess, FALSE, 30000, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    DWORD code = 0xFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return {(code & 1) != 0, (code & 0x100) != 0, static_cast<int>((code >> 1) & 0x7F)};
}

struct BindingCase {
    const wchar_t* variant;
    const wchar_t* version;
    bool loads;
    int versionCalls;
};

class BindingTest : public testing::TestWithParam<BindingCase> {};

TEST_P(BindingTest, LoadsExactlyWhenTheHostQualifies) {
    const BindingCase& c = GetParam();
    const ProbeResult result = RunProbe(c.variant, c.version);
    EXPECT_EQ(result.loaded, c.loads);
    EXPECT_EQ(result.refusedByEntryPoint, !c.loads);
    EXPECT_EQ(result.versionCalls, c.versionCalls);
}

const BindingCase kBindingCases[] = {
    {L"full", L"2.00.06", true, 1},
    {L"full", L"2.00.05", true, 1},
    {L"full", L"9.99", true, 1},
    {L"required_only", L"2.00.05", true, 1},
    {L"required_only", L"2.00.06", false, 1},
    {L"required_only", L"2.00.06a", false, 1},
    {L"with_set_status", L"2.00.06a", true, 1},
    {L"required_only", L"2.1", false, 1},
    {L"with_set_status", L"2.1", true, 1},
    {L"required_only", L"1.99.99", true, 1},
    {L"with_set_status", L"2.00.07", true, 1},
    // Eight characters that sort before 2.00.06 still need CVA_SetStatus.
    {L"required_only", L"2.00.05a", false, 1},
    // The system's comparison, not the bytes': it passes over the hyphen, so 2.00-7 sorts
    // after 2.00.06, and puts '_' before the digits, so 2.00.0_ sorts before it.
    {L"required_only", L"2.00-7", false, 1},
    {L"required_only", L"2.00.0_", true, 1},
    {L"no_connect", L"2.00.06", false, 0},
    {L"none", L"2.00.06", false, 0},
};

INSTANTIATE_TEST_SUITE_P(HostVariants, BindingTest, testing::ValuesIn(kBindingCases));

}  // namespace
