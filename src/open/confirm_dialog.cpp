#include "open/confirm_dialog.h"

#include <cwchar>
#include <memory>
#include <new>
#include <utility>

#include "common/plugin_lifetime.h"
#include "common/texts_cp932.h"
#include "common/utf16_text.h"
#include "common/win_handles.h"
#include "open/question_text.h"
#include "settings/settings_store.h"

namespace cvt {

namespace {

// The line above the path when the server may be outside the organisation, with the server's
// name between the two parts; it takes the place of the template's question and is broken
// into as many lines as it needs.
constexpr wchar_t kOutsideServerBefore[] = L"社外の可能性があるサーバー（";
constexpr wchar_t kOutsideServerAfter[] = L"）です。開いてよろしいですか？";
constexpr std::size_t kOutsideServerTextLength =
    sizeof(kOutsideServerBefore) / sizeof(wchar_t) + sizeof(kOutsideServerAfter) / sizeof(wchar_t);

// The kind of the question that DialogBoxParamA is about to create: the init parameter is the
// path alone, and WM_INITDIALOG comes before the modal loop can start a nested open.
Question NextQuestion = Question::kAsked;

// One line of a static control, measured with the control's font as the control draws it.
struct ControlLine {
    HDC dc;
    LONG width;
};

bool FitsControlLine(const void* context, const char16_t* text, std::size_t length) {
    const auto* line = static_cast<const ControlLine*>(context);
    SIZE extent = {};
    // Text that cannot be measured stays on one line, as the control would draw it anyway.
    if (!GetTextExtentPoint32W(line->dc, AsWide(text), static_cast<int>(length), &extent)) {
        return true;
    }
    return extent.cx <= line->width;
}

// Sets the control's text as layOut breaks it for the control's width (or plain, when that
// cannot be done) and returns how many pixels taller the control must be to show all of it.
template <typename LayOut>
int SetLaidOutText(HWND dialog, int id, const wchar_t* plain, std::size_t capacity, LayOut layOut) {
    HWND control = GetDlgItem(dialog, id);
    RECT client = {};
    if (control == nullptr || !GetClientRect(control, &client)) {
        SetDlgItemTextW(dialog, id, plain);
        return 0;
    }
    const WindowFontDC dc(control,
                          reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    const std::unique_ptr<char16_t[]> text(new (std::nothrow) char16_t[capacity]);
    const ControlLine line{dc.get(), client.right};
    if (dc.get() == nullptr || !text ||
        layOut(LineFit{&FitsControlLine, &line}, text.get(), capacity) == 0) {
        SetDlgItemTextW(dialog, id, plain);
        return 0;
    }
    SetDlgItemTextW(dialog, id, AsWide(text.get()));
    // The flags of a static control's own drawing (SS_LEFT with SS_NOPREFIX).
    RECT needed = {0, 0, client.right, 0};
    DrawTextW(dc.get(), AsWide(text.get()), -1, &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    return needed.bottom > client.bottom ? static_cast<int>(needed.bottom - client.bottom) : 0;
}

// A control's rectangle in the dialog's client coordinates.
bool ControlRect(HWND dialog, HWND control, RECT* rect) {
    if (control == nullptr || !GetWindowRect(control, rect)) return false;
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(rect), 2);
    return true;
}

// Makes a line of text taller by grow pixels; what stands below it moves down, and the dialog
// grows by as much.
void GrowLine(HWND dialog, int id, int grow) {
    HWND line = GetDlgItem(dialog, id);
    RECT grown = {};
    if (grow <= 0 || !ControlRect(dialog, line, &grown)) return;
    constexpr UINT kKeep = SWP_NOZORDER | SWP_NOACTIVATE;
    for (int other : {IDYES, IDNO, kConfirmQuestionLine, kConfirmPathControl, kConfirmDontAskBox,
                      kConfirmIcon}) {
        HWND control = GetDlgItem(dialog, other);
        RECT place = {};
        if (control != line && ControlRect(dialog, control, &place) && place.top >= grown.bottom) {
            SetWindowPos(control, nullptr, place.left, place.top + grow, 0, 0, kKeep | SWP_NOSIZE);
        }
    }
    SetWindowPos(line, nullptr, 0, 0, grown.right - grown.left, grown.bottom - grown.top + grow,
                 kKeep | SWP_NOMOVE);
    RECT frame = {};
    if (GetWindowRect(dialog, &frame)) {
        SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left,
                     frame.bottom - frame.top + grow, kKeep | SWP_NOMOVE);
    }
}

// The path, shortened in its middle where it is too wide, its server and share always whole.
int ShowPathLine(HWND dialog, const char16_t* path) {
    return SetLaidOutText(dialog, kConfirmPathControl, AsWide(path),
                          ShownPathCapacity(std::wcslen(AsWide(path))),
                          [path](LineFit fit, char16_t* out, std::size_t capacity) {
                              return ShowPath(path, fit, out, capacity);
                          });
}

// The forced question's line, naming the server in full.
int ShowOutsideServerLine(HWND dialog, const char16_t* path) {
    const NamedText server = NamedServer(path);
    const std::unique_ptr<char16_t[]> line(
        new (std::nothrow) char16_t[kOutsideServerTextLength + server.length]);
    if (!line) return 0;
    std::size_t length = 0;
    for (const wchar_t* c = kOutsideServerBefore; *c != L'\0'; ++c) line[length++] = *c;
    for (std::size_t i = 0; i < server.length; ++i) line[length++] = server.text[i];
    for (const wchar_t* c = kOutsideServerAfter; *c != L'\0'; ++c) line[length++] = *c;
    line[length] = u'\0';
    return SetLaidOutText(dialog, kConfirmQuestionLine, AsWide(line.get()), WrappedCapacity(length),
                          [&line, length](LineFit fit, char16_t* out, std::size_t capacity) {
                              return WrapLines(line.get(), length, fit, out, capacity);
                          });
}

// The forced question: the warning icon, the box disabled, and No as the default button with
// the focus, so that neither Enter, Esc nor a letter opens. The procedure returns FALSE from
// WM_INITDIALOG, so the dialog manager sets no focus of its own after this.
void MakeForced(HWND dialog) {
    SendMessageA(GetDlgItem(dialog, kConfirmIcon), STM_SETICON,
                 reinterpret_cast<WPARAM>(LoadIconA(nullptr, IDI_WARNING)), 0);
    EnableWindow(GetDlgItem(dialog, kConfirmDontAskBox), FALSE);
    // Without its access key: in a dialog a letter alone presses the button that has it, so
    // "Y" would open the server with a single key.
    SetDlgItemTextW(dialog, IDYES, L"はい");
    SendMessageA(dialog, DM_SETDEFID, IDNO, 0);
    // DM_SETDEFID may leave the template's default border on Yes.
    SendMessageA(GetDlgItem(dialog, IDYES), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageA(GetDlgItem(dialog, IDNO), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDNO)), TRUE);
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
        case WM_INITDIALOG: {
            const bool forced = std::exchange(NextQuestion, Question::kAsked) == Question::kForced;
            if (lParam != 0) {
                const auto* path = reinterpret_cast<const char16_t*>(lParam);
                if (forced) {
                    GrowLine(dialog, kConfirmQuestionLine, ShowOutsideServerLine(dialog, path));
                }
                GrowLine(dialog, kConfirmPathControl, ShowPathLine(dialog, path));
                CheckDlgButton(dialog, kConfirmDontAskBox, BST_UNCHECKED);
            }
            if (forced) MakeForced(dialog);
            break;
        }
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
