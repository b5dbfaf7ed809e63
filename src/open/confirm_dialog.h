// The question asked before a path is opened, while TrivaneConfirm is 1.
#pragma once

#include <windows.h>

#include "res/resource_ids.h"

namespace cvt {

inline constexpr int kConfirmDialogTemplate = IDD_CONFIRM;
inline constexpr int kConfirmPathControl = IDC_CONFIRM_PATH;
inline constexpr int kConfirmDontAskBox = IDC_CONFIRM_DONT_ASK;

inline constexpr int kConfirmQuestionLine = IDC_CONFIRM_QUESTION;
inline constexpr int kConfirmIcon = IDC_CONFIRM_ICON;

enum class Question {
    kAsked,   // the user wants to be asked (TrivaneConfirm is 1)
    kForced,  // the server may be outside the organisation: asked whatever the setting says,
              // with the warning icon and the server named; No is the default and has the
              // focus, the box "do not ask again" is cleared and disabled, and Yes writes nothing
};

// Returns FALSE for every message. lParam of WM_INITDIALOG is the NUL-terminated path.
INT_PTR CALLBACK ConfirmDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Asks modally; IDYES (6) to open, IDNO (7) not to, or the failure value of DialogBoxParamA.
INT_PTR RunConfirmDialog(HWND owner, const wchar_t* path, Question question = Question::kAsked);

}  // namespace cvt
