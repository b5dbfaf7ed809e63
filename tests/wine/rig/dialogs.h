// Helpers for the dialog and open tests: dialog templates read back from the plug-in's
// resources, recorders of what the plug-in asks Windows to do (through its import table),
// a stand-in host session with the plug-in loaded, and ways to drive a dialog from the
// watcher thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rig/import_patch.h"
#include "standin/standin_host.h"

namespace rig {

// ---- Dialog templates (DLGTEMPLATEEX) ----------------------------------------------------

struct DialogItem {
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::wstring className;  // lower case; predefined class ordinals are given their names
    std::wstring text;       // empty when the text is an ordinal
    int textOrdinal = -1;    // the resource number of an ordinal text, else -1
    WORD extraCount = 0;
};

struct DialogTemplate {
    WORD version = 0;
    WORD signature = 0;
    DWORD helpId = 0;
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::wstring menu;       // empty: no menu
    std::wstring className;  // empty: the default dialog class
    std::wstring title;
    WORD pointSize = 0;
    WORD weight = 0;
    BYTE italic = 0;
    BYTE charset = 0;
    std::wstring typeface;
    std::vector<DialogItem> items;
};

// Parses an extended dialog template; false when it is not one or runs past size.
bool ParseDialogTemplate(const void* data, std::size_t size, DialogTemplate* out);
// Loads RT_DIALOG id in the given language from module and parses it.
bool LoadDialogTemplate(HMODULE module, int id, WORD language, DialogTemplate* out);
// Every language under which module holds RT_DIALOG id.
std::vector<WORD> DialogLanguages(HMODULE module, int id);

// ---- Recording what the plug-in calls ----------------------------------------------------

struct ShellLaunch {
    DWORD cbSize = 0;
    ULONG fMask = 0;
    HWND hwnd = nullptr;
    bool verbSet = false, fileSet = false, parametersSet = false, directorySet = false;
    std::wstring verb, file, parameters;
    int nShow = -1;
    bool otherFieldsZero =
        false;  // hInstApp, lpIDList, lpClass, hkeyClass, dwHotKey, hIcon, hProcess
    bool progressVisible = false;  // the last created progress window was visible at the call
};

struct MessageBoxCall {
    bool ansi = false;
    HWND owner = nullptr;
    std::wstring text, caption;           // MessageBoxW
    std::string textBytes, captionBytes;  // MessageBoxA
    UINT flags = 0;
};

struct DialogBoxCall {
    HINSTANCE instance = nullptr;
    UINT_PTR templateId = 0;
    HWND owner = nullptr;
    LPARAM parameter = 0;
    std::wstring parameterText;  // the UTF-16 string the parameter points to, if any
    INT_PTR result = 0;
};

struct CreateDialogCall {
    HINSTANCE instance = nullptr;
    UINT_PTR templateId = 0;
    HWND owner = nullptr;
    LPARAM parameter = 0;
    HWND result = nullptr;
};

struct SentMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct TimerCall {
    bool set;  // SetTimer, else KillTimer
    HWND window;
    UINT_PTR id;
    UINT period;
    bool hasCallback;
};

struct RegistryWrite {
    std::wstring name;
    DWORD type;
    DWORD size;
    std::uint32_t value;
};

// How the patched GetVersionExW answers.
struct PlayedVersion {
    bool real = true;  // pass on to the system
    bool fail = false;
    DWORD major = 0, minor = 0;
};

// Everything recorded, in call order per function; `sequence` names every recorded call in
// the order they happened ("ShellExecuteExW", "MessageBoxW", "MessageBoxA",
// "DialogBoxParamA", "CreateDialogParamA", "ShowWindow", "RegSetValueExW").
struct CallLog {
    std::vector<ShellLaunch> launches;
    std::vector<MessageBoxCall> messageBoxes;
    std::vector<DialogBoxCall> dialogBoxes;
    std::vector<CreateDialogCall> createdDialogs;
    std::vector<std::pair<HWND, int>> shown;
    std::vector<SentMessage> sent;  // SendMessageA
    std::vector<TimerCall> timers;
    std::vector<RegistryWrite> registryWrites;
    std::vector<DWORD> versionQuerySizes;  // dwOSVersionInfoSize of each GetVersionExW
    std::vector<std::string> sequence;
    HWND lastProgressWindow = nullptr;  // the last window CreateDialogParamA made from 103
    // Messages that a dialog procedure of the plug-in answered with other than FALSE.
    std::vector<UINT> dialogProcAnswers;
};

// Patches the plug-in's imports of ShellExecuteExW (nothing is launched), MessageBoxW and
// MessageBoxA (answer IDOK without showing anything, unless showMessageBoxes), and passes
// DialogBoxParamA, CreateDialogParamA, ShowWindow, SendMessageA, SetTimer, KillTimer and
// RegSetValueExW on after recording them; the dialogs' procedures are watched too. GetVersionExW
// answers as version says. One observer at a time; it must go before the plug-in is unloaded.
class PluginObserver {
public:
    explicit PluginObserver(HMODULE plugin, bool showMessageBoxes = false);
    ~PluginObserver();
    PluginObserver(const PluginObserver&) = delete;
    PluginObserver& operator=(const PluginObserver&) = delete;

    CallLog& log();
    void PlayVersion(const PlayedVersion& version);
    // Every patch found its import.
    bool complete() const;
    void Clear();
    // Makes the progress window's creation fail (which the open command ignores), so that
    // tests with real input keep the activation where they put it.
    void RefuseProgressWindow(bool refuse);
    // DialogBoxParamA gets 0 as its init parameter instead of the plug-in's.
    void NullDialogParameter(bool null);
    // The log of the observer in place, for callbacks that have no test at hand; or null.
    static const CallLog* CurrentLog();

private:
    std::vector<std::unique_ptr<ScopedImportPatch>> patches_;
};

// ---- A stand-in host session -------------------------------------------------------------

// The stand-in host's windows with the plug-in loaded through them (CVC_OnStart has run and
// the message view is subclassed). The destructor removes the observer, closes compose
// windows and the host (which unloads the plug-in) and drops the quit message that the
// host's window posts.
class HostSession {
public:
    // The text windows are of the host's own class unless another is named.
    explicit HostSession(const wchar_t* mailText = L"",
                         standin::TextClass textClass = standin::TextClass::Host);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    bool ok() const { return loaded_; }
    HMODULE module() const;
    HWND main() const { return main_; }
    HWND view() const;
    PluginObserver& Observe(bool showMessageBoxes = false);
    PluginObserver* observer() { return observer_.get(); }

    // Shows the text in the message view and selects all of it.
    void SelectInView(const std::wstring& text);
    // Shift+O in the message view: the gesture's capture and open.
    void PressShiftO(HWND window);
    // Builds the view's context menu; runs the plug-in's open item when it is there.
    // False when the menu held no open item.
    bool OpenThroughContextMenu();
    // A composing window with the given body (its editor subclassed by the plug-in).
    HWND OpenCompose(const wchar_t* body);
    // The callback the plug-in registered for the tools-menu item.
    using HostCommand = int(WINAPI*)(HWND, LPARAM);
    HostCommand SetupCommand() const;

private:
    HWND main_ = nullptr;
    bool loaded_ = false;
    std::unique_ptr<PluginObserver> observer_;
    std::vector<HWND> composeWindows_;
};

// ---- Driving dialogs from another thread --------------------------------------------------

enum class DialogKind { kUnknown, kConfirm, kProgress, kSetup, kMessageBox };
DialogKind ClassifyDialog(HWND dialog);

// Clicks a button of a dialog that runs on another thread (BM_CLICK, sent).
void Click(HWND dialog, int control);
// Posts a key press to the dialog's focused control (or to the dialog), for its modal loop.
void PressKey(HWND dialog, UINT virtualKey);
// The close box: WM_SYSCOMMAND SC_CLOSE.
void CloseBox(HWND dialog);
// Waits up to the given time for the window to be gone.
bool WaitGone(HWND window, DWORD milliseconds);

// Text of a dialog's control.
std::wstring ControlText(HWND dialog, int control);

// The full path the plug-in launches a program by: cmd.exe in the system folder, any other in
// the shared Windows folder.
std::wstring ProgramPath(const std::wstring& program);

}  // namespace rig
