#include "host/module.h"

#include <memory>
#include <new>

#include "common/proc_address.h"

namespace cvt {

HINSTANCE ModuleHandle = nullptr;
int PluginDepth = 0;

namespace {

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

}  // namespace cvt
