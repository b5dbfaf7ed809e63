#include "open/system_programs.h"

#include <cstdint>
#include <cwchar>

#include "common/win_handles.h"

namespace cvt {

namespace {

// The Windows folder shared by all users. GetWindowsDirectoryW gives a folder private to the
// user on a terminal server when the host is not marked as aware of it; that folder is the
// user's to write, and holds no explorer.exe.
UINT WindowsFolder(wchar_t* buffer, UINT capacity) {
    return GetSystemWindowsDirectoryW(buffer, capacity);
}

}  // namespace

bool ProgramPath(ProgramFolder folder, const wchar_t* name, wchar_t* buffer) {
    constexpr UINT kFolderCapacity = MAX_PATH;
    const UINT length = folder == ProgramFolder::kSystem
                            ? GetSystemDirectoryW(buffer, kFolderCapacity)
                            : WindowsFolder(buffer, kFolderCapacity);
    // 0 is a failure; a length of the capacity or more is the size the folder would need.
    if (length == 0 || length >= kFolderCapacity) return false;
    std::size_t end = length;
    // The folder ends with a backslash only when it is a drive's root.
    if (buffer[end - 1] != L'\\') buffer[end++] = L'\\';
    const std::size_t nameLength = std::wcslen(name);
    if (end + nameLength + 1 > kProgramPathCapacity) return false;
    std::wmemcpy(buffer + end, name, nameLength + 1);
    return true;
}

bool InterpreterDisabledByPolicy() {
    static const char kPolicyKey[] = "Software\\Policies\\Microsoft\\Windows\\System";
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        HKEY opened = nullptr;
        RegOpenKeyExA(root, kPolicyKey, 0, KEY_QUERY_VALUE, &opened);
        RegistryKey key(opened);
        if (!key) continue;
        // Up to four bytes of any type, as a number; a longer value does not count.
        std::uint32_t value = 0;
        DWORD type = 0;
        DWORD size = sizeof(value);
        if (RegQueryValueExW(key.get(), L"DisableCMD", nullptr, &type,
                             reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
            value != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace cvt
