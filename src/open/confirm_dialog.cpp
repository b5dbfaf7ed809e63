#include "open/confirm_dialog.h"

#include <shlwapi.h>

#include "host/host_texts.h"
#include "host/module.h"
#include "settings/settings_store.h"

namespace cvt {

namespace {

void OnCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDYES:
            // Written every time: a cleared box stores the 1 that was already there.
            WriteSetting(kSettingConfirm,
                         IsDlgButtonChecked(dialog, kConfirmDontAskBox) == BST_CHECKED ? 0 : 1);
            EndDialog(dialog, IDYES);
            break;
        case IDNO:
        case IDCANCEL:
            EndDialog(dialog, IDNO);
            break;
        case kConfirmDontAskBox:
            // BS_NOTIFY also brings focus notifications; only a click that checks the box
            // tells the user where to switch the question on again.
            if (HIWORD(wParam) == BN_CLICKED &&
                IsDlgButtonChecked(dialog, kConfirmDontAskBox) == BST_CHECKED) {
                MessageBoxA(dialog, kConfirmHintText932, kConfirmHintCaption932,
                            MB_OK | MB_ICONINFORMATION);
            }
            break;
    }
}

}  // namespace

INT_PTR CALLBACK ConfirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const PluginEntry entered;
    switch (message) {
        case WM_INITDIALOG:
            if (lParam != 0) {
                // Emptied first so that a path the shell cannot draw leaves no placeholder.
                SetDlgItemTextW(dialog, kConfirmPathControl, L"");
                PathSetDlgItemPathW(dialog, kConfirmPathControl,
                                    reinterpret_cast<const wchar_t*>(lParam));
                CheckDlgButton(dialog, kConfirmDontAskBox, BST_UNCHECKED);
            }
            break;
        case WM_COMMAND:
            OnCommand(dialog, wParam);
            break;
        case WM_CLOSE:
            EndDialog(dialog, IDNO);
            break;
    }
    return static_cast<INT_PTR>(FALSE);
}

INT_PTR RunConfirmDialog(HWND owner, const wchar_t* path) {
    return DialogBoxParamA(ModuleHandle, MAKEINTRESOURCEA(kConfirmDialogTemplate), owner,
                           &ConfirmDialogProc, reinterpret_cast<LPARAM>(path));
}

}  // namespace cvt
