#include "common/plugin_lifetime.h"

#include <cstddef>
#include <memory>
#include <new>

#include "common/proc_address.h"

namespace cvt {

HINSTANCE ModuleHandle = nullptr;
int PluginDepth = 0;

namespace {

bool Exiting = false;

// The progress window's and the restore retry's timers: a few at most at any time.
struct PluginTimer {
    HWND window;
    UINT_PTR id;
};
constexpr std::size_t kMostTimers = 8;
PluginTimer Timers[kMostTimers];
std::size_t TimerCount = 0;

PluginTimer* FindTimer(HWND window, UINT_PTR id) {
    for (std::size_t i = 0; i < TimerCount; ++i) {
        if (Timers[i].window == window && Timers[i].id == id) return &Timers[i];
    }
    return nullptr;
}

// Not in the headers for Windows 2000, which lacks the function.
constexpr DWORD kPinFlag = 0x1;          // GET_MODULE_HANDLE_EX_FLAG_PIN
constexpr DWORD kFromAddressFlag = 0x4;  // GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS
using GetModuleHandleExFunction = BOOL(WINAPI*)(DWORD, LPCWSTR, HMODULE*);

// The longest path the wide file functions take.
constexpr DWORD kLongestPath = 32768;

// XP and later pin the module for good with one call.
bool PinByFlag() {
    const auto pin = ProcAddress<GetModuleHandleExFunction>(GetModuleHandleA("kernel32.dll"),
                                                            "GetModuleHandleExW");
    if (pin == nullptr) return false;
    HMODULE module = nullptr;
    return pin(kPinFlag | kFromAddressFlag, reinterpret_cast<LPCWSTR>(&PinModule), &module) != 0;
}

// Windows 2000: loading the library's own file again takes a reference that is never given
// back. The wide forms, with room for a path longer than MAX_PATH, so that no folder name
// stops it.
bool PinByLoading() {
    for (DWORD capacity = MAX_PATH;;
         capacity = capacity * 4 < kLongestPath ? capacity * 4 : kLongestPath) {
        std::unique_ptr<wchar_t[]> path(new (std::nothrow) wchar_t[capacity]);
        if (!path) return false;
        // A name that does not fit comes back cut, with the whole capacity as its length.
        const DWORD length = GetModuleFileNameW(ModuleHandle, path.get(), capacity);
        if (length == 0) return false;
        if (length < capacity) return LoadLibraryW(path.get()) != nullptr;
        if (capacity == kLongestPath) return false;
    }
}

}  // namespace

void PinModule() {
    static bool pinned = false;
    if (!pinned) pinned = PinByFlag() || PinByLoading();
}

bool PluginExiting() { return Exiting; }
void MarkPluginExiting() { Exiting = true; }

UINT_PTR StartPluginTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC procedure) {
    // A timer that could not be recorded could not be stopped at exit, so it is not started.
    PluginTimer* known = FindTimer(window, id);
    if (known == nullptr && TimerCount == kMostTimers) return 0;
    const UINT_PTR started = SetTimer(window, id, period, procedure);
    if (started == 0) return 0;
    // A window timer keeps the id it was given; a thread timer gets a new one.
    const UINT_PTR used = window != nullptr ? id : started;
    if (known == nullptr) known = FindTimer(window, used);
    if (known == nullptr) known = &Timers[TimerCount++];
    *known = {window, used};
    return used;
}

void StopPluginTimer(HWND window, UINT_PTR id) {
    PluginTimer* timer = FindTimer(window, id);
    if (timer == nullptr) return;
    KillTimer(window, id);
    *timer = Timers[--TimerCount];
}

bool StopAllPluginTimers() {
    bool stopped = true;
    while (TimerCount > 0) {
        const PluginTimer timer = Timers[--TimerCount];
        // A window timer dies with its window; a timer of a live window or of the thread must
        // be killed, and one that cannot be may still call in.
        if (!KillTimer(timer.window, timer.id) &&
            (timer.window == nullptr || IsWindow(timer.window))) {
            stopped = false;
        }
    }
    return stopped;
}

}  // namespace cvt
