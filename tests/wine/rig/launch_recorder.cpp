#include "rig/launch_recorder.h"

namespace rig {

namespace {

std::vector<Launch> g_launches;
std::vector<MessageBoxCall> g_messageBoxes;

std::wstring Text(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

BOOL WINAPI RecordShellExecute(SHELLEXECUTEINFOW* info) {
    g_launches.push_back({Text(info->lpVerb), Text(info->lpFile), Text(info->lpParameters),
                          info->nShow, info->fMask, info->hwnd, info->lpDirectory == nullptr,
                          info->cbSize});
    return TRUE;
}

int WINAPI RecordMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT flags) {
    g_messageBoxes.push_back({owner, Text(text), Text(caption), flags});
    return IDOK;
}

HWND WINAPI RefuseDialog(HINSTANCE, const char*, HWND, DLGPROC, LPARAM) { return nullptr; }

}  // namespace

LaunchRecorder::LaunchRecorder(HMODULE plugin, bool refuseProgressWindow)
    : shell_(plugin, "shell32.dll", "ShellExecuteExW", AsAddress(&RecordShellExecute)),
      messageBox_(plugin, "user32.dll", "MessageBoxW", AsAddress(&RecordMessageBox)),
      createDialog_(plugin, "user32.dll", refuseProgressWindow ? "CreateDialogParamA" : "",
                    AsAddress(&RefuseDialog)) {
    Reset();
}

LaunchRecorder::~LaunchRecorder() = default;

const std::vector<Launch>& LaunchRecorder::launches() { return g_launches; }
const std::vector<MessageBoxCall>& LaunchRecorder::messageBoxes() { return g_messageBoxes; }

void LaunchRecorder::Reset() {
    g_launches.clear();
    g_messageBoxes.clear();
}

}  // namespace rig
