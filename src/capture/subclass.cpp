#include "capture/subclass.h"

#include <ctime>
#include <map>

#include "capture/selection_capture.h"
#include "common/guarded.h"
#include "host/module.h"
#include "open/open_command.h"
#include "settings/settings_store.h"

namespace cvt {

namespace {

constexpr WPARAM kLetterO = 0x4F;

// Window handle (ordered as an unsigned number) to the procedure it had before.
std::map<UINT_PTR, WNDPROC> SubclassMap;

// Real time of the last double click in any subclassed window, in clock() milliseconds; 0
// after a triple click, so that a further press needs a new double click.
std::uint32_t LastDoubleClickTime = 0;

// The pointer-sized forms are the very same functions as GetWindowLongA/SetWindowLongA in a
// 32-bit build; a 64-bit build has only these.
WNDPROC AsWndProc(LONG_PTR value) { return reinterpret_cast<WNDPROC>(value); }

LONG_PTR AsLongPtr(WNDPROC procedure) { return reinterpret_cast<LONG_PTR>(procedure); }

// Takes one more reference on the library, once, so that the host's FreeLibrary cannot
// unload it. GetModuleHandleExA with its pin flag would be the direct way, but it is missing
// before Windows XP; loading the library's own file again works on every version (the wide
// forms, so that a folder name outside the ANSI code page does not stop it).
void PinModule() {
    static bool pinned = false;
    if (pinned) return;
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(ModuleHandle, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    pinned = LoadLibraryW(path) != nullptr;
}

std::uint32_t ClockNow() { return static_cast<std::uint32_t>(std::clock()); }

void CaptureAndOpen(HWND window) {
    if (CaptureSelection(window) == 0) OpenPathCommand(window, 0);
}

bool ShiftIsDown() { return (GetKeyState(VK_SHIFT) & 0x80) != 0; }

void ActOn(HWND window, UINT message, WPARAM wParam) {
    switch (message) {
        case TripleClickMessage:
            CaptureAndOpen(window);
            break;
        case WM_LBUTTONDBLCLK:
            LastDoubleClickTime = ClockNow();
            break;
        case WM_KEYDOWN:
            if (wParam == kLetterO && ShiftIsDown()) CaptureAndOpen(window);
            break;
        case WM_LBUTTONDOWN:
            // The setting is read only for presses that can be the third of a triple click.
            // A time of 0 means no double click is pending: without that check a single
            // press in the first moments of the host's life would count as a triple click.
            if (LastDoubleClickTime != 0 &&
                ClockNow() - LastDoubleClickTime <= GetDoubleClickTime() &&
                SettingIsOne(kSettingTripleClick)) {
                LastDoubleClickTime = 0;
                PostMessageA(window, TripleClickMessage, 0, 0);
            }
            break;
    }
}

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto entry = SubclassMap.find(reinterpret_cast<UINT_PTR>(window));
    if (entry == SubclassMap.end() || entry->second == nullptr) return 0;
    const WNDPROC previous = entry->second;
    const LRESULT result = CallWindowProcA(previous, window, message, wParam, lParam);
    // The window is gone: forget it, so a later window with the same handle value starts
    // afresh and nothing dangles.
    if (message == WM_NCDESTROY) SubclassMap.erase(reinterpret_cast<UINT_PTR>(window));
    return result;
}

}  // namespace

void InstallSubclass(HWND window) {
    if (window == nullptr) return;
    const UINT_PTR key = reinterpret_cast<UINT_PTR>(window);
    // A window the map holds is subclassed already, perhaps with another component's
    // procedure on top of SubclassProc now: recording that one as the host's would make the
    // two call each other for ever. Entries go at WM_NCDESTROY, so a reused handle passes.
    if (SubclassMap.count(key) != 0) return;
    WNDPROC current = AsWndProc(GetWindowLongPtrA(window, GWLP_WNDPROC));
    // A procedure that cannot be read could not be passed on to: the window would go dead.
    if (current == nullptr) return;
    // The entry is written first, so SubclassProc always finds its window. Without memory for
    // it the window is left alone, and the start goes on.
    if (!Guarded(false, [&] { return SubclassMap.emplace(key, current).second; })) return;
    if (SetWindowLongPtrA(window, GWLP_WNDPROC, AsLongPtr(&SubclassProc)) == 0)
        SubclassMap.erase(key);
}

void RemoveAllSubclasses() {
    for (auto entry = SubclassMap.begin(); entry != SubclassMap.end();) {
        HWND window = reinterpret_cast<HWND>(entry->first);
        if (!IsWindow(window)) {
            entry = SubclassMap.erase(entry);
        } else if (AsWndProc(GetWindowLongPtrA(window, GWLP_WNDPROC)) == &SubclassProc) {
            SetWindowLongPtrA(window, GWLP_WNDPROC, AsLongPtr(entry->second));
            entry = SubclassMap.erase(entry);
        } else {
            // Someone subclassed the window on top of the plug-in and will call SubclassProc:
            // taking the plug-in out from under them would break their chain, and unloading
            // would leave them calling into freed code. So the entry stays and the library
            // stays loaded for the rest of the process.
            PinModule();
            ++entry;
        }
    }
}

LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // A failure in the plug-in's own work must not keep the message from the host.
    Guarded(false, [&] {
        ActOn(window, message, wParam);
        return true;
    });
    return Guarded<LRESULT>(0, [&] { return PassOn(window, message, wParam, lParam); });
}

}  // namespace cvt
