#include "settings/settings_store.h"

#include <cwchar>
#include <new>

#include "common/bounded_text.h"
#include "common/win_handles.h"

namespace cvt {

SettingsKeyPathText SettingsKeyPath;
HKEY SettingsRootKey = HKEY_CURRENT_USER;

const char* SettingsKeyPathText::Narrow() {
    if (narrow_) return narrow_.get();
    const wchar_t* wide = Wide();
    const int wideLength = lstrlenW(wide) + 1;  // the NUL is converted too
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return nullptr;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[size]);
    if (!buffer) return nullptr;
    if (WideCharToMultiByte(CP_ACP, 0, wide, wideLength, buffer.get(), size, nullptr, nullptr) !=
        size) {
        return nullptr;
    }
    narrow_ = std::move(buffer);
    return narrow_.get();
}

namespace {

// Reading needs read access only, so a key that the user may read but not write still
// yields its values; writing asks for read and set-value access.
constexpr REGSAM kReadAccess = KEY_READ;
constexpr REGSAM kWriteAccess = KEY_READ | KEY_SET_VALUE;

RegistryKey OpenSettingsKey(REGSAM access) {
    const char* path = SettingsKeyPath.Narrow();
    if (path == nullptr) return RegistryKey();
    HKEY key = nullptr;
    RegOpenKeyExA(SettingsRootKey, path, 0, access, &key);
    return RegistryKey(key);
}

bool QueryDword(HKEY key, const wchar_t* valueName, std::uint32_t* value) {
    // Data of up to four bytes of any type is taken as a little-endian number.
    *value = 0;
    DWORD type = 0;
    DWORD size = sizeof(*value);
    return RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(value),
                            &size) == ERROR_SUCCESS;
}

std::uint32_t SetDword(HKEY key, const wchar_t* valueName, std::uint32_t value) {
    const LONG result = RegSetValueExW(key, valueName, 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&value), sizeof(value));
    return result == ERROR_SUCCESS ? kOk : kFail;
}

}  // namespace

std::uint32_t EnsureSettingDefault(const wchar_t* valueName, std::uint32_t defaultValue) {
    RegistryKey key = OpenSettingsKey(kWriteAccess);
    if (!key) return kFail;
    std::uint32_t existing;
    if (QueryDword(key.get(), valueName, &existing)) return kOk;
    return SetDword(key.get(), valueName, defaultValue);
}

std::uint32_t SettingDefault(const wchar_t* valueName) {
    static const wchar_t* const kOnByDefault[] = {kSettingConfirm, kSettingTripleClick,
                                                  kSettingFile};
    for (const wchar_t* name : kOnByDefault) {
        if (std::wcscmp(name, valueName) == 0) return 1;
    }
    return 0;
}

std::uint32_t ReadSetting(const wchar_t* valueName) {
    RegistryKey key = OpenSettingsKey(kReadAccess);
    std::uint32_t value;
    if (key && QueryDword(key.get(), valueName, &value)) return value;
    return SettingDefault(valueName);
}

std::uint32_t WriteSetting(const wchar_t* valueName, std::uint32_t value) {
    RegistryKey key = OpenSettingsKey(kWriteAccess);
    if (!key) return kFail;
    return SetDword(key.get(), valueName, value);
}

}  // namespace cvt
