#include "open/open_command.h"

#include <shellapi.h>

#include <cwchar>
#include <memory>
#include <new>

#include "capture/selected_text.h"
#include "common/utf16_text.h"
#include "common/plugin_lifetime.h"
#include "open/confirm_dialog.h"
#include "open/launch_plan.h"
#include "open/place_check.h"
#include "open/progress_dialog.h"
#include "open/server_name.h"
#include "open/system_programs.h"
#include "open/zone_query.h"
#include "settings/settings_store.h"

namespace cvt {

#if !defined(_WIN64)
// The shell reads the record by the size the 32-bit host's Windows knows.
static_assert(sizeof(SHELLEXECUTEINFOW) == 60, "the 32-bit launch record");
#endif

namespace {

constexpr wchar_t kPluginDisplayName[] = L"Corvel!トリプルクリック～トリベインプラグイン";
constexpr wchar_t kInvalidPathText[] =
    L"不正な文字が含まれています。\n\u3000\u3000\u3000\u3000/ : * ? \" < > |";

// Heap buffers that may be refused: the command then ends without a sign.
std::unique_ptr<char16_t[]> TryAllocate(std::size_t characters) {
    return std::unique_ptr<char16_t[]>(new (std::nothrow) char16_t[characters]);
}

void Launch(const char16_t* path, bool fileSettingOn) {
    SHELLEXECUTEINFOW launch = {};
    launch.cbSize = sizeof(launch);
    launch.lpVerb = AsWide(kOpenVerb);
    const std::size_t capacity = LaunchParameterCapacity(std::wcslen(AsWide(path)));
    std::unique_ptr<char16_t[]> parameters = TryAllocate(capacity);
    if (!parameters) return;
    // The policy is read only for a path that could take the start form.
    LaunchPlan plan = ChooseLaunch(path, fileSettingOn);
    if (plan.form == LaunchForm::kStart && InterpreterDisabledByPolicy()) {
        plan = ChooseLaunch(path, fileSettingOn, false);
    }
    wchar_t program[kProgramPathCapacity];
    if (!ProgramPath(plan.folder, AsWide(plan.program), program)) return;
    // The capacity always holds the longest form, so the status says nothing new.
    FormatLaunchParameters(plan, path, parameters.get(), capacity);
    launch.lpFile = program;
    launch.nShow = plan.showCommand;
    launch.lpParameters = AsWide(parameters.get());
    // fMask is 0: any error display is the shell's own.
    ShellExecuteExW(&launch);
}

// Judged before anything touches the path: a file call would already connect and sign in.
bool ServerIsInside(const char16_t* path) {
    switch (ClassifyPathServer(path)) {
        case ServerPlace::kInside:
            return true;
        case ServerPlace::kOutside:
            return false;
        case ServerPlace::kAskZone:
            break;
    }
    const std::size_t capacity = ZoneUrlCapacity(std::wcslen(AsWide(path)));
    std::unique_ptr<char16_t[]> url = TryAllocate(capacity);
    return url && FormatZoneUrl(path, url.get(), capacity) && ZoneSaysInside(AsWide(url.get()));
}

// Cuts path in place to the place that the checks find.
void OpenPlace(HWND window, char16_t* path, HWND* progress) {
    path[ResolvePlace(window, path, progress)] = u'\0';
}

}  // namespace

OpenOutcome OpenSelectedPath(HWND window, void (*beforeFirstWindow)(HWND)) {
    // Read once: a nested capture during the confirmation replaces SelectedText, not the copy.
    const wchar_t* selection = SelectedText;
    if (selection == nullptr) return OpenOutcome::kNothing;
    const std::size_t capacity = WorkCopyCapacity(std::wcslen(selection));
    std::unique_ptr<char16_t[]> workCopy = TryAllocate(capacity);
    if (!workCopy) return OpenOutcome::kNothing;
    char16_t* path = nullptr;
    const OpenVerdict verdict = PrepareOpen(AsUtf16(selection), workCopy.get(), capacity, &path);
    if (verdict == OpenVerdict::kNoPath) return OpenOutcome::kNothing;
    if (beforeFirstWindow != nullptr) beforeFirstWindow(window);
    if (verdict == OpenVerdict::kInvalidPath) {
        MessageBoxW(window, kInvalidPathText, kPluginDisplayName, MB_OK | MB_ICONEXCLAMATION);
        return OpenOutcome::kActed;
    }
    const bool inside = ServerIsInside(path);
    const bool fileSettingOn = SettingIsOne(kSettingFile);
    HWND progress = nullptr;
    if (!inside) {
        // Only a Yes opens a server that may be outside, and nothing may ask it anything
        // before: the question shows the text path. A question that could not be shown
        // opens nothing.
        if (RunConfirmDialog(window, AsWide(path), Question::kForced) != IDYES) {
            return OpenOutcome::kActed;
        }
        OpenPlace(window, path, &progress);
    } else {
        // Checked first, so that the question shows the place that will be opened.
        OpenPlace(window, path, &progress);
        if (SettingIsOne(kSettingConfirm)) {
            // The question takes over from the checks' progress window.
            if (progress != nullptr && IsWindow(progress)) SendMessageA(progress, WM_CLOSE, 0, 0);
            progress = nullptr;
            if (RunConfirmDialog(window, AsWide(path)) == IDNO) return OpenOutcome::kActed;
        }
    }
    // One progress window for the checks and the launch.
    if (progress == nullptr || !IsWindow(progress)) ShowProgressDialog(window);
    Launch(path, fileSettingOn);
    return OpenOutcome::kActed;
}

int WINAPI OpenPathCommand(HWND window, LPARAM) {
    const PluginEntry entered;
    OpenSelectedPath(window, nullptr);
    return 0;
}

}  // namespace cvt
