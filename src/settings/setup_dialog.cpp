#include "settings/setup_dialog.h"

#include "common/plugin_lifetime.h"
#include "res/resource_ids.h"
#include "settings/settings_store.h"

namespace cvt {

namespace {

struct SettingBox {
    int control;
    const wchar_t* setting;
};

// The order in which the boxes are filled and written.
constexpr SettingBox kSettingBoxes[] = {
    {IDC_SETUP_CONFIRM, kSettingConfirm},
    {IDC_SETUP_TRIPLE_CLICK, kSettingTripleClick},
    {IDC_SETUP_FILE, kSettingFile},
    {IDC_SETUP_PRESERVE, kSettingPreserve},
};

void LoadBoxes(HWND dialog) {
    for (const SettingBox& box : kSettingBoxes) {
        // Only exactly 1 counts as on; any other stored number shows the box cleared.
        const UINT state = SettingIsOne(box.setting) ? BST_CHECKED : BST_UNCHECKED;
        CheckDlgButton(dialog, box.control, state);
    }
}

void StoreBoxes(HWND dialog) {
    for (const SettingBox& box : kSettingBoxes) {
        WriteSetting(box.setting, IsDlgButtonChecked(dialog, box.control) == BST_CHECKED ? 1 : 0);
    }
}

}  // namespace

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    const PluginEntry entered;
    switch (message) {
        case WM_INITDIALOG:
            LoadBoxes(dialog);
            break;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                StoreBoxes(dialog);
                EndDialog(dialog, IDOK);
            } else if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
            }
            break;
        case WM_CLOSE:
            EndDialog(dialog, IDCANCEL);
            break;
    }
    return static_cast<INT_PTR>(FALSE);
}

INT_PTR RunSetupDialog(HWND owner) {
    return DialogBoxParamA(ModuleHandle, MAKEINTRESOURCEA(kSetupDialogTemplate), owner,
                           &SetupDialogProc, 0);
}

int WINAPI SetupCommand(HWND window, LPARAM) {
    const PluginEntry entered;
    return static_cast<int>(RunSetupDialog(window));
}

}  // namespace cvt
