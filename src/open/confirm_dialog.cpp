#include "open/confirm_dialog.h"

#include <shlwapi.h>

#include <utility>

#include "common/texts_cp932.h"
#include "common/plugin_lifetime.h"
#include "settings/settings_store.h"

namespace cvt {

namespace {

// The line above the path when the server may be outside the organisation; it takes the place
// of the template's question, in the same 183-unit line.
constexpr wchar_t kOutsideServerQuestion[] =
    L"社外のサーバーかもしれません。開いてよろしいですか？";

// The kind of the question that DialogBoxParamA is about to create: the init parameter is the
// path alone, and WM_INITDIALOG comes before the modal loop can start a nested open.
Question NextQuestion = Question::kAsked;

void MakeForced(HWND dialog) {
    SetDlgItemTextW(dialog, kConfirmQuestionLine, kOutsideServerQuestion);
    EnableWindow(GetDlgItem(dialog, kConfirmDontAskBox), FALSE);
}

// A forced question has its box disabled; a box that cannot be found counts the same, so that
// a failure never switches the question off.
bool IsForced(HWND dialog) { return !IsWindowEnabled(GetDlgItem(dialog, kConfirmDontAskBox)); }

void OnCommand(HWND dialog, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDYES:
            // The forced question leaves the setting as it is.
            if (IsForced(dialog)) {
                EndDialog(dialog, IDYES);
                break;
            }
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
            if (std::exchange(NextQuestion, Question::kAsked) == Question::kForced) {
                MakeForced(dialog);
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

INT_PTR RunConfirmDialog(HWND owner, const wchar_t* path, Question question) {
    NextQuestion = question;
    const INT_PTR answer =
        DialogBoxParamA(ModuleHandle, MAKEINTRESOURCEA(kConfirmDialogTemplate), owner,
                        &ConfirmDialogProc, reinterpret_cast<LPARAM>(path));
    // A dialog that was never made must not pass its kind on to the next question.
    NextQuestion = Question::kAsked;
    return answer;
}

}  // namespace cvt
