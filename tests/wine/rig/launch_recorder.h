// Records what the plug-in would launch: shell32!ShellExecuteExW in the DLL's import table goes
// to a recorder that keeps the request and launches nothing. Optionally also records
// user32!MessageBoxW (answering IDOK) and refuses user32!CreateDialogParamA, so a test runs
// the open command without the progress window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "rig/import_patch.h"

namespace rig {

struct Launch {
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;
    int show;
    ULONG mask;
    HWND window;
    bool directoryNull;
    DWORD size;
};

struct MessageBoxCall {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT flags;
};

class LaunchRecorder {
public:
    explicit LaunchRecorder(HMODULE plugin, bool refuseProgressWindow = true);
    ~LaunchRecorder();
    LaunchRecorder(const LaunchRecorder&) = delete;
    LaunchRecorder& operator=(const LaunchRecorder&) = delete;

    bool active() const { return shell_.active() && messageBox_.active(); }
    static const std::vector<Launch>& launches();
    static const std::vector<MessageBoxCall>& messageBoxes();
    static void Reset();

private:
    ScopedImportPatch shell_;
    ScopedImportPatch messageBox_;
    ScopedImportPatch createDialog_;
};

}  // namespace rig
