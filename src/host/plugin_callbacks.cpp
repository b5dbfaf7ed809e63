// The library entry and the sixteen callbacks the host drives the plug-in through. Every
// callback uses the standard-call convention with the host's argument count; a wrong count
// would corrupt the host's stack.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <initializer_list>

#include "capture/restore_retry.h"
#include "capture/selected_text.h"
#include "capture/selection_capture.h"
#include "common/plugin_lifetime.h"
#include "common/texts_cp932.h"
#include "host/host_api.h"
#include "host/menu_integration.h"
#include "host/subclass.h"
#include "open/progress_dialog.h"
#include "settings/settings_store.h"
#include "settings/setup_dialog.h"

namespace cvt {

namespace {

constexpr int kComposingEditorId = 103;

// Offsets of the four text fields of the host's information record.
constexpr std::size_t kInfoNameOffset = 0;
constexpr std::size_t kInfoVendorOffset = 80;
constexpr std::size_t kInfoVersionOffset = 160;
constexpr std::size_t kInfoDescriptionOffset = 240;

void CopyInfoText(void* record, std::size_t offset, const char* text) {
    std::memcpy(static_cast<char*>(record) + offset, text, std::strlen(text) + 1);
}

}  // namespace

// Depth-first, each window before its descendants; the first match ends the search and a
// matching window's own descendants are not searched.
void FindChildById(HWND parent, int identifier, HWND* found) {
    for (HWND child = FindWindowExA(parent, nullptr, nullptr, nullptr); child != nullptr;
         child = FindWindowExA(parent, child, nullptr, nullptr)) {
        if (*found != nullptr) return;
        if (GetWindowLongA(child, GWL_ID) == identifier) {
            *found = child;
        } else {
            FindChildById(child, identifier, found);
        }
    }
}

}  // namespace cvt

using namespace cvt;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    ModuleHandle = module;
    if (reason == DLL_PROCESS_ATTACH) {
        return BindHostApi() ? TRUE : FALSE;
    }
    return TRUE;
}

int WINAPI CVC_OnStart() {
    const PluginEntry entered;
    HWND handles[4] = {};
    GetWindowHandlesFunction getWindowHandles = HostGetWindowHandles();
    if (getWindowHandles != nullptr &&
        getWindowHandles(&handles[0], &handles[1], &handles[2], &handles[3])) {
        InstallSubclass(handles[3]);  // the message view
        SetFallbackOwner(GetAncestor(handles[3], GA_ROOT));
    }
    for (const wchar_t* setting :
         {kSettingConfirm, kSettingTripleClick, kSettingFile, kSettingPreserve}) {
        EnsureSettingDefault(setting, SettingDefault(setting));
    }
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    return 0;
}

// Nothing of the plug-in may run once the host has freed the library: its windows go, its
// timers stop, the clipboard it saved goes back, and where something of it must still run, the
// library stays loaded.
int WINAPI CVC_OnExit() {
    const PluginEntry entered;
    MarkPluginExiting();
    ReleaseSelectedText();
    bool settled = DestroyProgressWindows();
    // A capture that is waiting for the clipboard puts it back itself before it returns.
    if (!CaptureRunning()) SettlePendingRestoreAtExit();
    settled = StopAllPluginTimers() && settled;
    RemoveAllSubclasses();
    // Called from a message that the plug-in's own code dispatched (a dialog's loop, a
    // capture's wait): the host's FreeLibrary would return into unmapped code when that
    // message is done. This call is one frame itself.
    if (PluginDepth > 1 || !settled) PinModule();
    return 0;
}

int WINAPI CVC_OnMenuInit(HWND window, HMENU menu, int kind) {
    const PluginEntry entered;
    return OnMenuInit(window, menu, kind);
}

// Every callback counts as a frame of the plug-in, the ones that do nothing too.
int WINAPI CVC_OnOpenFolder(LPARAM) {
    const PluginEntry entered;
    return 0;
}
int WINAPI CVC_OnOpenMail(LPARAM) {
    const PluginEntry entered;
    return 0;
}
int WINAPI CVC_OnEveryMinute() {
    const PluginEntry entered;
    return 0;
}

int WINAPI CVC_OnOpenCompose(HWND composingWindow, LPARAM) {
    const PluginEntry entered;
    if (composingWindow == nullptr) return 0;
    HWND editor = nullptr;
    FindChildById(composingWindow, kComposingEditorId, &editor);
    if (editor != nullptr) InstallSubclass(editor);
    return 0;
}

int WINAPI CVC_OnOutgoing(LPARAM, LPARAM) {
    const PluginEntry entered;
    return 0;
}
int WINAPI CVC_OnKeyDispatch(LPARAM, LPARAM, LPARAM) {
    const PluginEntry entered;
    return 0;
}
int WINAPI CVC_OnRetrieve(LPARAM, LPARAM) {
    const PluginEntry entered;
    return 0;
}
int WINAPI CVC_OnSend(LPARAM) {
    const PluginEntry entered;
    return 0;
}
int WINAPI CVC_OnFinishRetrieve(LPARAM) {
    const PluginEntry entered;
    return 0;
}

int WINAPI CVC_OnPlugInSetup(HWND owner) {
    const PluginEntry entered;
    RunSetupDialog(owner);
    return 1;
}

int WINAPI CVC_OnPlugInInfo(void* record) {
    const PluginEntry entered;
    if (record == nullptr) return 0;
    CopyInfoText(record, kInfoNameOffset, kPluginName932);
    CopyInfoText(record, kInfoVendorOffset, kPluginVendor932);
    CopyInfoText(record, kInfoVersionOffset, kPluginVersion932);
    CopyInfoText(record, kInfoDescriptionOffset, kPluginDescription932);
    return 0;
}

int WINAPI CVC_OnDragDrop(LPARAM, LPARAM, LPARAM, LPARAM) {
    const PluginEntry entered;
    return 0;
}
int WINAPI CVC_OnBeforeFilter2(LPARAM, LPARAM, LPARAM, LPARAM) {
    const PluginEntry entered;
    return 0;
}

}  // extern "C"
