// A stand-in for the mail client: a main window with a menu bar (the fifth pop-up is the
// tools menu), a folder tree, a mail list, a message view that shows a mail and answers the
// host's copy command, and composing windows whose editor has control id 103. It loads the
// plug-in by path and calls its callbacks as the real host does.
//
// Context-menu kinds passed to CVC_OnMenuInit (the host's own numbering):
//   3  the message view          4  the composing editor
//   11 the mail list             12 the composing window's subject line
#pragma once

#include <windows.h>

namespace standin {

inline constexpr UINT kCopyCommand = 57634;  // WM_COMMAND id of the host's copy command
inline constexpr int kComposingEditorId = 103;
inline constexpr int kMenuKindBar = 0;
inline constexpr int kMenuKindMessageView = 3;
inline constexpr int kMenuKindComposeEditor = 4;
inline constexpr int kMenuKindMailList = 11;
inline constexpr int kMenuKindComposeSubject = 12;

// How a text window answers the copy command.
enum class CopyMode {
    Unicode,   // the control's own copy: CF_UNICODETEXT
    AnsiOnly,  // only CF_TEXT, as older hosts do
    Nothing,   // answers without touching the clipboard
};

// The window class of the text windows made from now on.
enum class TextClass {
    Host,  // the host's own class: an edit control that gives its selection by copying it
    Edit,  // the standard controls, whose selection the plug-in reads from the control
    RichEdit20W,
    RichEdit20A,
};

struct PluginExports {
    HMODULE module = nullptr;
    int(WINAPI* OnStart)() = nullptr;
    int(WINAPI* OnExit)() = nullptr;
    int(WINAPI* OnMenuInit)(HWND, HMENU, int) = nullptr;
    int(WINAPI* OnOpenCompose)(HWND, LPARAM) = nullptr;
    int(WINAPI* OnPlugInSetup)(HWND) = nullptr;
    int(WINAPI* OnPlugInInfo)(void*) = nullptr;
};

// Registers the window classes; call once per process.
bool RegisterHostClasses(HINSTANCE instance);

// Creates the main window and its panes (not yet shown) and records them for
// CVA_GetWindowHandles. Returns the main window.
HWND CreateHostWindows(HINSTANCE instance, const wchar_t* mailText);

HWND MessageView();
HWND MailList();
void SetMessageText(const wchar_t* text);
void SetCopyMode(CopyMode mode);
void SetTextClass(TextClass textClass);
// Whether the text windows answer EM_GETSEL; a window of another kind leaves its outputs alone.
void SetSelectionSaid(bool said);
int CopyCommandsAnswered();
// Whether closing the main window ends the message loop (tests keep theirs running).
void SetQuitOnDestroy(bool quit);
// Called with every message that reaches the host's own procedure of a text window, after
// the plug-in's procedure has passed it on.
using MessageObserver = void (*)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SetMessageObserver(MessageObserver observer);

// Loads the plug-in, starts it and lets it add to the menu bar. False when the load was
// refused or a callback is missing.
bool LoadPlugin(const wchar_t* path);
// CVC_OnExit, then FreeLibrary.
void UnloadPlugin();
const PluginExports& Plugin();

// Opens a composing window with the given body and tells the plug-in about it; returns the
// composing window (its editor is the descendant with id 103).
HWND OpenComposeWindow(const wchar_t* body);
HWND ComposeEditor(HWND composeWindow);

// Builds the context menu of a text window, lets the plug-in add to it, and, when pick is
// not 0, runs the item with that id as the host does when it is picked. The menu is
// returned to the caller, who destroys it; showMenu tracks it on screen for a person.
HMENU PrepareContextMenu(HWND textWindow, int kind);
// Runs the registered plug-in command id for window, as picking its item does.
bool RunPluginCommand(int id, HWND window);

// Writes "LINE X Y" rows: the screen point just inside the start of each line of a text
// window, for scripts that click on lines.
bool WriteLinePositions(HWND textWindow, const wchar_t* path);

// The information record as the plug-in filled it, shown in a message box.
void ShowPluginInfo(HWND owner);

}  // namespace standin
