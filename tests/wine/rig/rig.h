// Helpers of the Win32 integration tests: where the built files are, the plug-in loaded into
// this process (which exports the host functions, like the stand-in host), the settings key,
// message pumping and dialogs driven from a watcher thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace rig {

// The folder of this test executable, with a trailing backslash; the DLL and the probes
// are built next to it.
std::wstring BinaryDir();
std::wstring PluginPath();

// The product, the 32-bit DLL. In the 64-bit twin it is built in build/cross/bin beside this
// build's folder; CVT_PRODUCT_DLL names another file.
std::wstring ProductDllPath();

// A DLL mapped for its resources only, whatever its width; its code is never run.
class ResourceFile {
public:
    explicit ResourceFile(const std::wstring& path);
    ~ResourceFile();
    ResourceFile(const ResourceFile&) = delete;
    ResourceFile& operator=(const ResourceFile&) = delete;
    HMODULE module() const { return module_; }

private:
    HMODULE module_;
};

// Loads the plug-in for one test and unloads it at the end (CVC_OnExit is not called).
class LoadedPlugin {
public:
    LoadedPlugin();
    ~LoadedPlugin();
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;
    HMODULE module() const { return module_; }
    explicit operator bool() const { return module_ != nullptr; }
    void* Export(const char* name) const;
    template <typename Function>
    Function Get(const char* name) const {
        void* address = Export(name);
        Function function;
        __builtin_memcpy(&function, &address, sizeof(address));
        return function;
    }

private:
    HMODULE module_;
};

// The host's settings key under HKEY_CURRENT_USER.
inline constexpr wchar_t kSettingsKey[] = L"Software\\Halvren\\C2\\Settings";
void DeleteSettingsKey();
void CreateSettingsKey();
bool SettingsKeyExists();
void WriteDword(const wchar_t* name, std::uint32_t value);
void WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD size);
// False when the value is missing; otherwise its type, size and (up to 4 bytes) number.
bool ReadValue(const wchar_t* name, DWORD* type, DWORD* size, std::uint32_t* number);
void DeleteValue(const wchar_t* name);

// Dispatches this thread's messages for about the given time.
void PumpMessages(DWORD milliseconds);

// Sends Shift+O's key-down to window with Shift shown as held in the thread's key state (which
// the plug-in reads), and puts the key state back. Returns what the window answered.
LRESULT SendShiftO(HWND window);

// Runs handler on a watcher thread for every dialog box (class #32770) of this process that
// appears while the watcher lives; the handler sees each window once. Driving dialogs from
// another thread lets a test call a modal function on its own thread.
class DialogWatcher {
public:
    explicit DialogWatcher(std::function<void(HWND)> handler);
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;
    int seen() const { return seen_; }

private:
    static DWORD WINAPI Run(void* self);
    std::function<void(HWND)> handler_;
    HANDLE thread_ = nullptr;
    volatile LONG stop_ = 0;
    volatile LONG seen_ = 0;
};

// Text of a window as UTF-16.
std::wstring WindowText(HWND window);

}  // namespace rig
