// The plug-in's four on/off options, kept as DWORD values in the host's settings key under
// HKEY_CURRENT_USER. Nothing is cached: every operation opens the key, does one query or
// write, and closes it, so changes made anywhere are seen at the next read.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

namespace cvt {

inline constexpr const wchar_t kSettingConfirm[] = L"TrivaneConfirm";
inline constexpr const wchar_t kSettingTripleClick[] = L"TrivaneTripleClick";
inline constexpr const wchar_t kSettingFile[] = L"TrivaneFile";
inline constexpr const wchar_t kSettingPreserve[] = L"TrivanePreserve";

// The key path relative to the root key; the ANSI form that RegOpenKeyExA needs is made on
// first use and kept for the library's lifetime.
class SettingsKeyPathText {
public:
    const wchar_t* Wide() const { return L"Software\\Halvren\\C2\\Settings"; }
    // Null when the conversion or its allocation failed; the key then counts as unopenable.
    const char* Narrow();

private:
    std::unique_ptr<char[]> narrow_;
};

extern SettingsKeyPathText SettingsKeyPath;
extern HKEY SettingsRootKey;

// Writes defaultValue only when the value cannot be read; 0 or 0x80004005.
std::uint32_t EnsureSettingDefault(const wchar_t* valueName, std::uint32_t defaultValue);
// The default of each of the four values (1, 1, 1, 0); 0 for any other name.
std::uint32_t SettingDefault(const wchar_t* valueName);
// The stored number, read exactly whatever its type; the value's default when the key or the
// value cannot be read, so that an unreadable key asks before opening rather than failing open.
std::uint32_t ReadSetting(const wchar_t* valueName);
// Stores a REG_DWORD; 0 or 0x80004005. The key is never created.
std::uint32_t WriteSetting(const wchar_t* valueName, std::uint32_t value);

// The options tested for exactly 1.
inline bool SettingIsOne(const wchar_t* valueName) { return ReadSetting(valueName) == 1; }

}  // namespace cvt
